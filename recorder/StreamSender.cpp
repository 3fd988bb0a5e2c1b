// SPDX-License-Identifier: GPL-3.0-or-later
#include "StreamSender.h"

#include "proto/FrameCodec.h"
#include "proto/MediaFrame.h"

#include <algorithm>
#include <string_view>

namespace velk::recorder {

namespace {

constexpr auto kFrameInterval = std::chrono::milliseconds(kFrameIntervalMs);
// How soon to look again when the picture due is not encoded yet.
constexpr auto kPictureWait = std::chrono::milliseconds(5);
// A client with this much unsent is behind: it gets nothing until it has
// caught up, then a key picture (some seconds of the main stream).
constexpr std::size_t kBehindBytes = 512 * 1024;
// A camera's key frames can be much bigger (a 4 MP one 500 KB or more): a
// client counts as behind only past twice the biggest key frame sent, so
// that one key frame still in flight does not make it skip the deltas
// after it; never past this (the connection is dropped at 4 MiB).
constexpr std::size_t kMaxBehindBytes = 2 * 1024 * 1024;

media::FrameTime wallClockNow()
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    return media::FrameTime{static_cast<std::uint32_t>(ms / 1000), static_cast<std::uint32_t>(ms % 1000)};
}

std::uint64_t wallClockMs()
{
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::system_clock::now().time_since_epoch())
                                          .count());
}

}  // namespace

StreamSender::StreamSender(boost::asio::any_io_executor executor, MediaLibrary& media, CameraFeeds& cameras,
                           StreamSink& sink, std::uint32_t channel, std::uint32_t streamType)
    : m_timer(std::move(executor)),
      m_media(media),
      m_cameras(cameras),
      m_sink(&sink),
      m_channel(channel),
      m_streamType(streamType),
      m_camera(cameras.hasChannel(channel))
{
}

StreamSender::~StreamSender()
{
    leaveFeed();
}

proto::StreamInfo streamInfo(std::uint32_t channel, std::uint32_t streamType)
{
    const auto profile = streamProfile(streamType).value_or(StreamProfile{});
    return proto::StreamInfo{channel, streamType, profile.width, profile.height, profile.frameRate};
}

proto::StreamInfo streamFormat(const CameraFeeds& cameras, std::uint32_t channel, std::uint32_t streamType)
{
    if (!cameras.hasChannel(channel))
        return streamInfo(channel, streamType);
    const CameraFeed* feed = cameras.find(channel, streamType);
    const CameraFormat format = feed ? feed->format() : CameraFormat{};
    return proto::StreamInfo{channel, streamType, format.width, format.height, format.frameRate, format.codec};
}

proto::StreamInfo StreamSender::info() const
{
    return streamFormat(m_cameras, m_channel, m_streamType);
}

void StreamSender::start()
{
    if (m_camera) {
        joinFeed();
        return;
    }
    restartLoop();
    sendVideoProperty();
    sendKeyNow();
}

void StreamSender::joinFeed()
{
    m_needKey = true;
    m_feed = m_cameras.find(m_channel, m_streamType);
    if (!m_sink || !m_feed)
        return;  // a type the channel does not have is refused before
    m_feed->addListener(this);
    sendVideoProperty();
    m_announced = m_feed->format();
    if (m_feed->state() == CameraFeed::State::Lost) {
        sendSourceLost();
        return;
    }
    // Every frame since the last key frame, at once: the decoder needs all
    // of them to reach the present picture (the deltas refer to the ones
    // before), and the client shows the newest at once instead of waiting
    // up to a key frame interval. Sending only the key frame would leave the
    // deltas after it without their references. A big run stops where the
    // client falls behind; the stream then goes on at the next key frame.
    const auto self = shared_from_this();  // a send may end the session
    for (const CameraFrame& frame : m_feed->sinceKey())
        if (!sendCameraFrame(frame))
            break;
}

void StreamSender::leaveFeed()
{
    if (m_feed)
        m_feed->removeListener(this);
    m_feed = nullptr;
}

void StreamSender::onCameraFrame(const CameraFeed& feed, const CameraFrame& frame)
{
    if (&feed != m_feed || !m_sink)
        return;
    const auto self = shared_from_this();  // a send may end the session, and with it this stream
    sendCameraFrame(frame);
}

void StreamSender::onCameraLost(const CameraFeed& feed)
{
    if (&feed != m_feed || !m_sink)
        return;
    const auto self = shared_from_this();
    sendSourceLost();
}

void StreamSender::sendSourceLost()
{
    // The format is told again before the next key frame, whatever it is.
    m_needKey = true;
    m_announced.reset();
    ++m_counters.sourceLosses;
    m_sink->sendMessage(proto::Message::notify(proto::kEventSourceLost, proto::sourceLostParams(m_channel, m_streamType)));
}

bool StreamSender::sendCameraFrame(const CameraFrame& frame)
{
    if (!m_sink || !m_feed)
        return false;
    const std::size_t behind = std::clamp(2 * m_largestKeyBytes, kBehindBytes, kMaxBehindBytes);
    if (m_sink->frozen() || m_sink->unsentBytes() > behind) {
        // As with the synthetic streams: nothing leaves a hung recorder, a
        // client that is behind gets nothing more for now, and either goes
        // on at a key frame.
        ++m_counters.skippedTicks;
        m_needKey = true;
        return false;
    }
    if (m_needKey && !frame.key) {
        ++m_counters.skippedTicks;
        return false;
    }
    const CameraFormat& format = m_feed->format();
    if (frame.key && m_announced != format) {
        m_announced = format;
        sendVideoProperty();
    }
    media::FrameFields fields;
    fields.kind = frame.key ? media::MediaKind::VideoKey : media::MediaKind::VideoDelta;
    fields.channel = static_cast<std::uint8_t>(m_channel);
    fields.streamType = static_cast<std::uint8_t>(m_streamType);
    fields.sequence = m_sequence++;
    // A camera's frame time is when the picture was taken (as near as the
    // source can tell), not when it leaves here.
    fields.time = media::FrameTime{static_cast<std::uint32_t>(frame.wallMs / 1000),
                                   static_cast<std::uint32_t>(frame.wallMs % 1000)};
    if (frame.key)
        fields.video = media::VideoInfo{format.width, format.height, format.frameRate, format.codec};
    const std::vector<std::uint8_t> container = media::buildFrame(fields, *frame.annexB);
    if (frame.key)
        m_largestKeyBytes = std::max(m_largestKeyBytes, container.size());
    sendContainer(container);
    ++m_counters.videoFrames;
    m_counters.keyFrames += frame.key ? 1 : 0;
    m_needKey = false;
    return true;
}

void StreamSender::switchType(std::uint32_t streamType, bool announce)
{
    if (!m_sink)
        return;
    if (announce)
        m_sink->sendMessage(proto::Message::notify(proto::kEventStreamType, proto::streamTypeParams(streamType)));
    m_streamType = streamType;
    if (m_camera) {
        leaveFeed();
        joinFeed();
        return;
    }
    restartLoop();
    sendVideoProperty();
    sendKeyNow();
}

void StreamSender::requestKeyFrame()
{
    m_needKey = true;
    // A camera makes its key frames when it will: the stream goes on at
    // the next one.
    if (!m_camera)
        sendKeyNow();
}

void StreamSender::stop()
{
    leaveFeed();
    m_sink = nullptr;
    ++m_tickGeneration;
    m_timer.cancel();
}

void StreamSender::restartLoop()
{
    m_loop = m_media.loop(m_channel, m_streamType);
    m_needKey = true;
    if (!m_loop)
        return;
    // Start where the wall clock says, so that every stream of a channel
    // shows about the same picture, at the key picture before it.
    const std::size_t phase = (wallClockMs() / kFrameIntervalMs) % m_loop->frameCount();
    m_position = m_loop->keyAtOrBefore(phase);
}

void StreamSender::sendVideoProperty()
{
    if (m_sink)
        m_sink->sendMessage(proto::Message::notify(proto::kEventVideoProperty, proto::toJson(info())));
}

void StreamSender::sendKeyNow()
{
    ++m_tickGeneration;
    m_timer.cancel();
    m_nextDue = Clock::now();
    onTick();
}

void StreamSender::scheduleTick(Clock::time_point due)
{
    m_timer.expires_at(due);
    std::weak_ptr<StreamSender> weak = weak_from_this();
    m_timer.async_wait([weak, generation = m_tickGeneration](const boost::system::error_code& error) {
        auto self = weak.lock();
        if (error || !self || generation != self->m_tickGeneration)
            return;
        self->onTick();
    });
}

void StreamSender::onTick()
{
    if (!m_sink || !m_loop)
        return;
    const auto now = Clock::now();
    if (m_sink->frozen() || m_sink->unsentBytes() > kBehindBytes) {
        // Nothing leaves a hung recorder, and a client that is behind gets
        // nothing more for now; either way the stream goes on with a key
        // picture later.
        ++m_counters.skippedTicks;
        m_needKey = true;
        m_nextDue = std::max(m_nextDue + kFrameInterval, now + kFrameInterval / 2);
        scheduleTick(m_nextDue);
        return;
    }
    if (!sendCurrent()) {
        ++m_counters.skippedTicks;
        scheduleTick(now + kPictureWait);
        return;
    }
    // Each frame leaves when it is due; a late tick never makes the next
    // ones leave in a burst.
    m_nextDue = std::max(m_nextDue + kFrameInterval, now + kFrameInterval / 2);
    scheduleTick(m_nextDue);
}

bool StreamSender::sendCurrent()
{
    const std::size_t ready = m_loop->readyCount();
    if (m_position >= ready && m_loop->failed() && ready > 0)
        m_position = 0;  // the encoder gave up: play round what there is
    if (m_needKey && (m_position >= ready || !m_loop->picture(m_position).key)) {
        // The next key picture, or, while the loop is still being encoded
        // that far, the one before: a key picture now beats a later one.
        m_position = m_loop->keyAfter(m_position).value_or(m_loop->keyAtOrBefore(m_position));
    }
    if (m_position >= ready)
        return false;
    if (m_loop->picture(m_position).key)
        adoptNewerLoop();
    const EncodedPicture& picture = m_loop->picture(m_position);
    sendContainer(buildVideoFrame(picture));
    ++m_counters.videoFrames;
    m_counters.keyFrames += picture.key ? 1 : 0;
    m_needKey = false;

    // The sound's tick falls on the loop clock's whole seconds.
    media::FrameFields audio;
    audio.kind = media::MediaKind::AudioMuLaw;
    audio.channel = static_cast<std::uint8_t>(m_channel);
    audio.streamType = static_cast<std::uint8_t>(m_streamType);
    audio.sequence = m_sequence++;
    audio.time = wallClockNow();
    audio.audioSampleRate = AudioLoop::kSampleRate;
    sendContainer(media::buildFrame(audio, m_media.audio().piece(m_position)));
    ++m_counters.audioFrames;

    m_position = (m_position + 1) % m_loop->frameCount();
    return true;
}

void StreamSender::adoptNewerLoop()
{
    // Only at a key picture that the newer loop has at the same place (both
    // have one every 25 pictures): the decoder gets the new loop's key
    // picture before any of its other pictures.
    const auto latest = m_media.loop(m_channel, m_streamType);
    if (!latest || latest == m_loop || latest->frameCount() != m_loop->frameCount() ||
        m_position >= latest->readyCount() || !latest->picture(m_position).key)
        return;
    m_loop = latest;
    ++m_counters.loopsAdopted;
}

std::vector<std::uint8_t> StreamSender::buildVideoFrame(const EncodedPicture& picture)
{
    media::FrameFields fields;
    fields.kind = picture.key ? media::MediaKind::VideoKey : media::MediaKind::VideoDelta;
    fields.channel = static_cast<std::uint8_t>(m_channel);
    fields.streamType = static_cast<std::uint8_t>(m_streamType);
    fields.sequence = m_sequence++;
    fields.time = wallClockNow();
    if (picture.key) {
        const StreamProfile& profile = m_loop->profile();
        fields.video = media::VideoInfo{profile.width, profile.height, profile.frameRate};
    }
    return media::buildFrame(fields, picture.annexB);
}

void StreamSender::sendContainer(const std::vector<std::uint8_t>& frame)
{
    if (!m_sink || frame.empty())
        return;
    m_counters.bytes += frame.size();
    m_sink->sendMediaFrame(proto::encodeFrame(
        proto::FrameType::Media, std::string_view(reinterpret_cast<const char*>(frame.data()), frame.size())));
}

void StreamSender::sendMalformed(MalformedKind kind)
{
    if (!m_sink || !m_loop || m_loop->readyCount() == 0)
        return;
    const std::size_t index = std::min(m_position, m_loop->readyCount() - 1);
    std::vector<std::uint8_t> frame = buildVideoFrame(m_loop->picture(index));
    switch (kind) {
    case MalformedKind::Truncated: {
        // The header claims more bytes than the frame carries.
        const std::size_t claimed = (frame.size() - media::kHeaderBytes) + 64;
        frame[8] = static_cast<std::uint8_t>(claimed);
        frame[9] = static_cast<std::uint8_t>(claimed >> 8);
        frame[10] = static_cast<std::uint8_t>(claimed >> 16);
        break;
    }
    case MalformedKind::BadMagic:
        frame[1] = 'X';
        frame[2] = 'Y';
        frame[3] = 'Z';
        break;
    case MalformedKind::BadItems:
        // The first item claims to run past the end of the frame.
        frame[media::kHeaderBytes + 1] = 0xFF;
        frame[media::kHeaderBytes + 2] = 0xFF;
        frame[media::kHeaderBytes + 3] = 0xFF;
        break;
    }
    sendContainer(frame);
    ++m_counters.malformed;
}

}  // namespace velk::recorder
