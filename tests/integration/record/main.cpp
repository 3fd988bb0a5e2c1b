// SPDX-License-Identifier: GPL-3.0-or-later
// Local recording and snapshots with the control and the real libraries
// against a recorder simulator, under Qt's offscreen platform, with the
// profile folder in a temporary directory.
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
