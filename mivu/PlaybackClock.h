// SPDX-License-Identifier: GPL-3.0-or-later
// Paces the pictures of a playback decoder by their frame times and the
// speed: one clock for all sub-pictures of the decoder, so that pictures of
// the same frame time are shown together in every window.
//
// The first picture after a reset (of any sub-picture) is due at once and
// anchors the clock; each later picture is due at the anchor plus its
// distance in frame time, divided by the speed factor. A picture already
// far behind (a sub-picture whose decoder cannot keep up, a jump back)
// re-anchors the clock, so the others wait for it instead of racing ahead.
// A picture far ahead (a gap in the recording) re-anchors only once no
// picture was shown for a short quiet time: while other sub-pictures still
// play up to the gap, it waits for them.
//
// Each sub-picture (slot) tells the clock the time of the oldest frame it
// has not shown yet (queued or being decoded); a picture that is due is
// still held back while another slot has an older one to show, so a slot
// that is slow for a moment (a busy CPU, a late start) holds the others
// back instead of falling behind them. Pure maths on
// times given by the caller; not thread-safe by itself (see
// SharedPlaybackClock).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace mivu {

class PlaybackClock {
public:
    using Clock = std::chrono::steady_clock;

    // Pictures further ahead than this (in real time) count as a gap.
    static constexpr std::chrono::milliseconds kMaxLead{3000};
    // Pictures later than this re-anchor.
    static constexpr std::chrono::milliseconds kMaxLag{1000};
    // A gap is jumped once nothing was shown (or anchored) for this long.
    static constexpr std::chrono::milliseconds kGapQuiet{250};

    // Speed code: 1 normal, n > 1 n times faster, -n one n-th; other codes
    // count as normal. The clock goes on from where it is now.
    void setSpeed(std::int32_t speedCode, Clock::time_point now);
    // The next picture anchors the clock; nothing counts as shown.
    void reset();
    // After a pause or steps: the clock goes on from the picture shown last.
    void resume(Clock::time_point now);

    // When the picture with this frame time is due, given the time now. A
    // picture due beyond now + kGapQuiet may become due earlier: ask again
    // after kGapQuiet at the latest.
    Clock::time_point dueTime(std::uint64_t frameTimeMs, Clock::time_point now);
    // A picture of this frame time was shown now.
    void shown(std::uint64_t frameTimeMs, Clock::time_point now);
    // The frame time of the picture shown last; 0 before the first (since a reset).
    std::uint64_t shownFrameTimeMs() const { return m_shown ? m_shownFrameMs : 0; }

    // The number of slots (sub-pictures); before any other call.
    void setSlots(std::size_t count) { m_pending.assign(count, std::nullopt); }
    // The time of the oldest frame slot has yet to show; none when it has
    // nothing waiting.
    void setPending(std::size_t slot, std::optional<std::uint64_t> frameTimeMs);
    // True while another slot has an older frame to show.
    bool heldBack(std::size_t slot, std::uint64_t frameTimeMs) const;

private:
    void anchor(std::uint64_t frameTimeMs, Clock::time_point now);
    // The frame time the clock has reached at now (anchored only).
    std::uint64_t position(Clock::time_point now) const;

    bool m_anchored = false;
    std::uint64_t m_anchorFrameMs = 0;
    Clock::time_point m_anchorTime{};
    Clock::time_point m_lastActivity{};  // the last anchoring or showing
    bool m_shown = false;
    std::uint64_t m_shownFrameMs = 0;
    std::vector<std::optional<std::uint64_t>> m_pending;  // per slot: its oldest frame not shown
    std::int64_t m_speedNumerator = 1;  // real time = frame time * denominator / numerator
    std::int64_t m_speedDenominator = 1;
};

}  // namespace mivu
