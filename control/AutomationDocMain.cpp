// SPDX-License-Identifier: GPL-3.0-or-later
// velk-automation-doc: prints the generated part of docs/automation.md.
//   velk-automation-doc                 print it
//   velk-automation-doc --write FILE    replace FILE's part below the marker
//                                       (the introduction above it is kept)
#include "control/AutomationDocument.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv)
{
    const std::string generated = automationDocument();
    if (argc == 1) {
        std::cout << generated;
        return 0;
    }
    if (argc != 3 || std::strcmp(argv[1], "--write") != 0) {
        std::fprintf(stderr, "usage: %s [--write FILE]\n", argv[0]);
        return 2;
    }
    std::string introduction;
    {
        std::ifstream in(argv[2], std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        introduction = text.str();
    }
    const std::size_t marker = introduction.find(kAutomationDocMarker);
    if (marker != std::string::npos)
        introduction.erase(marker);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << introduction << generated;
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
