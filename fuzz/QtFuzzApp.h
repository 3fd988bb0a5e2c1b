// SPDX-License-Identifier: GPL-3.0-or-later
// A QApplication on the offscreen platform for targets that create widgets.
// Made once, on the first call, and kept until the process ends.
#pragma once

#include <QApplication>

#include <cstdlib>

inline QApplication& qtFuzzApplication()
{
    static int argc = 1;
    static char name[] = "velk-fuzz";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return new QApplication(argc, argv);  // never deleted: libFuzzer ends with exit()
    }();
    return *app;
}
