// SPDX-License-Identifier: GPL-3.0-or-later
// The tests drive the host through QProcess and QWebSocket, which need a Qt
// event loop in this process.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
