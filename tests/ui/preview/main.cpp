// SPDX-License-Identifier: GPL-3.0-or-later
// The UI tests drive separate processes (the host and a recorder); this
// process only needs Qt's event loop for them.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
