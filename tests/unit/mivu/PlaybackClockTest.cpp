// SPDX-License-Identifier: GPL-3.0-or-later
#include "mivu/PlaybackClock.h"

#include <gtest/gtest.h>

namespace mivu {
namespace {

using namespace std::chrono_literals;
using Clock = PlaybackClock::Clock;

TEST(PlaybackClock, SpeedScalesTheDistanceBetweenPictures)
{
    const Clock::time_point start = Clock::now();
    const struct {
        std::int32_t code;
        std::chrono::microseconds step;
    } cases[] = {{1, 40ms}, {-1, 40ms}, {2, 20ms}, {16, 2500us}, {-2, 80ms}, {-16, 640ms}, {0, 40ms}};
    for (const auto& c : cases) {
        PlaybackClock clock;
        clock.setSpeed(c.code);
        EXPECT_EQ(clock.dueTime(10'000, start), start) << c.code;  // the first anchors
        EXPECT_EQ(clock.dueTime(10'040, start), start + c.step) << c.code;
        EXPECT_EQ(clock.dueTime(10'080, start), start + 2 * c.step) << c.code;
    }
}

TEST(PlaybackClock, JumpsAndLatenessReanchor)
{
    PlaybackClock clock;
    const Clock::time_point start = Clock::now();
    clock.dueTime(50'000, start);
    // Backwards (a seek back): due at once, and counts from there.
    EXPECT_EQ(clock.dueTime(40'000, start + 10ms), start + 10ms);
    EXPECT_EQ(clock.dueTime(40'040, start + 10ms), start + 50ms);
    // Far ahead (a gap in the recording): due at once.
    EXPECT_EQ(clock.dueTime(90'000, start + 20ms), start + 20ms);
    // Far behind (the decoder could not keep up): due at once, not racing.
    EXPECT_EQ(clock.dueTime(90'040, start + 5s), start + 5s);
    EXPECT_EQ(clock.dueTime(90'080, start + 5s), start + 5s + 40ms);
    // A little late is simply due now-ish, without re-anchoring.
    EXPECT_EQ(clock.dueTime(90'120, start + 5s + 500ms), start + 5s + 80ms);
}

TEST(PlaybackClock, ResetAndSpeedChangeAnchorAtTheNextPicture)
{
    PlaybackClock clock;
    const Clock::time_point start = Clock::now();
    clock.dueTime(0, start);
    clock.reset();
    EXPECT_EQ(clock.dueTime(400, start + 1s), start + 1s);
    clock.setSpeed(4);
    EXPECT_EQ(clock.dueTime(440, start + 2s), start + 2s);
    EXPECT_EQ(clock.dueTime(480, start + 2s), start + 2s + 10ms);
}

}  // namespace
}  // namespace mivu
