// SPDX-License-Identifier: GPL-3.0-or-later
// The backup tests drive separate host and recorder processes; Qt is needed
// here only for processes and files.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
