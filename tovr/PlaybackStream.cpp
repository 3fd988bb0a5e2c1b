// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlaybackStream.h"

#include "PlaybackMessages.h"
#include "PlaybackTime.h"

#include "MIVUStream.h"

#include "proto/DetailCode.h"
#include "proto/JsonText.h"
#include "proto/MediaFrame.h"
#include "proto/StreamMessages.h"

#include <span>

namespace velk::tovr {

namespace {

// Slack on top of the library's own timeouts before a waiting caller gives
// up by itself; the I/O thread normally answers well before.
constexpr std::chrono::milliseconds kWaitSlack{1000};
// How long REMOTEPLAYSTOP waits for the I/O thread to let go of the playback.
constexpr std::chrono::milliseconds kCloseWait{1000};

std::string envelope(const char* key, Json::Value param)
{
    Json::Value root(Json::objectValue);
    root["KEY"] = key;
    root["PARAM"] = std::move(param);
    return proto::writeJson(root);
}

// {"KEY":"VIDEOPROPERTY","PARAM":{"CHANNEL":slot,"HEIGHT":h,"WIDTH":w}}
std::string videoPropertyText(int slot, const proto::StreamInfo& info)
{
    Json::Value param(Json::objectValue);
    param["CHANNEL"] = slot;
    param["WIDTH"] = info.width;
    param["HEIGHT"] = info.height;
    return envelope("VIDEOPROPERTY", std::move(param));
}

// {"KEY":"FRAMEINFO","PARAM":{"TIME":"YYYYMMDDhhmmss"}}
std::string frameInfoText(const std::string& time)
{
    Json::Value param(Json::objectValue);
    param["TIME"] = time;
    return envelope("FRAMEINFO", std::move(param));
}

}  // namespace

PlaybackStream::PlaybackStream(asio::io_context& io, const LibraryConfig& config,
                               std::shared_ptr<CallbackThread> callbacks, std::shared_ptr<DeviceConnection> device,
                               PlaybackParams params, std::uint32_t decoder)
    : m_io(io),
      m_config(config),
      m_callbacks(std::move(callbacks)),
      m_device(std::move(device)),
      m_params(std::move(params)),
      m_decoder(decoder),
      m_offerTimer(io),
      m_pollTimer(io)
{
    m_slotOf.fill(-1);
    for (std::size_t i = 0; i < m_params.channels.size(); ++i) {
        if (m_params.channels[i] < m_slotOf.size())
            m_slotOf[m_params.channels[i]] = static_cast<int>(i);
    }
}

PlaybackStream::~PlaybackStream()
{
    if (m_decoder != 0 && !m_decoderClosed.exchange(true))
        MIVU_CloseStream(m_decoder);
}

CommandOutcome PlaybackStream::open()
{
    auto self = shared_from_this();
    asio::post(m_io, [self] { self->beginOpen(); });
    const auto outcome = m_openDone->waitFor(m_config.connectTimeout + m_config.requestTimeout + kWaitSlack);
    if (outcome)
        return *outcome;
    asio::post(m_io, [self] { self->closeOnIo(); });
    return CommandOutcome{TOVR_ERR_TIMEOUT, 0};
}

void PlaybackStream::releaseCallbacks()
{
    m_callbacks->releaseGate(m_gate);
}

CommandOutcome PlaybackStream::seek(const std::string& start)
{
    auto done = std::make_shared<Completion<CommandOutcome>>();
    auto self = shared_from_this();
    asio::post(m_io, [self, start, done] { self->seekOnIo(start, done); });
    const auto outcome = done->waitFor(m_config.requestTimeout + kWaitSlack);
    return outcome.value_or(CommandOutcome{TOVR_ERR_TIMEOUT, 0});
}

void PlaybackStream::setKeyFramesOnly(bool on)
{
    auto self = shared_from_this();
    asio::post(m_io, [self, on] {
        if (self->m_state == State::Playing && self->m_connection)
            self->m_connection->request(kMethodKeyFramesOnly, keyFramesOnlyParams(on), [](int, std::uint32_t) {});
    });
}

StreamStatistics PlaybackStream::statistics() const
{
    StreamStatistics s;
    s.frames = m_frames.load();
    s.keyFrames = m_keyFrames.load();
    s.bytes = m_bytes.load();
    s.malformed = m_malformed.load();
    s.callbacksDropped = m_callbacksDropped.load();
    s.decoderRefused = m_decoderRefused.load();
    return s;
}

void PlaybackStream::shutdown()
{
    m_callbacks->closeGate(m_gate);
    m_openDone->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
    auto closed = std::make_shared<Completion<bool>>();
    auto self = shared_from_this();
    asio::post(m_io, [self, closed] {
        self->closeOnIo();
        closed->set(true);
    });
    // Once the I/O thread has let go, nothing feeds the decoder any more.
    closed->waitFor(kCloseWait);
    if (m_decoder != 0 && !m_decoderClosed.exchange(true))
        MIVU_CloseStream(m_decoder);
}

void PlaybackStream::notify(std::uint32_t type, std::shared_ptr<const std::string> data, std::uint32_t kind)
{
    if (!m_params.callback)
        return;
    const TOVR_StreamCallback callback = m_params.callback;
    void* const userData = m_params.userData;
    const bool queued = m_callbacks->post(m_gate, [callback, userData, type, data = std::move(data), kind] {
        const auto* bytes = data ? reinterpret_cast<const std::uint8_t*>(data->c_str()) : nullptr;
        callback(type, userData, bytes, data ? static_cast<std::uint32_t>(data->size()) : 0, kind);
    });
    if (!queued)
        m_callbacksDropped.fetch_add(1);
}

void PlaybackStream::notifyText(const std::string& text)
{
    notify(TOVR_STREAM_VIDEOPROPERTY, std::make_shared<const std::string>(text), 0);
}

void PlaybackStream::beginOpen()
{
    if (m_state != State::Opening)
        return;
    if (!m_device->online() || !m_device->addListener(weak_from_this())) {
        m_state = State::Closed;
        m_openDone->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
        return;
    }
    auto connection = std::make_shared<MediaConnection>(m_io, m_config);
    m_connection = connection;
    PlaybackOpenRequest request;
    request.session = m_device->session();
    request.channels = m_params.channels;
    request.fileType = m_params.fileType;
    request.start = m_params.start;
    std::weak_ptr<PlaybackStream> weak = weak_from_this();
    const LoginCredentials& where = m_device->credentials();
    connection->open(where.host, where.port, kMethodOpenPlayback, toJson(request),
                     [weak, connection](MediaOutcome outcome) {
                         if (auto self = weak.lock())
                             self->onOpened(connection, outcome);
                         else if (outcome.result == TOVR_OK)
                             connection->close();
                     });
}

void PlaybackStream::onOpened(const std::shared_ptr<MediaConnection>& connection, const MediaOutcome& outcome)
{
    if (connection != m_connection || m_state != State::Opening) {
        if (outcome.result == TOVR_OK)
            connection->close();
        return;
    }
    std::optional<PlaybackInfo> info;
    if (outcome.result == TOVR_OK)
        info = readPlaybackInfo(outcome.body);
    if (!info) {
        m_connection.reset();
        m_state = State::Closed;
        if (outcome.result == TOVR_OK) {
            // An answer without the playback's start is not this protocol.
            connection->close();
            m_openDone->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
            return;
        }
        // A login the recorder no longer knows is a device being
        // reconnected: not connected, as far as the caller can tell.
        const bool staleLogin = outcome.result == TOVR_ERR_DEVICE && outcome.detail == proto::kDetailNotLoggedIn;
        m_openDone->set(staleLogin ? CommandOutcome{TOVR_ERR_BROKEN, 0} : CommandOutcome{outcome.result, outcome.detail});
        return;
    }
    m_utcOffsetS = info->utcOffsetS;
    m_state = State::Playing;
    m_lastFrameAt = std::chrono::steady_clock::now();
    std::weak_ptr<PlaybackStream> weak = weak_from_this();
    m_connection->setHandlers(
        [weak](std::string payload) {
            if (auto self = weak.lock())
                self->onMedia(std::move(payload));
        },
        [weak](const proto::Message& notification) {
            if (auto self = weak.lock())
                self->onNotify(notification);
        },
        [weak](int) {
            if (auto self = weak.lock()) {
                self->m_connection.reset();
                self->endPlayback(TOVR_STREAM_DEVICE_OFFLINE, 0);
            }
        });
    schedulePoll();
    m_openDone->set(CommandOutcome{TOVR_OK, 0});
}

void PlaybackStream::onMedia(std::string payload)
{
    if (m_state != State::Playing)
        return;
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size());
    const auto frame = media::parseFrame(bytes);
    if (!frame || frame->totalBytes != payload.size()) {
        m_malformed.fetch_add(1);
        return;
    }
    m_lastFrameAt = std::chrono::steady_clock::now();
    if (m_buffering)
        setBuffering(false);
    // Still from before the seek.
    if (m_seekId != 0)
        return;
    const int slot = m_slotOf[frame->channel];
    if (slot < 0)
        return;  // not a channel of this playback
    m_frames.fetch_add(1);
    m_bytes.fetch_add(payload.size());
    if (frame->kind == media::MediaKind::VideoKey)
        m_keyFrames.fetch_add(1);
    if (!m_firstDataSent) {
        m_firstDataSent = true;
        notify(TOVR_STREAM_DATA, std::make_shared<const std::string>(payload), 0);
    }
    deliver(slot, std::move(payload));
}

void PlaybackStream::deliver(int slot, std::string payload)
{
    if (m_decoder == 0)
        return;
    const auto* data = reinterpret_cast<const std::uint8_t*>(payload.data());
    const std::int32_t result = MIVU_InputFrame(m_decoder, slot, data, static_cast<std::uint32_t>(payload.size()));
    if (result != MIVU_ERR_BUSY)
        return;
    // The decoder is a full queue ahead (paused, or playing slower than the
    // recorder sends): keep the frame and stop reading until it is taken.
    m_decoderRefused.fetch_add(1);
    m_held = HeldFrame{slot, std::move(payload)};
    if (m_connection)
        m_connection->holdReading();
    std::weak_ptr<PlaybackStream> weak = weak_from_this();
    m_offerTimer.expires_after(kOfferAgainAfter);
    m_offerTimer.async_wait([weak](const asio::error_code& error) {
        if (auto self = weak.lock(); self && !error)
            self->offerHeldFrame();
    });
}

void PlaybackStream::offerHeldFrame()
{
    if (!m_held || m_state != State::Playing)
        return;
    HeldFrame held = std::move(*m_held);
    m_held.reset();
    deliver(held.slot, std::move(held.payload));
    if (!m_held) {
        m_lastFrameAt = std::chrono::steady_clock::now();
        if (m_connection)
            m_connection->resumeReading();
    }
}

void PlaybackStream::onNotify(const proto::Message& notification)
{
    if (m_state != State::Playing)
        return;
    const std::string& name = notification.name;
    if (name == proto::kEventVideoProperty) {
        const auto info = proto::readStreamInfo(notification.body);
        if (info && m_seekId == 0 && info->channel < m_slotOf.size() && m_slotOf[info->channel] >= 0)
            notifyText(videoPropertyText(m_slotOf[info->channel], *info));
    } else if (name == kEventSeeked) {
        if (readSeekedId(notification.body) == m_seekId)
            m_seekId = 0;
    } else if (name == kEventPlaybackEnd) {
        if (m_seekId == 0 && !m_atEnd) {
            m_atEnd = true;
            if (m_buffering)
                setBuffering(false);
            notify(TOVR_STREAM_ERROR, nullptr, TOVR_STREAM_ERROR_PLAYBACK_END);
        }
    } else if (name == kEventBuffering) {
        if (!m_buffering)
            setBuffering(true);
    } else if (name == kEventBuffered) {
        if (m_buffering)
            setBuffering(false);
    } else if (name == proto::kEventStreamError) {
        const auto code = proto::readStreamError(notification.body).value_or(proto::kDetailInternal);
        endPlayback(TOVR_STREAM_CONNECTION_LOST, static_cast<std::uint32_t>(code));
    }
}

void PlaybackStream::setBuffering(bool buffering)
{
    m_buffering = buffering;
    notify(buffering ? TOVR_STREAM_BUFFERING : TOVR_STREAM_BUFFERED, nullptr, 0);
}

void PlaybackStream::schedulePoll()
{
    std::weak_ptr<PlaybackStream> weak = weak_from_this();
    m_pollTimer.expires_after(kFrameInfoPeriod);
    m_pollTimer.async_wait([weak](const asio::error_code& error) {
        if (auto self = weak.lock(); self && !error && self->m_state == State::Playing) {
            self->onPoll();
            self->schedulePoll();
        }
    });
}

void PlaybackStream::onPoll()
{
    std::uint64_t shownMs = 0;
    if (m_decoder != 0 && MIVU_GetPlaybackTime(m_decoder, &shownMs) == MIVU_OK && shownMs != 0 && m_seekId == 0) {
        const std::uint64_t second = shownMs / 1000;
        if (m_reportedSecond != second) {
            m_reportedSecond = second;
            notifyText(frameInfoText(playbackTimeText(shownMs, m_utcOffsetS)));
        }
    }
    const bool starved = std::chrono::steady_clock::now() - m_lastFrameAt >= kStarvedAfter;
    if (starved && !m_buffering && !m_held && !m_atEnd)
        setBuffering(true);
}

void PlaybackStream::seekOnIo(const std::string& start, const std::shared_ptr<Completion<CommandOutcome>>& done)
{
    if (m_state != State::Playing || !m_connection) {
        done->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
        return;
    }
    // What is held or still on its way is from before the seek.
    m_held.reset();
    m_offerTimer.cancel();
    if (m_decoder != 0)
        MIVU_ResetStream(m_decoder);
    m_firstDataSent = false;
    m_atEnd = false;
    m_reportedSecond.reset();
    m_lastFrameAt = std::chrono::steady_clock::now();
    std::weak_ptr<PlaybackStream> weak = weak_from_this();
    const std::uint32_t id =
        m_connection->request(kMethodSeek, seekParams(start), [weak, done](int result, std::uint32_t detail) {
            auto self = weak.lock();
            if (self && result == TOVR_ERR_DEVICE)
                self->m_seekId = 0;  // refused: the playback goes on where it was
            done->set(CommandOutcome{result, detail});
        });
    if (!done->waitFor(std::chrono::milliseconds(0)))
        m_seekId = id;
    m_connection->resumeReading();
}

void PlaybackStream::onDeviceLost()
{
    // The recorder ends a login's playbacks with the login.
    if (m_state == State::Opening) {
        dropConnection();
        m_state = State::Closed;
        m_openDone->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
    } else {
        endPlayback(TOVR_STREAM_DEVICE_OFFLINE, 0);
    }
}

void PlaybackStream::onDeviceClosed(bool loggedOut)
{
    if (m_state == State::Opening) {
        dropConnection();
        m_state = State::Closed;
        m_openDone->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
    } else if (m_state == State::Playing) {
        if (loggedOut) {
            endPlayback(TOVR_STREAM_DEVICE_OFFLINE, 0);
        } else {
            m_state = State::Over;
            dropConnection();
        }
    }
}

void PlaybackStream::endPlayback(std::uint32_t type, std::uint32_t kind)
{
    if (m_state != State::Playing)
        return;
    m_state = State::Over;
    dropConnection();
    notify(type, nullptr, kind);
}

void PlaybackStream::dropConnection()
{
    m_offerTimer.cancel();
    m_pollTimer.cancel();
    m_held.reset();
    if (m_connection) {
        auto connection = std::move(m_connection);
        connection->close();
    }
}

void PlaybackStream::closeOnIo()
{
    m_state = State::Closed;
    dropConnection();
    m_device->removeListener(this);
    m_openDone->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
}

}  // namespace velk::tovr
