// SPDX-License-Identifier: GPL-3.0-or-later
// The control and the real network and decode-render libraries between
// module start and end, under Qt's offscreen platform, with the profile
// folder in a temporary directory. A lost stream counts as offline after
// 1.5 s here (5 s by default), so that the offline test is quick.
#include "control/CVELK_DVRApp.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TOVR_STREAM_OFFLINE_MS", "1500");
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
