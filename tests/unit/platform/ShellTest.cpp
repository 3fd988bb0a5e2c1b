// SPDX-License-Identifier: GPL-3.0-or-later
// Process volume and the file-manager helper without a desktop.
#include "TestSupport.h"

#include "platform/Shell.h"

#include <gtest/gtest.h>

using namespace platform;
using platform::test::ScopedEnv;

namespace {

TEST(Shell, ProcessVolumeIsClampedToAHundred)
{
    const std::uint32_t before = processVolume();
    setProcessVolume(40);
    EXPECT_EQ(processVolume(), 40u);
    setProcessVolume(1000);
    EXPECT_EQ(processVolume(), 100u);
    setProcessVolume(before);
}

TEST(Shell, NoDesktopMeansNoFileManager)
{
    ScopedEnv display("DISPLAY", std::nullopt);
    ScopedEnv wayland("WAYLAND_DISPLAY", "");
    EXPECT_FALSE(showInFileManager(QStringLiteral("/tmp/snap.jpg")));
    EXPECT_FALSE(showInFileManager(QString()));
}

}  // namespace
