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
        clock.setSpeed(c.code, start);
        EXPECT_EQ(clock.dueTime(10'000, start), start) << c.code;  // the first anchors
        EXPECT_EQ(clock.dueTime(10'040, start), start + c.step) << c.code;
        EXPECT_EQ(clock.dueTime(10'080, start), start + 2 * c.step) << c.code;
    }
}

TEST(PlaybackClock, SubPicturesOfOneClockShowEqualTimesTogether)
{
    // Channel 0 anchors; channel 1 starts at a later key frame (its first
    // picture is 480 ms later in frame time) and is decoded at once: it is
    // due when channel 0 reaches that time, not when it was decoded.
    PlaybackClock clock;
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(clock.dueTime(1'000'000, start), start);
    EXPECT_EQ(clock.dueTime(1'000'480, start + 5ms), start + 480ms);
    EXPECT_EQ(clock.dueTime(1'000'480, start + 10ms), start + 480ms);  // channel 0's picture of that time
    // A picture slightly before the anchor (another channel's earlier key
    // frame) is simply due (late), without moving the clock.
    EXPECT_EQ(clock.dueTime(999'600, start + 20ms), start - 400ms);
    EXPECT_EQ(clock.dueTime(1'000'040, start + 20ms), start + 40ms);
}

TEST(PlaybackClock, AFarBehindPictureReanchorsTheClockForEveryone)
{
    PlaybackClock clock;
    const Clock::time_point start = Clock::now();
    clock.dueTime(50'000, start);
    // A little late: due at its time, no re-anchoring.
    EXPECT_EQ(clock.dueTime(50'400, start + 1s), start + 400ms);
    // Over a second behind (a decoder that could not keep up, a jump back):
    // due at once, and the clock goes on from it for every sub-picture.
    EXPECT_EQ(clock.dueTime(50'040, start + 2s), start + 2s);
    EXPECT_EQ(clock.dueTime(50'440, start + 2s), start + 2s + 400ms);
    EXPECT_EQ(clock.dueTime(40'000, start + 3s), start + 3s);
    EXPECT_EQ(clock.dueTime(40'040, start + 3s), start + 3s + 40ms);
}

TEST(PlaybackClock, AGapIsJumpedOnlyOnceNothingElsePlays)
{
    PlaybackClock clock;
    const Clock::time_point start = Clock::now();
    clock.dueTime(0, start);
    clock.shown(0, start);
    // Channel 0 resumes an hour later; channel 1 still plays up to then.
    const Clock::time_point hourLater = start + 3600s;
    EXPECT_EQ(clock.dueTime(3'600'000, start + 10ms), hourLater);
    clock.shown(40, start + 40ms);
    EXPECT_EQ(clock.dueTime(3'600'000, start + 200ms), hourLater);
    // Channel 1 reached the gap too: after the quiet time the gap is jumped.
    EXPECT_EQ(clock.dueTime(3'600'000, start + 40ms + PlaybackClock::kGapQuiet), start + 40ms + PlaybackClock::kGapQuiet);
    EXPECT_EQ(clock.dueTime(3'600'040, start + 300ms), start + 40ms + PlaybackClock::kGapQuiet + 40ms);
}

TEST(PlaybackClock, SpeedChangesGoOnFromWhereTheClockIs)
{
    PlaybackClock clock;
    const Clock::time_point start = Clock::now();
    clock.dueTime(10'000, start);
    // After 400 ms at normal speed the clock is at 10'400; from there 4x.
    clock.setSpeed(4, start + 400ms);
    EXPECT_EQ(clock.dueTime(10'400, start + 400ms), start + 400ms);
    EXPECT_EQ(clock.dueTime(10'800, start + 400ms), start + 500ms);
    // One eighth of normal speed from 10'800 at 500 ms.
    clock.setSpeed(-8, start + 500ms);
    EXPECT_EQ(clock.dueTime(10'840, start + 500ms), start + 500ms + 320ms);
}

TEST(PlaybackClock, ResumeGoesOnFromTheLastShownPictureAndResetForgetsIt)
{
    PlaybackClock clock;
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(clock.shownFrameTimeMs(), 0u);
    clock.dueTime(20'000, start);
    clock.shown(20'000, start);
    clock.shown(20'040, start + 40ms);
    EXPECT_EQ(clock.shownFrameTimeMs(), 20'040u);
    // Paused for a minute: the next picture is one frame after the resume,
    // not long overdue.
    clock.resume(start + 60s);
    EXPECT_EQ(clock.dueTime(20'080, start + 60s), start + 60s + 40ms);

    clock.reset();
    EXPECT_EQ(clock.shownFrameTimeMs(), 0u);
    EXPECT_EQ(clock.dueTime(90'000, start + 61s), start + 61s);
    // Resuming before anything was shown since the reset: the next anchors.
    clock.resume(start + 62s);
    EXPECT_EQ(clock.dueTime(10'000, start + 63s), start + 63s);
}

TEST(PlaybackClock, ASlotWithAnOlderPictureToShowHoldsTheOthersBack)
{
    PlaybackClock clock;
    clock.setSlots(3);
    EXPECT_FALSE(clock.heldBack(0, 1'000));
    clock.setPending(0, 1'000);
    clock.setPending(1, 960);  // slot 1 is a picture behind
    EXPECT_TRUE(clock.heldBack(0, 1'000));
    EXPECT_FALSE(clock.heldBack(1, 960));   // the oldest is never held
    EXPECT_FALSE(clock.heldBack(2, 960));   // nor one of the same time
    EXPECT_TRUE(clock.heldBack(2, 1'040));
    clock.setPending(1, std::nullopt);      // slot 1 has nothing waiting
    EXPECT_FALSE(clock.heldBack(0, 1'000));
    EXPECT_TRUE(clock.heldBack(2, 1'040));  // slot 0's picture comes first
    clock.setPending(0, 1'040);
    EXPECT_FALSE(clock.heldBack(2, 1'040));
    // Slots out of range are nobody.
    clock.setPending(7, 1);
    EXPECT_FALSE(clock.heldBack(2, 1'040));
}

}  // namespace
}  // namespace mivu
