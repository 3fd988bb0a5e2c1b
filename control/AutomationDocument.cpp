// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/AutomationDocument.h"

#include "control/Automation.h"

#include <sstream>

const char* const kAutomationDocMarker =
    "<!-- Everything below this line is printed by velk-automation-doc from the dispatch table; "
    "refresh it with: velk-automation-doc --write docs/automation.md -->";

namespace {

std::string escaped(const char* text)
{
    std::string out;
    for (const char* p = text; *p; ++p) {
        if (*p == '|')
            out += '\\';
        out += *p;
    }
    return out;
}

std::string argumentList(const std::vector<ArgInfo>& args)
{
    if (args.empty())
        return "none";
    std::string out;
    for (const ArgInfo& arg : args) {
        if (!out.empty())
            out += ", ";
        out += '`';
        out += arg.name;
        out += "` ";
        out += varTypeName(arg.type);
    }
    return out;
}

std::string typeLibraryColumn(const MethodInfo& method)
{
    if (!method.inTypeLibrary)
        return "";
    if (&method.typeLibraryView() == &method.args)
        return "yes";
    std::string out = "as `";
    out += method.name;
    out += '(';
    bool first = true;
    for (const ArgInfo& arg : method.typeLibraryView()) {
        if (!first)
            out += ", ";
        first = false;
        out += arg.name;
    }
    out += ")`";
    return out;
}

}  // namespace

std::string automationDocument()
{
    const TypeLibraryInfo& lib = typeLibraryInfo();
    std::ostringstream md;
    md << kAutomationDocMarker << "\n\n";

    md << "## Type library\n\n"
       << "| item | value |\n|---|---|\n"
       << "| library | `" << lib.name << "` version " << lib.version << " |\n"
       << "| ProgID | `" << lib.progId << "` |\n"
       << "| dispatch interface | `" << lib.dispatchInterface << "`: " << lib.dispatchDoc << " |\n"
       << "| event interface | `" << lib.eventInterface << "`: " << lib.eventDoc << " |\n"
       << "| control | " << lib.controlDoc << " |\n"
       << "| module | " << lib.moduleDoc << " |\n"
       << "| help file | " << lib.helpFile << " |\n\n";

    const auto& methods = methodTable();
    std::size_t described = 0;
    for (const MethodInfo& method : methods)
        described += method.inTypeLibrary ? 1 : 0;
    md << "## Methods\n\n"
       << methods.size() << " methods. The type library describes " << described
       << " of them (column \"type library\"; where it shows other arguments than the control takes, "
          "they are given there). Codes such as -2 are returned as the unsigned 32-bit value "
          "(0xFFFFFFFE).\n\n"
       << "| dispid | method | arguments | result | type library | behaviour and codes |\n"
       << "|---:|---|---|---|---|---|\n";
    for (const MethodInfo& method : methods) {
        md << "| " << method.dispid << " | `" << method.name << "` | " << argumentList(method.args) << " | "
           << varTypeName(method.result) << " | " << typeLibraryColumn(method) << " | "
           << escaped(method.summary) << " |\n";
    }

    md << "\n## Events\n\n"
       << "| dispid | event | parameters |\n|---:|---|---|\n";
    for (const EventInfo& event : eventTable())
        md << "| " << event.dispid << " | `" << event.name << "` | " << argumentList(event.params) << " |\n";
    return md.str();
}
