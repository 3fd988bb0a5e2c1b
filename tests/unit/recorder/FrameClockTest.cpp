// SPDX-License-Identifier: GPL-3.0-or-later
// A camera's timestamps on the recorder's wall clock: spacing kept through
// network jitter at various frame rates and time bases, new anchors on
// jumps, frames without timestamps, and a 33-bit timestamp wrapping.
#include "FrameClock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace velk::recorder {
namespace {

constexpr std::int64_t kStart = 1'760'000'000'000;  // some wall-clock time, ms since 1970

// Timestamps of pictures at the given intervals (in seconds), in a time base of 1/den.
std::vector<std::int64_t> timestamps(std::int64_t first, int den, const std::vector<double>& intervals)
{
    std::vector<std::int64_t> out{first};
    double t = 0;
    for (const double step : intervals) {
        t += step;
        out.push_back(first + std::llround(t * den));
    }
    return out;
}

// Network jitter: 0..90 ms late, by a fixed pattern.
std::int64_t jitter(std::size_t i)
{
    return std::int64_t((i * 37) % 91);
}

struct RateCase {
    const char* name;
    int den;                       // time base 1/den
    std::vector<double> intervals; // seconds between pictures
};

class FrameClockRates : public ::testing::TestWithParam<RateCase> {};

TEST_P(FrameClockRates, KeepsTheCamerasSpacingThroughJitter)
{
    const RateCase& c = GetParam();
    const auto ts = timestamps(123456, c.den, c.intervals);
    FrameClock clock(1, c.den);
    double cameraSeconds = 0;
    std::int64_t previous = 0;
    for (std::size_t i = 0; i < ts.size(); ++i) {
        if (i > 0)
            cameraSeconds += c.intervals[i - 1];
        const std::int64_t ideal = kStart + std::llround(cameraSeconds * 1000);
        const std::int64_t mapped = clock.map(ts[i], ideal + (i == 0 ? 0 : jitter(i)));
        // The anchor is the first arrival; the rest follow the camera, not the jitter.
        EXPECT_NEAR(double(mapped), double(ideal), 1.0) << c.name << " picture " << i;
        if (i > 0) {
            EXPECT_GT(mapped, previous) << c.name << " picture " << i;
        }
        previous = mapped;
    }
    EXPECT_EQ(clock.reanchors(), 0u) << c.name;
}

std::vector<double> repeated(double interval, int count)
{
    return std::vector<double>(std::size_t(count), interval);
}

INSTANTIATE_TEST_SUITE_P(
    RatesAndTimeBases, FrameClockRates,
    ::testing::Values(RateCase{"25fps_rtp", 90000, repeated(0.04, 300)},
                      RateCase{"ntsc_rtp", 90000, repeated(1001.0 / 30000, 300)},
                      RateCase{"ntsc_ms", 1000, repeated(1001.0 / 30000, 300)},
                      RateCase{"12.5fps_ms", 1000, repeated(0.08, 200)},
                      // A variable-rate file: a camera slowing down in the dark, bursts and pauses.
                      RateCase{"variable_ms", 1000, {0.033, 0.04, 0.1, 0.033, 0.5, 0.25, 1.2, 0.04, 0.04, 1.9, 0.02}},
                      RateCase{"variable_rtp", 90000, {0.033, 0.04, 0.1, 0.033, 0.5, 0.25, 1.2, 0.04, 0.04, 1.9, 0.02}}),
    [](const ::testing::TestParamInfo<RateCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (ch == '.') ch = '_';
        return name;
    });

TEST(FrameClock, AStallAndABurstKeepTheSpacingWithinTwoSeconds)
{
    // 25 fps at 1/90000; the network holds 1.5 s of pictures, then they come at once.
    FrameClock clock(1, 90000);
    EXPECT_EQ(clock.map(0, kStart), kStart);
    for (int i = 1; i <= 37; ++i)
        EXPECT_EQ(clock.map(i * 3600, kStart + 1500 + i), kStart + i * 40) << i;
    EXPECT_EQ(clock.reanchors(), 0u);
}

struct JumpCase {
    const char* name;
    int den;
    std::int64_t before;  // the timestamp before the jump
    std::int64_t after;   // the first one after it
};

class FrameClockJumps : public ::testing::TestWithParam<JumpCase> {};

TEST_P(FrameClockJumps, AnchorsAgainAtTheArrivalAndStaysMonotonic)
{
    const JumpCase& c = GetParam();
    const std::int64_t step = c.den / 25;
    FrameClock clock(1, c.den);
    std::int64_t last = 0;
    for (int i = 0; i < 50; ++i)
        last = clock.map(c.before - (49 - i) * step, kStart + i * 40);
    EXPECT_EQ(last, kStart + 49 * 40);
    // The jump: the picture goes at its arrival, and the ones after it keep
    // the camera's new spacing from there.
    const std::int64_t arrival = kStart + 50 * 40;
    EXPECT_EQ(clock.map(c.after, arrival), arrival) << c.name;
    EXPECT_EQ(clock.map(c.after + step, arrival + 45), arrival + 40) << c.name;
    // One that came sooner than its spacing says is placed at its arrival,
    // and the spacing goes on from it.
    EXPECT_EQ(clock.map(c.after + 2 * step, arrival + 70), arrival + 70) << c.name;
    EXPECT_EQ(clock.map(c.after + 3 * step, arrival + 125), arrival + 110) << c.name;
    EXPECT_EQ(clock.reanchors(), 1u) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Jumps, FrameClockJumps,
                         ::testing::Values(JumpCase{"reboot_to_zero_rtp", 90000, 90000LL * 3600 * 5, 0},
                                           JumpCase{"reboot_to_zero_ms", 1000, 1000LL * 86400, 0},
                                           JumpCase{"clock_an_hour_forward", 90000, 90000LL * 100, 90000LL * 3700},
                                           JumpCase{"clock_an_hour_back", 1000, 1000LL * 7200, 1000LL * 3600},
                                           JumpCase{"three_seconds_forward", 1000, 50000, 53000},
                                           JumpCase{"a_picture_back", 90000, 900000, 900000 - 3600}),
                         [](const ::testing::TestParamInfo<JumpCase>& info) { return std::string(info.param.name); });

TEST(FrameClock, ACameraClockThatRunsFastStaysAtArrivalOneThatRunsSlowIsPulledForwardPastTwoSeconds)
{
    // 1 % off: 10 ms a second; after 200 s a slow clock is 2 s behind.
    for (const std::int64_t ticksPerPicture : {3636, 3564}) {
        SCOPED_TRACE(ticksPerPicture);
        const bool fast = ticksPerPicture > 3600;
        FrameClock clock(1, 90000);
        std::int64_t previous = clock.map(0, kStart);
        std::uint64_t firstReanchor = 0;
        for (int i = 1; i <= 25 * 210; ++i) {
            const std::int64_t arrival = kStart + i * 40;
            const std::int64_t mapped = clock.map(std::int64_t(i) * ticksPerPicture, arrival);
            // Never after its arrival, and never far before it.
            EXPECT_LE(mapped, arrival) << i;
            EXPECT_LE(arrival - mapped, fast ? 1 : FrameClock::kJumpMs + 1) << i;
            EXPECT_GT(mapped, previous);
            if (clock.reanchors() > 0 && firstReanchor == 0)
                firstReanchor = std::uint64_t(i);
            previous = mapped;
        }
        EXPECT_EQ(clock.reanchors(), fast ? 0u : 1u);
        if (!fast) {
            EXPECT_GT(firstReanchor, 25u * 195);
        }
    }
}

TEST(FrameClock, ABurstOrALateFirstFrameIsNotPlacedInTheFuture)
{
    // A connection's first second comes at once (1 ms apart), or its first
    // frame waits 300 ms on the network; then pictures are paced with late
    // jitter. Frames keep their spacing from the least delayed one on.
    for (const bool burst : {true, false}) {
        SCOPED_TRACE(burst ? "burst" : "late first frame");
        FrameClock clock(1, 90000);
        std::int64_t previous = 0;
        for (int i = 0; i < 250; ++i) {
            // The frames held up behind the first arrive right after it.
            const std::int64_t arrival =
                burst ? (i < 25 ? kStart + i : kStart + 24 + (i - 24) * 40 + jitter(std::size_t(i)))
                      : std::max(kStart + 300, kStart + i * 40 + jitter(std::size_t(i)));
            const std::int64_t mapped = clock.map(std::int64_t(i) * 3600, arrival);
            // Frames that arrive in the same millisecond still get 1 ms each.
            EXPECT_LE(mapped, arrival + (burst ? 0 : 10)) << i;
            if (i >= 40) {
                EXPECT_LE(arrival - mapped, 91) << i;
            }
            if (i > 0) {
                EXPECT_GT(mapped, previous) << i;
            }
            previous = mapped;
        }
        EXPECT_EQ(clock.reanchors(), 0u);
    }
}

TEST(FrameClock, PicturesWithoutTimestampsGetTheirArrivalButNeverGoBack)
{
    FrameClock clock(1, 90000);
    EXPECT_EQ(clock.map(std::nullopt, kStart), kStart);
    EXPECT_EQ(clock.map(std::nullopt, kStart + 40), kStart + 40);
    EXPECT_EQ(clock.map(std::nullopt, kStart + 40), kStart + 41);  // the same arrival: 1 ms on
    EXPECT_EQ(clock.map(std::nullopt, kStart + 20), kStart + 42);  // the system clock stepped back
    // Timestamps appearing later anchor at their arrival.
    EXPECT_EQ(clock.map(1000, kStart + 100), kStart + 100);
    EXPECT_EQ(clock.map(1000 + 3600, kStart + 170), kStart + 140);
    EXPECT_EQ(clock.reanchors(), 0u);
}

TEST(FrameClock, EqualTimestampsStillMoveOnByAMillisecond)
{
    FrameClock clock(1, 1000);
    EXPECT_EQ(clock.map(500, kStart), kStart);
    EXPECT_EQ(clock.map(500, kStart + 5), kStart + 1);
    EXPECT_EQ(clock.map(500, kStart + 9), kStart + 2);
    EXPECT_EQ(clock.map(540, kStart + 40), kStart + 40);
    EXPECT_EQ(clock.reanchors(), 0u);
}

TEST(FrameClock, ARestartAnchorsTheNextPictureAboveThePreviousOnes)
{
    FrameClock clock(1, 90000);
    clock.map(90000, kStart);
    const std::int64_t before = clock.map(90000 + 3600, kStart + 40);
    // A new connection, the same timestamps again, arriving (by a stepped
    // system clock) before the last picture's time.
    clock.setTimeBase(1, 1000);
    EXPECT_EQ(clock.map(0, kStart + 30), before + 1);
    EXPECT_EQ(clock.map(40, kStart + 70), kStart + 70);
    // The new time base counts: 1/1000 now.
    EXPECT_EQ(clock.map(1040, kStart + 1071), kStart + 1070);
    EXPECT_EQ(clock.reanchors(), 0u);  // restarts are not jumps
}

TEST(FrameClock, A33BitTimestampWrapsWithoutAJump)
{
    constexpr std::int64_t kWrap = std::int64_t(1) << 33;
    FrameClock clock(1, 90000);
    const std::int64_t first = kWrap - 10 * 3600;  // ten pictures before the wrap
    for (int i = 0; i < 20; ++i) {
        const std::int64_t ts = (first + i * 3600) % kWrap;
        EXPECT_EQ(clock.map(ts, kStart + i * 40 + jitter(i)), kStart + i * 40) << i;
    }
    EXPECT_EQ(clock.reanchors(), 0u);
}

TEST(FrameClock, ALargeTimestampDoesNotOverflow)
{
    // Days of a 1/90000 clock, and a time base with a large numerator.
    FrameClock clock(1, 90000);
    const std::int64_t days = 90000LL * 86400 * 400;
    EXPECT_EQ(clock.map(days, kStart), kStart);
    EXPECT_EQ(clock.map(days + 90000, kStart + 1000), kStart + 1000);
    FrameClock coarse(1001, 30000);
    EXPECT_EQ(coarse.map(1'000'000'000, kStart), kStart);
    EXPECT_EQ(coarse.map(1'000'000'030, kStart + 1001), kStart + 1001);
}

}  // namespace
}  // namespace velk::recorder
