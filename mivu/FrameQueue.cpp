// SPDX-License-Identifier: GPL-3.0-or-later
#include "mivu/FrameQueue.h"

#include <cstring>

namespace mivu {

namespace {

std::size_t payloadBytes(const QueuedFrame& frame)
{
    return frame.packet ? static_cast<std::size_t>(frame.packet->size) : 0;
}

}  // namespace

std::optional<QueuedFrame> makeQueuedFrame(const media::FrameView& view)
{
    QueuedFrame frame;
    frame.kind = view.kind;
    if (view.time)
        frame.timeMs = std::uint64_t(view.time->seconds) * 1000 + view.time->milliseconds;
    if (view.video) {
        frame.frameRate = view.video->frameRate;
        frame.codec = view.video->codec;
    }
    frame.packet.reset(av_packet_alloc());
    // The payload is at most 16 MiB (24-bit length), so it fits an int.
    if (!frame.packet || av_new_packet(frame.packet.get(), static_cast<int>(view.payload.size())) < 0)
        return std::nullopt;
    if (!view.payload.empty())
        std::memcpy(frame.packet->data, view.payload.data(), view.payload.size());
    if (view.kind == media::MediaKind::VideoKey)
        frame.packet->flags |= AV_PKT_FLAG_KEY;
    return frame;
}

FrameQueue::FrameQueue(std::size_t maxFrames, std::size_t maxBytes, Overflow overflow)
    : m_maxFrames(maxFrames), m_maxBytes(maxBytes), m_overflow(overflow)
{
}

bool FrameQueue::isFull(std::size_t incomingBytes) const
{
    if (m_frames.empty())
        return false;  // one frame always fits, however large
    return m_frames.size() >= m_maxFrames || m_bytes + incomingBytes > m_maxBytes;
}

void FrameQueue::dropAll()
{
    m_droppedCount += m_frames.size();
    m_frames.clear();
    m_bytes = 0;
}

FrameQueue::Push FrameQueue::push(QueuedFrame&& frame)
{
    const bool key = frame.kind == media::MediaKind::VideoKey;
    const bool delta = frame.kind == media::MediaKind::VideoDelta;
    if (delta && m_waitingForKey) {
        ++m_droppedCount;
        return Push::Dropped;
    }
    const std::size_t incoming = payloadBytes(frame);
    if (isFull(incoming)) {
        if (m_overflow == Overflow::Refuse)
            return Push::Refused;
        if (key) {
            // Catch up: nothing queued is worth showing after a newer key frame.
            dropAll();
        } else {
            if (delta)
                m_waitingForKey = true;
            ++m_droppedCount;
            return Push::Dropped;
        }
    }
    if (key)
        m_waitingForKey = false;
    m_bytes += incoming;
    m_frames.push_back(std::move(frame));
    ++m_queuedCount;
    return Push::Queued;
}

std::optional<QueuedFrame> FrameQueue::pop()
{
    if (m_frames.empty())
        return std::nullopt;
    QueuedFrame frame = std::move(m_frames.front());
    m_frames.pop_front();
    m_bytes -= payloadBytes(frame);
    return frame;
}

void FrameQueue::clear()
{
    m_frames.clear();
    m_bytes = 0;
    m_waitingForKey = true;
}

std::optional<std::uint64_t> FrameQueue::firstVideoTimeMs() const
{
    for (const QueuedFrame& frame : m_frames) {
        if (media::isVideo(frame.kind) && frame.timeMs)
            return frame.timeMs;
    }
    return std::nullopt;
}

}  // namespace mivu
