// SPDX-License-Identifier: GPL-3.0-or-later
// The bounded queue of container frames between a feeder and one decode
// thread, with its overflow rules. Not thread-safe by itself: its owner
// guards it with one lock.
#pragma once

#include "mivu/Packet.h"

#include "proto/MediaFrame.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace mivu {

// One container frame waiting for its decode thread; the payload is
// already in a packet that libavcodec can take as it is.
struct QueuedFrame {
    media::MediaKind kind = media::MediaKind::VideoDelta;
    std::optional<std::uint64_t> timeMs;  // frame time, ms since 1970
    std::uint8_t frameRate = 0;           // from a video info item; 0 when absent
    std::optional<media::VideoCodec> codec;  // from a video info item
    PacketPtr packet;
};

// Copies the payload of a parsed frame into a new packet with libavcodec's
// padding. Null when memory runs out. Feeder thread.
std::optional<QueuedFrame> makeQueuedFrame(const media::FrameView& view);

class FrameQueue {
public:
    enum class Overflow {
        // Live: a full queue drops the frame; deltas after a dropped frame
        // are dropped up to the next key frame, and a key frame arriving at a
        // full queue replaces everything queued.
        DropUntilKeyFrame,
        // Playback: a full queue refuses the frame; the feeder holds it.
        Refuse,
    };
    enum class Push { Queued, Dropped, Refused };

    FrameQueue(std::size_t maxFrames, std::size_t maxBytes, Overflow overflow);

    // The members below run under the owner's lock, on the feeder's or the
    // decode thread.

    // Video deltas are dropped before the first key frame in both modes:
    // the decoder could not use them.
    Push push(QueuedFrame&& frame);
    // The oldest frame; nullopt when empty.
    std::optional<QueuedFrame> pop();
    // Drops everything queued without counting it, and waits for a key
    // frame again (after a seek).
    void clear();

    // The frame time of the oldest queued video frame that has one.
    std::optional<std::uint64_t> firstVideoTimeMs() const;
    bool empty() const { return m_frames.empty(); }
    std::size_t size() const { return m_frames.size(); }
    std::size_t bytes() const { return m_bytes; }
    std::uint64_t queuedCount() const { return m_queuedCount; }
    std::uint64_t droppedCount() const { return m_droppedCount; }

private:
    bool isFull(std::size_t incomingBytes) const;
    void dropAll();

    const std::size_t m_maxFrames;
    const std::size_t m_maxBytes;
    const Overflow m_overflow;
    std::deque<QueuedFrame> m_frames;
    std::size_t m_bytes = 0;
    bool m_waitingForKey = true;
    std::uint64_t m_queuedCount = 0;
    std::uint64_t m_droppedCount = 0;
};

}  // namespace mivu
