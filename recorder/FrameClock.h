// SPDX-License-Identifier: GPL-3.0-or-later
// A camera's timestamps mapped onto the recorder's wall clock. The first
// frame is placed at the wall clock of its arrival (the anchor); later ones
// at the anchor plus the time their timestamps moved on, so the spacing the
// camera gave its frames survives the network's jitter. A frame is never
// placed after its arrival: one that would be slides the anchor back (a
// burst of frames at the start of a connection, a first frame that came
// late), so the anchor settles on the least delayed frame. The result never
// goes back and grows by at least 1 ms a frame. A timestamp that would put a
// frame more than 2 s from its arrival, either way, or that goes backwards
// (a camera rebooted, its clock set, a file started again) places that
// frame at its arrival again: the new anchor. A frame without a timestamp
// gets its arrival time.
//
// Timestamps are decoding timestamps, which grow in the order frames are
// sent even with B-frames. Pure: no clock of its own, no thread.
#pragma once

#include <cstdint>
#include <optional>

namespace velk::recorder {

class FrameClock {
public:
    // How far a mapped time may stray from the arrival before it is anchored again.
    static constexpr std::int64_t kJumpMs = 2000;

    // timeBase: seconds per timestamp unit, num / den (1/90000 for RTP video).
    FrameClock(int timeBaseNum, int timeBaseDen);

    // The wall-clock time (ms since 1970 UTC) of a frame with this timestamp
    // (none: the camera gave none) that arrived at arrivalMs.
    std::int64_t map(std::optional<std::int64_t> timestamp, std::int64_t arrivalMs);

    // The next frame starts a new anchor (a new connection); the times stay
    // above those given before.
    void restart();
    // A stream of another time base (after a reconnect); implies restart().
    void setTimeBase(int timeBaseNum, int timeBaseDen);

    // How often a jump or a backward step made a new anchor (not counting
    // the first frame and restarts).
    std::uint64_t reanchors() const { return m_reanchors; }

private:
    std::int64_t toMs(std::int64_t units) const;
    bool anchorHolds(std::int64_t timestamp, std::int64_t arrivalMs, std::int64_t& mapped) const;

    int m_num;
    int m_den;
    bool m_anchored = false;
    std::int64_t m_anchorTimestamp = 0;
    std::int64_t m_anchorMs = 0;
    std::int64_t m_lastTimestamp = 0;
    // Added to timestamps after a 33-bit RTP/MPEG timestamp wrapped around.
    std::int64_t m_wrapOffset = 0;
    std::optional<std::int64_t> m_lastMs;
    std::uint64_t m_reanchors = 0;
};

}  // namespace velk::recorder
