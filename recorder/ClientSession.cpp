// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClientSession.h"

#include "DeviceServer.h"

#include "proto/DetailCode.h"
#include "proto/FrameCodec.h"
#include "proto/Hello.h"
#include "proto/JsonText.h"
#include "proto/LoginProof.h"
#include "proto/LoginRequest.h"

namespace velk::recorder {

namespace net = boost::asio;

namespace {

// A client that stops reading is dropped once this much waits unsent.
constexpr std::size_t kMaxQueuedBytes = 4 * 1024 * 1024;
// At most this much of the write queue goes in one write.
constexpr std::size_t kMaxGatheredFrames = 64;
constexpr std::size_t kMaxGatheredBytes = 256 * 1024;

}  // namespace

ClientSession::ClientSession(net::ip::tcp::socket socket, DeviceServer& server)
    : m_socket(std::move(socket)),
      m_server(server),
      m_heartbeatTimer(m_socket.get_executor()),
      m_handshakeTimer(m_socket.get_executor()),
      m_decoder(proto::kControlFrameLimitBytes)
{
}

ClientSession::~ClientSession()
{
    stopStream();
}

bool ClientSession::frozen() const
{
    return m_server.frozen();
}

void ClientSession::start()
{
    boost::system::error_code ignored;
    m_socket.set_option(net::ip::tcp::no_delay(true), ignored);
    m_lastReceived = Clock::now();
    startHeartbeat();
    startHandshakeTimer();
    if (m_server.frozen())
        m_paused = true;  // a hung recorder accepts (the kernel does) but never answers
    else
        startRead();
}

void ClientSession::close()
{
    if (m_state == State::Closed)
        return;
    m_state = State::Closed;
    stopStream();
    boost::system::error_code ignored;
    m_heartbeatTimer.cancel();
    m_handshakeTimer.cancel();
    m_socket.shutdown(net::ip::tcp::socket::shutdown_both, ignored);
    m_socket.close(ignored);
    m_writeQueue.clear();
    m_server.sessionEnded(shared_from_this());
}

void ClientSession::resume()
{
    if (m_state == State::Closed)
        return;
    m_lastReceived = Clock::now();
    if (!handshakeDone())
        startHandshakeTimer();
    writeNext();
    if (!m_paused)
        return;
    m_paused = false;
    if (processFrames())
        startRead();
    if (m_playback && m_state == State::Playing)
        m_playback->writable();
    if (m_download && m_state == State::Downloading)
        m_download->writable();
}

void ClientSession::startRead()
{
    if (m_reading || m_state == State::Closed)
        return;
    m_reading = true;
    auto self = shared_from_this();
    m_socket.async_read_some(net::buffer(m_readBuffer), [self](const boost::system::error_code& error,
                                                                std::size_t bytes) { self->onRead(error, bytes); });
}

void ClientSession::onRead(const boost::system::error_code& error, std::size_t bytes)
{
    m_reading = false;
    if (m_state == State::Closed)
        return;
    if (error) {
        close();
        return;
    }
    m_decoder.append(m_readBuffer.data(), bytes);
    if (m_server.frozen()) {
        m_paused = true;  // keep the bytes; handle them after the freeze
        return;
    }
    m_lastReceived = Clock::now();
    if (processFrames())
        startRead();
}

bool ClientSession::processFrames()
{
    proto::Frame frame;
    for (;;) {
        if (m_state == State::Closed)
            return false;
        const auto status = m_decoder.next(frame);
        if (status == proto::FrameDecoder::Status::NeedMore)
            return true;
        if (status == proto::FrameDecoder::Status::Failed) {
            close();
            return false;
        }
        if (frame.type != proto::FrameType::Json)
            continue;  // heartbeats only count as a sign of life
        const auto message = proto::decodeMessage(frame.payload);
        if (!message) {
            close();
            return false;
        }
        if (m_state != State::Closing)
            handleMessage(*message);
    }
}

void ClientSession::handleMessage(const proto::Message& message)
{
    if (m_state == State::AwaitHello) {
        handleHello(message);
        return;
    }
    if (message.kind == proto::MessageKind::Request)
        handleRequest(message);
    // Anything else from a client (responses, notifications) is ignored.
}

void ClientSession::handleHello(const proto::Message& message)
{
    const auto hello = proto::readClientHello(message);
    if (!hello) {
        close();
        return;
    }
    proto::ServerHello reply;
    reply.software = m_server.settings().name + "/1.0.0";
    reply.version = proto::negotiateVersion(hello->version);
    if (reply.version == 0) {
        reply.version = proto::kProtocolVersion;
        reply.code = proto::kDetailUnsupportedVersion;
    } else if (hello->role != proto::kRoleControl && hello->role != proto::kRoleMedia) {
        reply.code = proto::kDetailBadRequest;
    } else {
        m_nonce = proto::randomNonceHex();
        if (m_nonce.empty())
            reply.code = proto::kDetailInternal;
    }
    if (reply.code != 0) {
        send(proto::makeHello(reply));
        closeAfterWrites();
        return;
    }
    reply.nonce = m_nonce;
    reply.heartbeatMs = m_server.settings().heartbeatMs;
    send(proto::makeHello(reply));
    m_media = hello->role == proto::kRoleMedia;
    m_state = m_media ? State::AwaitOpen : State::AwaitLogin;
}

void ClientSession::handleRequest(const proto::Message& message)
{
    if (m_media) {
        handleStreamRequest(message);
        return;
    }
    if (message.name == proto::kMethodLogin) {
        if (m_state == State::AwaitLogin)
            handleLogin(message);
        else
            send(proto::Message::response(message.id, message.name, proto::kDetailBadRequest));
        return;
    }
    if (m_state != State::LoggedIn) {
        send(proto::Message::response(message.id, message.name, proto::kDetailNotLoggedIn));
        return;
    }
    if (message.name == proto::kMethodLogout) {
        m_server.countLogout();
        send(proto::Message::response(message.id, message.name, proto::kDetailNone));
        closeAfterWrites();
        return;
    }
    send(proto::Message::response(message.id, message.name, proto::kDetailBadRequest));
}

void ClientSession::handleLogin(const proto::Message& message)
{
    const auto request = proto::readLoginRequest(message.body);
    std::int32_t code = proto::kDetailBadRequest;
    if (request)
        code = m_server.users().checkLogin(request->user, m_nonce, request->clientNonce, request->proof);
    // The nonce answers one login only.
    m_nonce.clear();
    m_server.countLogin(code == proto::kDetailNone);
    if (code != proto::kDetailNone) {
        send(proto::Message::response(message.id, message.name, code));
        closeAfterWrites();
        return;
    }
    m_user = request->user;
    m_sessionToken = proto::randomNonceHex(16);
    m_state = State::LoggedIn;
    proto::LoginResult result;
    result.session = m_sessionToken;
    result.channels = m_server.settings().channels;
    result.name = m_server.settings().name;
    send(proto::Message::response(message.id, message.name, proto::kDetailNone, proto::toJson(result)));
}

void ClientSession::sendDeviceNotification(std::uint32_t kind)
{
    Json::Value params(Json::objectValue);
    params["kind"] = kind;
    send(proto::Message::notify(proto::kEventDevice, params));
}

void ClientSession::sendAlarmNotification(std::uint32_t channel, const char* kind, bool active)
{
    Json::Value params(Json::objectValue);
    params["channel"] = channel;
    params["kind"] = kind;
    params["active"] = active;
    send(proto::Message::notify(proto::kEventAlarm, params));
}

void ClientSession::send(const proto::Message& message)
{
    sendFrame(proto::encodeFrame(proto::FrameType::Json, proto::encodeMessage(message)));
}

void ClientSession::sendFrame(std::string frame)
{
    if (m_state == State::Closed || m_state == State::Closing)
        return;
    m_queuedBytes += frame.size();
    m_writeQueue.push_back(std::move(frame));
    if (m_queuedBytes > kMaxQueuedBytes) {
        close();
        return;
    }
    writeNext();
}

void ClientSession::writeNext()
{
    if (m_writing || m_state == State::Closed || m_server.frozen())
        return;
    if (m_writeQueue.empty()) {
        if (m_state == State::Closing)
            close();
        return;
    }
    m_writing = true;
    // Several queued frames go in one write: a download or playback sends
    // many small frames (sound, delta pictures), and a system call each
    // would cost more than their bytes.
    m_gathered.clear();
    std::size_t gatheredBytes = 0;
    for (const std::string& frame : m_writeQueue) {
        if (m_gathered.size() == kMaxGatheredFrames ||
            (!m_gathered.empty() && gatheredBytes + frame.size() > kMaxGatheredBytes))
            break;
        m_gathered.push_back(net::buffer(frame));
        gatheredBytes += frame.size();
    }
    auto self = shared_from_this();
    net::async_write(m_socket, m_gathered,
                     [self, count = m_gathered.size(), gatheredBytes](const boost::system::error_code& error,
                                                                     std::size_t) {
                         self->m_writing = false;
                         if (self->m_state == State::Closed)
                             return;
                         if (error) {
                             self->close();
                             return;
                         }
                         self->m_queuedBytes -= gatheredBytes;
                         for (std::size_t i = 0; i < count; ++i)
                             self->m_writeQueue.pop_front();
                         self->writeNext();
                         if (self->m_playback && self->m_state == State::Playing)
                             self->m_playback->writable();
                         if (self->m_download && self->m_state == State::Downloading)
                             self->m_download->writable();
                     });
}

void ClientSession::closeAfterWrites()
{
    if (m_state == State::Closed)
        return;
    m_state = State::Closing;
    writeNext();
}

void ClientSession::startHeartbeat()
{
    std::weak_ptr<ClientSession> weak = weak_from_this();
    m_heartbeatTimer.expires_after(std::chrono::milliseconds(m_server.settings().heartbeatMs));
    m_heartbeatTimer.async_wait([weak](const boost::system::error_code& error) {
        auto self = weak.lock();
        if (error || !self || self->m_state == State::Closed)
            return;
        self->onHeartbeatTick();
    });
}

void ClientSession::startHandshakeTimer()
{
    std::weak_ptr<ClientSession> weak = weak_from_this();
    m_handshakeTimer.expires_after(std::chrono::milliseconds(m_server.settings().handshakeTimeoutMs));
    m_handshakeTimer.async_wait([weak](const boost::system::error_code& error) {
        auto self = weak.lock();
        if (error || !self || self->m_state == State::Closed || self->handshakeDone())
            return;
        // A hung recorder closes nothing; resume() starts the time again.
        if (!self->m_server.frozen())
            self->close();
    });
}

void ClientSession::onHeartbeatTick()
{
    if (!m_server.frozen()) {
        const auto now = Clock::now();
        if (now - m_lastReceived > std::chrono::milliseconds(m_server.settings().heartbeatTimeoutMs)) {
            m_server.countSilenceDrop();
            close();
            return;
        }
        if (m_state != State::Closing && m_writeQueue.empty())
            sendFrame(proto::encodeHeartbeat());
    }
    if (m_state != State::Closed)
        startHeartbeat();
}

}  // namespace velk::recorder
