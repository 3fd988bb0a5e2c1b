// SPDX-License-Identifier: GPL-3.0-or-later
// The frame times of the packets given to a video decoder, handed on to
// the pictures that come out of it (pure).
//
// Container frames come in decoding order and their times increase in that
// order. With B-frames the decoder gives pictures back later and in display
// order; each picture's own packet time would then run back and forth (an
// anchor picture decoded early carries an early time but is shown after the
// B-pictures decoded behind it). So the k-th picture out takes the k-th
// time in: pictures keep display order and their times keep increasing,
// each picture's time being its display time less the decoder's reorder
// delay. Without B-frames every picture simply takes its own packet's time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace mivu {

class PictureTimes {
public:
    // A packet with this time went into the decoder.
    void sent(std::int64_t time) { m_times.push_back(time); }
    // A picture came out: the oldest time not yet handed on; nullopt when
    // every time was (the picture then keeps its own).
    std::optional<std::int64_t> take();
    // After a packet's pictures were taken: at most `depth` pictures wait in
    // the decoder for their display turn, so older times than that belong to
    // packets that gave no picture (damaged ones) and are let go, or every
    // later picture would be shown with a stale time.
    void trim(int depth);
    // The decoder was flushed or reopened.
    void clear() { m_times.clear(); }
    std::size_t size() const { return m_times.size(); }

private:
    std::deque<std::int64_t> m_times;
};

}  // namespace mivu
