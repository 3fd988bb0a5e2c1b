// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the platform tests inside a QApplication on the offscreen platform,
// so windows, timers and posted events work without a display.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
