// SPDX-License-Identifier: GPL-3.0-or-later
// The window tests run under Qt's offscreen platform with the profile folder
// in a temporary directory.
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
