// SPDX-License-Identifier: GPL-3.0-or-later
#include "MessageConnection.h"

#include "TOVR.h"

#include "proto/FrameCodec.h"

#include <algorithm>

namespace velk::tovr {

namespace {

// A peer that stops reading is treated as gone once this much waits unsent.
constexpr std::size_t kMaxQueuedBytes = 4 * 1024 * 1024;

}  // namespace

MessageConnection::MessageConnection(asio::io_context& io, const LibraryConfig& config, std::uint32_t maxPayloadBytes)
    : m_io(io),
      m_config(config),
      m_resolver(io),
      m_socket(io),
      m_connectTimer(io),
      m_heartbeatTimer(io),
      m_decoder(maxPayloadBytes),
      m_heartbeatTimeout(config.heartbeatTimeout)
{
}

MessageConnection::~MessageConnection() = default;

void MessageConnection::connect(const std::string& host, std::uint16_t port, ConnectHandler done)
{
    m_connectDone = std::move(done);
    auto self = shared_from_this();

    m_connectTimer.expires_after(m_config.connectTimeout);
    m_connectTimer.async_wait([self](const asio::error_code& error) {
        if (error || !self->m_connectDone)
            return;
        self->m_connectTimedOut = true;
        self->m_resolver.cancel();
        asio::error_code ignored;
        self->m_socket.close(ignored);
    });

    m_resolver.async_resolve(
        host, std::to_string(port), asio::ip::tcp::resolver::numeric_service,
        [self](const asio::error_code& error, asio::ip::tcp::resolver::results_type endpoints) {
            if (!self->m_connectDone)
                return;
            if (error || self->m_connectTimedOut || self->m_closed) {
                self->finishConnect(TOVR_ERR_UNREACHABLE);
                return;
            }
            asio::async_connect(self->m_socket, endpoints,
                                [self](const asio::error_code& connectError, const asio::ip::tcp::endpoint&) {
                                    if (!self->m_connectDone)
                                        return;
                                    const bool ok = !connectError && !self->m_connectTimedOut && !self->m_closed;
                                    self->finishConnect(ok ? TOVR_OK : TOVR_ERR_UNREACHABLE);
                                });
        });
}

void MessageConnection::finishConnect(int result)
{
    m_connectTimer.cancel();
    ConnectHandler done = std::move(m_connectDone);
    m_connectDone = nullptr;
    if (result == TOVR_OK && !m_closed) {
        asio::error_code ignored;
        m_socket.set_option(asio::ip::tcp::no_delay(true), ignored);
        m_open = true;
        m_lastReceived = Clock::now();
        m_lastHeartbeatSent = m_lastReceived;
        startRead();
        startHeartbeat();
    } else if (result == TOVR_OK) {
        result = TOVR_ERR_BROKEN;
    }
    if (done)
        done(result);
}

void MessageConnection::hello(const proto::Message& hello, std::chrono::milliseconds timeout, ReplyHandler done)
{
    sendPending(kHelloKey, hello, timeout, std::move(done));
}

std::uint32_t MessageConnection::request(const std::string& method, const Json::Value& params,
                                         std::chrono::milliseconds timeout, ReplyHandler done)
{
    std::uint32_t id = m_nextRequestId++;
    if (id == kHelloKey)
        id = m_nextRequestId++;
    sendPending(id, proto::Message::request(id, method, params), timeout, std::move(done));
    return id;
}

void MessageConnection::sendPending(std::uint32_t key, const proto::Message& message,
                                    std::chrono::milliseconds timeout, ReplyHandler done)
{
    if (!m_open) {
        done(TOVR_ERR_BROKEN, proto::Message{});
        return;
    }
    auto timer = std::make_shared<asio::steady_timer>(m_io);
    timer->expires_after(timeout);
    m_pending[key] = Pending{std::move(done), timer};
    std::weak_ptr<MessageConnection> weak = weak_from_this();
    timer->async_wait([weak, key, raw = timer.get()](const asio::error_code& error) {
        auto self = weak.lock();
        if (error || !self)
            return;
        const auto it = self->m_pending.find(key);
        // The key may have been answered and reused meanwhile.
        if (it != self->m_pending.end() && it->second.timer.get() == raw)
            self->completePending(key, TOVR_ERR_TIMEOUT, proto::Message{});
    });
    send(proto::encodeFrame(proto::FrameType::Json, proto::encodeMessage(message)));
}

void MessageConnection::completePending(std::uint32_t key, int result, const proto::Message& reply)
{
    const auto it = m_pending.find(key);
    if (it == m_pending.end())
        return;
    Pending pending = std::move(it->second);
    m_pending.erase(it);
    pending.timer->cancel();
    pending.done(result, reply);
}

void MessageConnection::startRead()
{
    m_readPending = true;
    auto self = shared_from_this();
    const std::span<char> room = m_decoder.prepare(kReadBytes);
    m_socket.async_read_some(asio::buffer(room.data(), room.size()),
                             [self](const asio::error_code& error, std::size_t bytes) { self->onRead(error, bytes); });
}

void MessageConnection::resumeReading()
{
    if (!m_readHeld)
        return;
    m_readHeld = false;
    // Not from within the caller: it may be a handler of this connection.
    std::weak_ptr<MessageConnection> weak = weak_from_this();
    asio::post(m_io, [weak] {
        auto self = weak.lock();
        if (self && !self->m_closed && self->m_open && !self->m_readHeld && !self->m_readPending)
            self->processReceived();
    });
}

void MessageConnection::onRead(const asio::error_code& error, std::size_t bytes)
{
    m_readPending = false;
    if (m_closed)
        return;
    if (error) {
        fail(TOVR_ERR_BROKEN, true);
        return;
    }
    m_lastReceived = Clock::now();
    m_decoder.commit(bytes);
    processReceived();
}

void MessageConnection::processReceived()
{
    proto::FrameRef frame;
    while (!m_readHeld) {
        const auto status = m_decoder.peek(frame);
        if (status == proto::FrameDecoder::Status::NeedMore)
            break;
        if (status == proto::FrameDecoder::Status::Failed) {
            fail(TOVR_ERR_BROKEN, true);
            return;
        }
        if (frame.type == proto::FrameType::Media && m_onMediaRun) {
            m_run.push_back(frame.payload);
            m_decoder.pop();
            continue;
        }
        // Whatever comes after a run is handled after it (and not at all
        // when the run's handler held reading).
        if (!m_run.empty()) {
            if (!handOnRun())
                return;
            continue;
        }
        m_decoder.pop();
        if (frame.type == proto::FrameType::Json) {
            auto message = proto::decodeMessage(frame.payload);
            if (!message) {
                fail(TOVR_ERR_BROKEN, true);
                return;
            }
            dispatch(std::move(*message));
            if (m_closed)
                return;
        } else if (frame.type == proto::FrameType::Media && m_onMedia) {
            // A copy: the handler may close this connection, which drops it.
            const MediaHandler handler = m_onMedia;
            handler(std::string(frame.payload));
            if (m_closed)
                return;
        }
        // Heartbeats only prove the recorder is alive.
    }
    if (!m_run.empty() && !handOnRun())
        return;
    if (!m_readHeld)
        startRead();
}

bool MessageConnection::handOnRun()
{
    // Copies: the handler may close this connection, which drops the
    // handler and the run (swapped, so no allocation). The payloads stay
    // where they are until the next read.
    const MediaRunHandler handler = m_onMediaRun;
    std::vector<std::string_view> run;
    run.swap(m_run);
    if (handler)
        handler(run);
    run.clear();
    if (m_run.empty())
        m_run.swap(run);
    return !m_closed;
}

void MessageConnection::dispatch(proto::Message message)
{
    switch (message.kind) {
    case proto::MessageKind::Hello:
        completePending(kHelloKey, TOVR_OK, message);
        break;
    case proto::MessageKind::Response:
        if (message.id != kHelloKey)
            completePending(message.id, TOVR_OK, message);
        break;
    case proto::MessageKind::Notify:
        if (m_onNotify) {
            // A copy: the handler may close this connection, which drops it.
            const NotifyHandler handler = m_onNotify;
            handler(message);
        }
        break;
    case proto::MessageKind::Request:
        // The recorder sends no requests in this protocol version.
        break;
    }
}

void MessageConnection::send(std::string frame)
{
    if (!m_open)
        return;
    m_queuedBytes += frame.size();
    m_writeQueue.push_back(std::move(frame));
    if (m_queuedBytes > kMaxQueuedBytes) {
        fail(TOVR_ERR_BROKEN, true);
        return;
    }
    if (!m_writing)
        writeNext();
}

void MessageConnection::writeNext()
{
    if (m_writeQueue.empty() || m_closed) {
        m_writing = false;
        return;
    }
    m_writing = true;
    auto self = shared_from_this();
    asio::async_write(m_socket, asio::buffer(m_writeQueue.front()),
                      [self](const asio::error_code& error, std::size_t) {
                          if (self->m_closed)
                              return;
                          if (error) {
                              self->fail(TOVR_ERR_BROKEN, true);
                              return;
                          }
                          self->m_queuedBytes -= self->m_writeQueue.front().size();
                          self->m_writeQueue.pop_front();
                          self->writeNext();
                      });
}

void MessageConnection::startHeartbeat()
{
    // The silence is checked four times within the loss timeout, so that a
    // loss is noticed close to the timeout and not up to a whole heartbeat
    // interval later; heartbeats still go out at their own interval.
    const auto checkPeriod =
        std::max(std::chrono::milliseconds(10), std::min(m_config.heartbeatInterval, m_heartbeatTimeout / 4));
    std::weak_ptr<MessageConnection> weak = weak_from_this();
    m_heartbeatTimer.expires_after(checkPeriod);
    m_heartbeatTimer.async_wait([weak](const asio::error_code& error) {
        auto self = weak.lock();
        if (error || !self || self->m_closed)
            return;
        self->onHeartbeatTick();
    });
}

void MessageConnection::onHeartbeatTick()
{
    const auto now = Clock::now();
    // Held reading leaves the recorder's heartbeats unread: not a silence.
    if (m_readHeld)
        m_lastReceived = now;
    if (now - m_lastReceived > m_heartbeatTimeout) {
        fail(TOVR_ERR_TIMEOUT, true);
        return;
    }
    if (now - m_lastHeartbeatSent >= m_config.heartbeatInterval) {
        m_lastHeartbeatSent = now;
        send(proto::encodeHeartbeat());
    }
    if (!m_closed)
        startHeartbeat();
}

void MessageConnection::close()
{
    fail(TOVR_ERR_BROKEN, false);
}

void MessageConnection::fail(int result, bool lost)
{
    if (m_closed)
        return;
    m_closed = true;
    const bool wasOpen = m_open;
    m_open = false;
    asio::error_code ignored;
    m_resolver.cancel();
    m_connectTimer.cancel();
    m_heartbeatTimer.cancel();
    m_socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    m_socket.close(ignored);
    m_writeQueue.clear();
    m_queuedBytes = 0;

    // Keep this object alive while the handlers below run: one of them may
    // drop the last reference to it.
    auto self = shared_from_this();
    auto pending = std::move(m_pending);
    m_pending.clear();
    for (auto& [key, entry] : pending) {
        entry.timer->cancel();
        entry.done(result, proto::Message{});
    }
    if (m_connectDone)
        finishConnect(TOVR_ERR_UNREACHABLE);

    LostHandler onLost = std::move(m_onLost);
    m_onLost = nullptr;
    m_onNotify = nullptr;
    m_onMedia = nullptr;
    m_onMediaRun = nullptr;
    m_run.clear();
    if (lost && wasOpen && onLost)
        onLost(result);
}

}  // namespace velk::tovr
