// SPDX-License-Identifier: GPL-3.0-or-later
// Timers by id on a window.
#include "RecordingWindow.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace platform;
using namespace platform::test;

namespace {

constexpr QRect kRect(0, 0, 64, 48);

TEST(WindowTimer, TicksByIdUntilKilled)
{
    RecordingWindow window;
    ASSERT_TRUE(window.createWindow(nullptr, kRect, 1, false));
    window.setTimerById(3, 10);
    window.setTimerById(4, 15);
    EXPECT_TRUE(window.hasTimer(3));
    ASSERT_TRUE(spinUntil([&] {
        return std::count(window.timerTicks.begin(), window.timerTicks.end(), 3u) >= 3 &&
               std::count(window.timerTicks.begin(), window.timerTicks.end(), 4u) >= 2;
    }));
    window.killTimerById(3);
    window.killTimerById(99);  // unknown ids are ignored
    EXPECT_FALSE(window.hasTimer(3));
    EXPECT_TRUE(window.hasTimer(4));
    window.timerTicks.clear();
    spinFor(60);
    EXPECT_EQ(std::count(window.timerTicks.begin(), window.timerTicks.end(), 3u), 0);
    EXPECT_GT(std::count(window.timerTicks.begin(), window.timerTicks.end(), 4u), 0);
}

TEST(WindowTimer, ArmingAgainRestartsTheInterval)
{
    RecordingWindow window;
    ASSERT_TRUE(window.createWindow(nullptr, kRect, 1, false));
    QElapsedTimer clock;
    clock.start();
    window.setTimerById(7, 200);
    spinFor(120);
    if (!window.timerTicks.empty())
        GTEST_SKIP() << "machine too slow to re-arm before the first tick";
    const qint64 rearmedAtMs = clock.elapsed();
    window.setTimerById(7, 200);
    qint64 firedAtMs = -1;
    window.onTick = [&](std::uint32_t) {
        if (firedAtMs < 0)
            firedAtMs = clock.elapsed();
    };
    ASSERT_TRUE(spinUntil([&] { return firedAtMs >= 0; }));
    EXPECT_GE(firedAtMs - rearmedAtMs, 190) << "the first tick counts from the re-arm";
}

TEST(WindowTimer, KillFromOwnTickAndDestroyStopAllTimers)
{
    RecordingWindow window;
    ASSERT_TRUE(window.createWindow(nullptr, kRect, 1, false));
    window.onTick = [&](std::uint32_t id) {
        if (id == 1)
            window.killTimerById(1);  // one-shot from its own handler
    };
    window.setTimerById(1, 5);
    window.setTimerById(2, 5);
    ASSERT_TRUE(spinUntil([&] { return std::count(window.timerTicks.begin(), window.timerTicks.end(), 2u) >= 3; }));
    EXPECT_EQ(std::count(window.timerTicks.begin(), window.timerTicks.end(), 1u), 1);

    // A window may destroy itself from a tick; no timer ticks after that.
    window.onTick = [&](std::uint32_t) { window.destroyWindow(); };
    window.timerTicks.clear();
    ASSERT_TRUE(spinUntil([&] { return !window.isCreated(); }));
    EXPECT_FALSE(window.hasTimer(2));
    spinFor(40);
    EXPECT_EQ(window.timerTicks.size(), 1u);
}

}  // namespace
