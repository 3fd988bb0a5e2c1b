// SPDX-License-Identifier: GPL-3.0-or-later
// The bounded in-memory debug log.
#include "platform/Debug.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

using namespace platform;

namespace {

TEST(DebugLog, KeepsTextsInOrderAndForgetsThemWhenTaken)
{
    takeDebugLines();
    debugOutput("check Login done  error-code=00000000\n");
    debugPrintf(" &&&& pang %s %d %08x\n", "WM_STREAMTYPE_CHANGED", 3, 0x80060000u);
    const auto lines = takeDebugLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "check Login done  error-code=00000000\n");
    EXPECT_EQ(lines[1], " &&&& pang WM_STREAMTYPE_CHANGED 3 80060000\n");
    EXPECT_TRUE(takeDebugLines().empty());
}

TEST(DebugLog, DropsTheOldestBeyondCapacityAndCountsThem)
{
    takeDebugLines();
    const std::size_t droppedBefore = droppedDebugLines();
    for (std::size_t i = 0; i < kDebugLogCapacity + 10; ++i)
        debugPrintf("%zu", i);
    const auto lines = takeDebugLines();
    ASSERT_EQ(lines.size(), kDebugLogCapacity);
    EXPECT_EQ(lines.front(), "10");
    EXPECT_EQ(lines.back(), std::to_string(kDebugLogCapacity + 9));
    EXPECT_EQ(droppedDebugLines() - droppedBefore, 10u);
}

TEST(DebugLog, LongTextsAreBoundedAndManyThreadsMayWrite)
{
    takeDebugLines();
    debugOutput(std::string(100000, 'x'));
    const auto lines = takeDebugLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_LT(lines[0].size(), 100000u);
    EXPECT_GT(lines[0].size(), 1000u);

    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w)
        writers.emplace_back([w] {
            for (int i = 0; i < 200; ++i)
                debugPrintf("%d:%d\n", w, i);
        });
    for (auto& t : writers)
        t.join();
    const auto all = takeDebugLines();
    EXPECT_EQ(all.size(), 800u);
    EXPECT_EQ(std::set<std::string>(all.begin(), all.end()).size(), 800u);
}

}  // namespace
