// SPDX-License-Identifier: GPL-3.0-or-later
// Paces playback pictures by their frame times and the speed.
//
// The first picture after a reset is due at once and anchors the clock;
// each later picture is due at the anchor plus its distance in frame time,
// divided by the speed factor. A picture whose frame time goes backwards,
// lies far ahead, or is already far behind re-anchors the clock instead, so
// a jump in the stream or a slow decoder never makes pictures race or stall.
#pragma once

#include <chrono>
#include <cstdint>

namespace mivu {

class PlaybackClock {
public:
    using Clock = std::chrono::steady_clock;

    // Pictures further ahead than this (in real time) re-anchor.
    static constexpr std::chrono::milliseconds kMaxLead{3000};
    // Pictures later than this re-anchor.
    static constexpr std::chrono::milliseconds kMaxLag{1000};

    // All members run on the decode thread that owns the clock.
    // Speed code: 1 normal, n > 1 n times faster, -n one n-th; other codes
    // count as normal. Re-anchors at the next picture.
    void setSpeed(std::int32_t speedCode);
    // The next picture anchors the clock.
    void reset() { m_anchored = false; }

    // When the picture with this frame time is due, given the time now.
    Clock::time_point dueTime(std::uint64_t frameTimeMs, Clock::time_point now);

private:
    void anchor(std::uint64_t frameTimeMs, Clock::time_point now);

    bool m_anchored = false;
    std::uint64_t m_anchorFrameMs = 0;
    Clock::time_point m_anchorTime{};
    std::int64_t m_speedNumerator = 1;    // real time = frame time * denominator / numerator
    std::int64_t m_speedDenominator = 1;
};

}  // namespace mivu
