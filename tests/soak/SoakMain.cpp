// SPDX-License-Identifier: GPL-3.0-or-later
// The main of the soak tests: the soak's options (see SoakOptions.h) taken
// from the command line and the environment, the allocator's thresholds
// fixed (so that resident memory follows what is in use), then the whole
// control with
// the module started under Qt's offscreen platform, with the profile folder
// in a temporary directory.
#include "ProcessFigures.h"
#include "SoakOptions.h"

#include "control/CVELK_DVRApp.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv)
{
    std::string message;
    if (!parseSoakOptions(argc, argv, soakOptions(), message)) {
        std::fprintf(stderr, "soak_tests: %s\n", message.c_str());
        return 2;
    }
    fixAllocatorThresholds();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir profile;
    qputenv("USERPROFILE", profile.path().toUtf8());
    qputenv("HOME", profile.path().toUtf8());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    CVELK_DVRApp::initInstance();
    const int result = RUN_ALL_TESTS();
    CVELK_DVRApp::exitInstance();
    return result;
}
