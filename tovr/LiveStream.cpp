// SPDX-License-Identifier: GPL-3.0-or-later
#include "LiveStream.h"

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
// How long REALPLAYSTOP waits for the I/O thread to let go of the stream.
constexpr std::chrono::milliseconds kCloseWait{1000};

// The error kind of callback type 4 for a recorder's refusal.
std::uint32_t errorKindFor(std::uint32_t detail)
{
    switch (detail) {
    case proto::kDetailNoRight: return TOVR_STREAM_ERROR_NO_RIGHT;
    case proto::kDetailSubstreamNotEncoded: return TOVR_STREAM_ERROR_SUBSTREAM_NOT_ENCODED;
    default: return TOVR_STREAM_ERROR_OTHER;
    }
}

// {"KEY":"VIDEOPROPERTY","PARAM":{"CHANNEL":c,"HEIGHT":h,"WIDTH":w}}
std::string videoPropertyText(const proto::StreamInfo& info)
{
    Json::Value root(Json::objectValue);
    root["KEY"] = "VIDEOPROPERTY";
    Json::Value& param = root["PARAM"];
    param["CHANNEL"] = info.channel;
    param["WIDTH"] = info.width;
    param["HEIGHT"] = info.height;
    return proto::writeJson(root);
}

}  // namespace

LiveStream::LiveStream(asio::io_context& io, const LibraryConfig& config, std::shared_ptr<CallbackThread> callbacks,
                       std::shared_ptr<DeviceConnection> device, StreamParams params, std::uint32_t decoder)
    : m_io(io),
      m_config(config),
      m_callbacks(std::move(callbacks)),
      m_device(std::move(device)),
      m_channel(params.channel),
      m_callback(params.callback),
      m_userData(params.userData),
      m_decoder(decoder),
      m_streamType(params.streamType),
      m_reconnect(config.streamReconnectDelay, config.streamReconnectDelayMax, config.streamOfflineTimeout),
      m_retryTimer(io),
      m_offlineTimer(io)
{
}

LiveStream::~LiveStream()
{
    if (m_decoder != 0 && !m_decoderClosed.exchange(true))
        MIVU_CloseStream(m_decoder);
}

CommandOutcome LiveStream::open()
{
    auto self = shared_from_this();
    asio::post(m_io, [self] { self->beginOpen(); });
    const auto outcome = m_openDone->waitFor(m_config.connectTimeout + m_config.requestTimeout + kWaitSlack);
    if (outcome)
        return *outcome;
    asio::post(m_io, [self] { self->closeOnIo(); });
    return CommandOutcome{TOVR_ERR_TIMEOUT, 0};
}

void LiveStream::releaseCallbacks()
{
    m_callbacks->releaseGate(m_gate);
}

CommandOutcome LiveStream::switchStreamType(std::uint32_t streamType)
{
    auto done = std::make_shared<Completion<CommandOutcome>>();
    auto self = shared_from_this();
    asio::post(m_io, [self, streamType, done] { self->switchOnIo(streamType, done); });
    const auto outcome = done->waitFor(m_config.requestTimeout + kWaitSlack);
    return outcome.value_or(CommandOutcome{TOVR_ERR_TIMEOUT, 0});
}

StreamStatistics LiveStream::statistics() const
{
    StreamStatistics s;
    s.frames = m_frames.load();
    s.keyFrames = m_keyFrames.load();
    s.audioFrames = m_audioFrames.load();
    s.bytes = m_bytes.load();
    s.malformed = m_malformed.load();
    s.reconnects = m_reconnects.load();
    s.sourceLosses = m_sourceLosses.load();
    s.callbacksDropped = m_callbacksDropped.load();
    s.decoderRefused = m_decoderRefused.load();
    return s;
}

void LiveStream::shutdown()
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

void LiveStream::notify(std::uint32_t type, std::shared_ptr<const std::string> data, std::uint32_t kind)
{
    if (!m_callback)
        return;
    const TOVR_StreamCallback callback = m_callback;
    void* const userData = m_userData;
    const bool queued = m_callbacks->post(m_gate, [callback, userData, type, data = std::move(data), kind] {
        const auto* bytes = data ? reinterpret_cast<const std::uint8_t*>(data->c_str()) : nullptr;
        callback(type, userData, bytes, data ? static_cast<std::uint32_t>(data->size()) : 0, kind);
    });
    if (!queued)
        m_callbacksDropped.fetch_add(1);
}

void LiveStream::beginOpen()
{
    if (m_state != State::Opening)
        return;
    if (!m_device->online() || !m_device->addListener(weak_from_this())) {
        m_state = State::Closed;
        m_openDone->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
        return;
    }
    beginAttempt();
}

void LiveStream::beginAttempt()
{
    auto connection = std::make_shared<MediaConnection>(m_io, m_config);
    m_attempt = connection;
    const proto::StreamOpenRequest request{m_device->session(), m_channel, m_streamType.load()};
    std::weak_ptr<LiveStream> weak = weak_from_this();
    const LoginCredentials& where = m_device->credentials();
    connection->open(where.host, where.port, proto::kMethodOpenStream, proto::toJson(request),
                     [weak, connection](MediaOutcome outcome) {
                         // An answer without the stream's format is not this protocol.
                         if (outcome.result == TOVR_OK && !proto::readStreamInfo(outcome.body)) {
                             connection->close();
                             outcome = MediaOutcome{TOVR_ERR_BROKEN, 0, {}};
                         }
                         if (auto self = weak.lock())
                             self->onAttemptDone(connection, outcome);
                         else if (outcome.result == TOVR_OK)
                             connection->close();
                     });
}

void LiveStream::onAttemptDone(const std::shared_ptr<MediaConnection>& connection, const MediaOutcome& outcome)
{
    if (connection != m_attempt) {
        // An attempt given up meanwhile.
        if (outcome.result == TOVR_OK)
            connection->close();
        return;
    }
    m_attempt.reset();
    if (m_state == State::Opening) {
        if (outcome.result == TOVR_OK) {
            adopt(connection);
            m_openDone->set(CommandOutcome{TOVR_OK, 0});
        } else if (outcome.result == TOVR_ERR_DEVICE && outcome.detail == proto::kDetailSubstreamNotEncoded) {
            // The play handle is made; the window learns why nothing plays
            // from the callback, as it would while playing.
            m_state = State::Over;
            notify(TOVR_STREAM_ERROR, nullptr, TOVR_STREAM_ERROR_SUBSTREAM_NOT_ENCODED);
            m_openDone->set(CommandOutcome{TOVR_OK, 0});
        } else {
            m_state = State::Closed;
            // A login the recorder no longer knows is a device being
            // reconnected: not connected, as far as the caller can tell.
            const bool staleLogin = outcome.result == TOVR_ERR_DEVICE && outcome.detail == proto::kDetailNotLoggedIn;
            m_openDone->set(staleLogin ? CommandOutcome{TOVR_ERR_BROKEN, 0}
                                       : CommandOutcome{outcome.result, outcome.detail});
        }
        return;
    }
    if (m_state != State::Reconnecting)
        return;
    if (outcome.result == TOVR_OK) {
        adopt(connection);
        m_reconnect.back();
        m_offlineTimer.cancel();
        m_reconnects.fetch_add(1);
        return;
    }
    const bool passing = outcome.detail == proto::kDetailNotLoggedIn || outcome.detail == proto::kDetailTooManyClients;
    if (outcome.result == TOVR_ERR_DEVICE && !passing) {
        endStream(TOVR_STREAM_ERROR, errorKindFor(outcome.detail));
        return;
    }
    // Not reachable, broken, a login being renewed, or a recorder full for
    // now: try again, at once when the device tells it is back.
    if (m_device->online())
        scheduleRetry(m_reconnect.nextDelay());
}

void LiveStream::adopt(std::shared_ptr<MediaConnection> connection)
{
    m_connection = std::move(connection);
    m_state = State::Playing;
    // A new stream starts afresh: the recorder tells again if the source is gone.
    m_sourceLost = false;
    std::weak_ptr<LiveStream> weak = weak_from_this();
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
            if (auto self = weak.lock())
                self->onConnectionLost();
        });
}

void LiveStream::onMedia(std::string payload)
{
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size());
    const auto frame = media::parseFrame(bytes);
    if (!frame || frame->totalBytes != payload.size()) {
        m_malformed.fetch_add(1);
        return;
    }
    if (m_sourceLost)
        return;  // data starts again after the next videoProperty
    m_frames.fetch_add(1);
    m_bytes.fetch_add(payload.size());
    if (frame->kind == media::MediaKind::VideoKey)
        m_keyFrames.fetch_add(1);
    else if (!media::isVideo(frame->kind))
        m_audioFrames.fetch_add(1);
    if (m_decoder != 0 && MIVU_InputFrame(m_decoder, 0, bytes.data(), static_cast<std::uint32_t>(bytes.size())) != 0)
        m_decoderRefused.fetch_add(1);
    notify(TOVR_STREAM_DATA, std::make_shared<const std::string>(std::move(payload)), 0);
}

void LiveStream::onNotify(const proto::Message& notification)
{
    if (notification.name == proto::kEventVideoProperty) {
        if (const auto info = proto::readStreamInfo(notification.body)) {
            m_sourceLost = false;
            notify(TOVR_STREAM_VIDEOPROPERTY, std::make_shared<const std::string>(videoPropertyText(*info)), 0);
        }
    } else if (notification.name == proto::kEventSourceLost) {
        // The connection stays up, so no offline timer: the window shows
        // the stream as reconnecting until the source is back.
        if (m_state == State::Playing && !m_sourceLost) {
            m_sourceLost = true;
            m_sourceLosses.fetch_add(1);
            notify(TOVR_STREAM_CONNECTION_LOST, nullptr, 0);
        }
    } else if (notification.name == proto::kEventStreamType) {
        if (const auto streamType = proto::readStreamType(notification.body)) {
            m_streamType = *streamType;
            notify(TOVR_STREAM_TYPE_CHANGED, nullptr, *streamType);
        }
    } else if (notification.name == proto::kEventStreamError) {
        const auto code = proto::readStreamError(notification.body).value_or(proto::kDetailInternal);
        endStream(TOVR_STREAM_ERROR, errorKindFor(static_cast<std::uint32_t>(code)));
    }
}

void LiveStream::onConnectionLost()
{
    m_connection.reset();
    if (m_state == State::Playing)
        enterReconnecting();
}

void LiveStream::enterReconnecting()
{
    m_state = State::Reconnecting;
    notify(TOVR_STREAM_CONNECTION_LOST, nullptr, 0);
    m_reconnect.lost(StreamReconnect::Clock::now());
    std::weak_ptr<LiveStream> weak = weak_from_this();
    m_offlineTimer.expires_at(m_reconnect.offlineAt());
    m_offlineTimer.async_wait([weak](const asio::error_code& error) {
        auto self = weak.lock();
        if (!error && self && self->m_state == State::Reconnecting)
            self->endStream(TOVR_STREAM_DEVICE_OFFLINE, 0);
    });
    if (m_device->online())
        scheduleRetry(m_reconnect.nextDelay());
}

void LiveStream::scheduleRetry(std::chrono::milliseconds delay)
{
    std::weak_ptr<LiveStream> weak = weak_from_this();
    m_retryTimer.expires_after(delay);
    m_retryTimer.async_wait([weak](const asio::error_code& error) {
        auto self = weak.lock();
        if (!error && self && self->m_state == State::Reconnecting && !self->m_attempt && self->m_device->online())
            self->beginAttempt();
    });
}

void LiveStream::onDeviceOnline()
{
    if (m_state != State::Reconnecting || m_attempt)
        return;
    m_retryTimer.cancel();
    beginAttempt();
}

void LiveStream::onDeviceLost()
{
    if (m_state == State::Playing) {
        dropConnections();
        enterReconnecting();
    } else if (m_state == State::Reconnecting) {
        // Its login is gone: wait until the device is back. The offline
        // clock of the loss goes on: a recorder that stays away must still
        // be reported offline in time.
        dropConnections(KeepOfflineTimer::Yes);
    }
}

void LiveStream::onDeviceClosed(bool loggedOut)
{
    if (m_state == State::Opening) {
        dropConnections();
        m_state = State::Closed;
        m_openDone->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
    } else if (m_state == State::Playing || m_state == State::Reconnecting) {
        if (loggedOut) {
            endStream(TOVR_STREAM_DEVICE_OFFLINE, 0);
        } else {
            m_state = State::Over;
            dropConnections();
        }
    }
}

void LiveStream::onKeyFrameWanted(std::uint32_t channelMask, std::uint32_t streamType)
{
    if (m_state != State::Playing || !m_connection || m_channel >= 32)
        return;
    if ((channelMask & (1u << m_channel)) != 0 && streamType == m_streamType.load())
        m_connection->requestKeyFrame();
}

void LiveStream::endStream(std::uint32_t type, std::uint32_t kind)
{
    if (m_state == State::Over || m_state == State::Closed)
        return;
    m_state = State::Over;
    dropConnections();
    notify(type, nullptr, kind);
}

void LiveStream::dropConnections(KeepOfflineTimer keepOfflineTimer)
{
    m_retryTimer.cancel();
    if (keepOfflineTimer == KeepOfflineTimer::No)
        m_offlineTimer.cancel();
    if (m_attempt) {
        auto attempt = std::move(m_attempt);
        attempt->close();
    }
    if (m_connection) {
        auto connection = std::move(m_connection);
        connection->close();
    }
}

void LiveStream::closeOnIo()
{
    m_state = State::Closed;
    dropConnections();
    m_device->removeListener(this);
    m_openDone->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
}

void LiveStream::switchOnIo(std::uint32_t streamType, const std::shared_ptr<Completion<CommandOutcome>>& done)
{
    if (m_state == State::Reconnecting) {
        m_streamType = streamType;
        done->set(CommandOutcome{TOVR_OK, 0});
        return;
    }
    if (m_state != State::Playing || !m_connection) {
        done->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
        return;
    }
    std::weak_ptr<LiveStream> weak = weak_from_this();
    m_connection->switchStreamType(streamType, [weak, streamType, done](int result, std::uint32_t detail) {
        if (auto self = weak.lock(); self && result == TOVR_OK)
            self->m_streamType = streamType;
        done->set(CommandOutcome{result, detail});
    });
}

}  // namespace velk::tovr
