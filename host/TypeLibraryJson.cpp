// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/TypeLibraryJson.h"

#include "control/Automation.h"

#include <QJsonArray>

namespace host {

namespace {

QJsonArray argumentsJson(const std::vector<ArgInfo>& args)
{
    QJsonArray list;
    for (const ArgInfo& arg : args)
        list.append(QJsonObject{{"name", QLatin1String(arg.name)}, {"type", QLatin1String(varTypeName(arg.type))}});
    return list;
}

}  // namespace

QJsonObject typeLibraryJson()
{
    const TypeLibraryInfo& info = typeLibraryInfo();

    QJsonArray methods;
    for (const MethodInfo& method : methodTable()) {
        if (!method.inTypeLibrary)
            continue;
        const std::vector<ArgInfo>& args = method.typeLibraryView();
        methods.append(QJsonObject{{"dispid", method.dispid},
                                   {"name", QLatin1String(method.name)},
                                   {"args", argumentsJson(args)},
                                   {"result", QLatin1String(varTypeName(method.result))}});
    }

    QJsonArray events;
    for (const EventInfo& event : eventTable()) {
        events.append(QJsonObject{{"dispid", event.dispid},
                                  {"name", QLatin1String(event.name)},
                                  {"params", argumentsJson(event.params)}});
    }

    return QJsonObject{
        {"name", QLatin1String(info.name)},
        {"version", QLatin1String(info.version)},
        {"progId", QLatin1String(info.progId)},
        {"dispatchInterface", QLatin1String(info.dispatchInterface)},
        {"eventInterface", QLatin1String(info.eventInterface)},
        {"helpFile", QLatin1String(info.helpFile)},
        {"doc", QJsonObject{{"module", QLatin1String(info.moduleDoc)},
                            {"dispatch", QLatin1String(info.dispatchDoc)},
                            {"events", QLatin1String(info.eventDoc)},
                            {"control", QLatin1String(info.controlDoc)}}},
        {"methods", methods},
        {"events", events},
    };
}

}  // namespace host
