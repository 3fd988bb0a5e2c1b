// SPDX-License-Identifier: GPL-3.0-or-later
// The chaos test's main: the whole control with the module started, under
// the offscreen platform, with the profile folder in a temporary directory
// and a library loss timeout of 3 s.
#include "control/CVELK_DVRApp.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TOVR_HEARTBEAT_TIMEOUT_MS", "3000");
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
