// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlaybackSender.h"

#include "DeviceTime.h"
#include "PlaybackMessages.h"

#include "proto/FrameCodec.h"
#include "proto/MediaFrame.h"
#include "proto/StreamMessages.h"

#include <string_view>

namespace velk::recorder {

namespace {

// How soon to look again when a reader's source is not ready yet.
constexpr auto kRetryInterval = std::chrono::milliseconds(10);

}  // namespace

PlaybackSender::PlaybackSender(boost::asio::any_io_executor executor, const RecordingCatalog* catalog,
                               StreamSink& sink, std::vector<std::uint32_t> channels,
                               std::vector<proto::StreamInfo> formats, RecordTypeFilter filter, std::int64_t startMs)
    : m_retryTimer(executor),
      m_stallTimer(executor),
      m_sink(&sink),
      m_catalog(catalog),
      m_channels(std::move(channels)),
      m_formats(std::move(formats)),
      m_filter(filter),
      m_startMs(startMs)
{
}

const std::vector<std::uint32_t>& PlaybackSender::channels() const
{
    return m_channels;
}

void PlaybackSender::start()
{
    const TimeRange day = dayOf(m_startMs);
    m_dayEndMs = day.endMs;
    for (std::size_t i = 0; i < m_channels.size(); ++i) {
        const std::uint32_t channel = m_channels[i];
        Lane lane;
        lane.channel = channel;
        lane.announced = i < m_formats.size() ? m_formats[i] : streamInfo(channel, 0);
        if (m_catalog) {
            lane.reader = m_catalog->openReader(channel, day.startMs, day.endMs, m_filter);
            if (lane.reader)
                lane.reader->seek(m_startMs);
        }
        lane.ended = !lane.reader;
        if (m_sink)
            m_sink->sendMessage(proto::Message::notify(proto::kEventVideoProperty, proto::toJson(lane.announced)));
        m_lanes.push_back(std::move(lane));
    }
    pump();
}

void PlaybackSender::seek(std::int64_t timeMs, std::uint32_t requestId)
{
    if (!m_sink)
        return;
    m_startMs = timeMs;
    for (Lane& lane : m_lanes) {
        lane.pending.reset();
        lane.ended = !lane.reader;
        if (lane.reader)
            lane.reader->seek(timeMs);
    }
    m_endSent = false;
    ++m_counters.seeks;
    Json::Value params(Json::objectValue);
    params["id"] = requestId;
    m_sink->sendMessage(proto::Message::notify(kEventSeeked, params));
    pump();
}

void PlaybackSender::setKeyFramesOnly(bool on)
{
    m_keyFramesOnly = on;
    pump();
}

void PlaybackSender::stall(std::chrono::milliseconds duration)
{
    if (!m_sink)
        return;
    const auto until = std::chrono::steady_clock::now() + duration;
    if (!m_stalled) {
        m_stalled = true;
        m_sink->sendMessage(proto::Message::notify(kEventBuffering));
    }
    if (until <= m_stalledUntil)
        return;
    m_stalledUntil = until;
    m_stallTimer.expires_at(until);
    std::weak_ptr<PlaybackSender> weak = weak_from_this();
    m_stallTimer.async_wait([weak](const boost::system::error_code& error) {
        auto self = weak.lock();
        if (!error && self)
            self->onStallEnd();
    });
}

void PlaybackSender::onStallEnd()
{
    if (!m_sink || !m_stalled || std::chrono::steady_clock::now() < m_stalledUntil)
        return;
    m_stalled = false;
    m_sink->sendMessage(proto::Message::notify(kEventBuffered));
    pump();
}

void PlaybackSender::writable()
{
    pump();
}

void PlaybackSender::stop()
{
    m_sink = nullptr;
    m_retryTimer.cancel();
    m_stallTimer.cancel();
}

bool PlaybackSender::fill(Lane& lane)
{
    while (!lane.pending && !lane.ended) {
        if (!lane.reader->frameReady())
            return false;
        lane.pending = lane.reader->next();
        if (!lane.pending)
            lane.ended = true;
        else if (m_keyFramesOnly && !(lane.pending->video && lane.pending->key))
            lane.pending.reset();
    }
    return true;
}

void PlaybackSender::pump()
{
    // Sending can complete writes only asynchronously, but keep this from
    // nesting all the same.
    if (m_pumping)
        return;
    m_pumping = true;
    while (m_sink && !m_stalled && !m_sink->frozen() && m_sink->unsentBytes() < kQueueLimitBytes) {
        Lane* earliest = nullptr;
        bool waiting = false;
        for (Lane& lane : m_lanes) {
            if (!fill(lane)) {
                waiting = true;
                break;
            }
            if (lane.pending && (!earliest || lane.pending->timeMs < earliest->pending->timeMs))
                earliest = &lane;
        }
        if (waiting) {
            retryLater();
            break;
        }
        if (!earliest) {
            if (!m_endSent) {
                m_endSent = true;
                m_sink->sendMessage(proto::Message::notify(kEventPlaybackEnd));
            }
            break;
        }
        sendFrame(*earliest);
    }
    m_pumping = false;
}

void PlaybackSender::sendFrame(Lane& lane)
{
    RecordedFrame frame = std::move(*lane.pending);
    lane.pending.reset();
    if (frame.bytes.size() < media::kHeaderBytes)
        return;
    if (frame.key)
        announceFormat(lane, frame);
    // The container header says whose frame it is and counts the
    // connection's frames.
    frame.bytes[4] = static_cast<std::uint8_t>(lane.channel);
    frame.bytes[6] = static_cast<std::uint8_t>(m_sequence);
    frame.bytes[7] = static_cast<std::uint8_t>(m_sequence >> 8);
    ++m_sequence;
    ++m_counters.framesSent;
    m_counters.keyFrames += frame.key ? 1 : 0;
    m_counters.bytes += frame.bytes.size();
    m_counters.positionMs = frame.timeMs;
    m_sink->sendMediaFrame(proto::encodeFrame(
        proto::FrameType::Media,
        std::string_view(reinterpret_cast<const char*>(frame.bytes.data()), frame.bytes.size())));
}

void PlaybackSender::announceFormat(Lane& lane, const RecordedFrame& frame)
{
    const auto view = media::parseFrame(frame.bytes);
    if (!view || !view->video)
        return;
    proto::StreamInfo info = lane.announced;
    info.width = view->video->width;
    info.height = view->video->height;
    info.frameRate = view->video->frameRate;
    info.codec = view->video->codec;
    if (info.width == lane.announced.width && info.height == lane.announced.height &&
        info.frameRate == lane.announced.frameRate && info.codec == lane.announced.codec)
        return;
    lane.announced = info;
    m_sink->sendMessage(proto::Message::notify(proto::kEventVideoProperty, proto::toJson(info)));
}

void PlaybackSender::retryLater()
{
    if (m_retryScheduled)
        return;
    m_retryScheduled = true;
    ++m_counters.waits;
    m_retryTimer.expires_after(kRetryInterval);
    std::weak_ptr<PlaybackSender> weak = weak_from_this();
    m_retryTimer.async_wait([weak](const boost::system::error_code& error) {
        auto self = weak.lock();
        if (!self)
            return;
        self->m_retryScheduled = false;
        if (!error)
            self->pump();
    });
}

}  // namespace velk::recorder
