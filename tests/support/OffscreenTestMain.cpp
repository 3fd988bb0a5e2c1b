// SPDX-License-Identifier: GPL-3.0-or-later
// The main of window tests: Qt's offscreen platform and the profile folder
// in a temporary directory, so settings files never touch the user's.
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
    return RUN_ALL_TESTS();
}
