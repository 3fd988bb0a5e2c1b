// SPDX-License-Identifier: GPL-3.0-or-later
// The main of tests of the whole control: as the window tests' main, with
// the module started (the network library initialised) around the tests.
#include "control/CVELK_DVRApp.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
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
