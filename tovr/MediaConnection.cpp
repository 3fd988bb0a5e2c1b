// SPDX-License-Identifier: GPL-3.0-or-later
#include "MediaConnection.h"

#include "TOVR.h"

#include "proto/DetailCode.h"
#include "proto/Frame.h"
#include "proto/Hello.h"

#include <algorithm>

namespace velk::tovr {

namespace {

// The open request's timeout when it waits past the exchange: in effect
// none; the connection's heartbeats decide whether the recorder is there.
constexpr std::chrono::hours kNoAnswerTimeout{24 * 365};

}  // namespace

MediaConnection::MediaConnection(asio::io_context& io, const LibraryConfig& config)
    : m_config(config),
      m_connection(std::make_shared<MessageConnection>(io, config, proto::kMediaFrameLimitBytes)),
      m_lateTimer(io)
{
}

void MediaConnection::open(const std::string& host, std::uint16_t port, std::string method, Json::Value params,
                           OpenHandler done)
{
    m_method = std::move(method);
    m_params = std::move(params);
    m_done = std::move(done);
    auto self = shared_from_this();
    m_connection->connect(host, port, [self](int result) { self->onConnected(result); });
}

std::chrono::milliseconds MediaConnection::exchangeTimeLeft() const
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_exchangeDeadline -
                                                                            std::chrono::steady_clock::now());
    return std::max(left, std::chrono::milliseconds(1));
}

void MediaConnection::onConnected(int result)
{
    if (!m_done)
        return;
    if (result != TOVR_OK) {
        finish(MediaOutcome{result, 0, {}});
        return;
    }
    m_exchangeDeadline = std::chrono::steady_clock::now() + m_config.requestTimeout;
    proto::ClientHello hello;
    hello.role = proto::kRoleMedia;
    hello.software = "libTOVR/1.0";
    auto self = shared_from_this();
    m_connection->hello(proto::makeHello(hello), exchangeTimeLeft(),
                        [self](int r, const proto::Message& reply) { self->onHello(r, reply); });
}

void MediaConnection::onHello(int result, const proto::Message& reply)
{
    if (!m_done)
        return;
    if (result != TOVR_OK) {
        finish(MediaOutcome{result, 0, {}});
        return;
    }
    const auto hello = proto::readServerHello(reply);
    if (!hello) {
        finish(MediaOutcome{TOVR_ERR_BROKEN, 0, {}});
        return;
    }
    if (hello->code != 0) {
        finish(MediaOutcome{TOVR_ERR_DEVICE, static_cast<std::uint32_t>(hello->code), {}});
        return;
    }
    if (proto::negotiateVersion(hello->version) != hello->version) {
        finish(MediaOutcome{TOVR_ERR_DEVICE, proto::kDetailUnsupportedVersion, {}});
        return;
    }
    const auto recorderInterval = std::chrono::milliseconds(hello->heartbeatMs);
    m_connection->setHeartbeatTimeout(std::max(m_config.heartbeatTimeout, 3 * recorderInterval));
    auto self = shared_from_this();
    if (!m_onLate) {
        m_connection->request(m_method, m_params, exchangeTimeLeft(),
                              [self](int r, const proto::Message& reply) { self->onOpened(r, reply); });
        return;
    }
    m_connection->request(m_method, m_params, kNoAnswerTimeout,
                          [self](int r, const proto::Message& reply) { self->onOpened(r, reply); });
    m_lateTimer.expires_after(exchangeTimeLeft());
    std::weak_ptr<MediaConnection> weak = weak_from_this();
    m_lateTimer.async_wait([weak](const asio::error_code& error) {
        auto self = weak.lock();
        if (error || !self || !self->m_done || !self->m_onLate)
            return;
        const LateHandler late = std::move(self->m_onLate);
        self->m_onLate = nullptr;
        late();
    });
}

void MediaConnection::onOpened(int result, const proto::Message& reply)
{
    if (!m_done)
        return;
    if (result != TOVR_OK) {
        finish(MediaOutcome{result, 0, {}});
        return;
    }
    if (reply.code != 0) {
        finish(MediaOutcome{TOVR_ERR_DEVICE, static_cast<std::uint32_t>(reply.code), {}});
        return;
    }
    finish(MediaOutcome{TOVR_OK, 0, reply.body});
}

void MediaConnection::finish(MediaOutcome outcome)
{
    if (!m_done)
        return;
    OpenHandler done = std::move(m_done);
    m_done = nullptr;
    m_onLate = nullptr;
    m_lateTimer.cancel();
    if (outcome.result != TOVR_OK)
        m_connection->close();
    done(std::move(outcome));
}

void MediaConnection::setHandlers(MessageConnection::MediaHandler onMedia, MessageConnection::NotifyHandler onNotify,
                                  MessageConnection::LostHandler onLost)
{
    m_connection->setMediaHandler(std::move(onMedia));
    m_connection->setNotifyHandler(std::move(onNotify));
    m_connection->setLostHandler(std::move(onLost));
}

void MediaConnection::switchStreamType(std::uint32_t streamType, ReplyHandler done)
{
    request(proto::kMethodSwitchStream, proto::streamTypeParams(streamType), std::move(done));
}

std::uint32_t MediaConnection::request(const std::string& method, const Json::Value& params, ReplyHandler done)
{
    return m_connection->request(method, params, m_config.requestTimeout,
                                 [done = std::move(done)](int result, const proto::Message& reply) {
                                     if (result == TOVR_OK && reply.code != 0)
                                         done(TOVR_ERR_DEVICE, static_cast<std::uint32_t>(reply.code));
                                     else
                                         done(result, 0);
                                 });
}

void MediaConnection::requestKeyFrame()
{
    m_connection->request(proto::kMethodKeyFrame, Json::Value(Json::objectValue), m_config.requestTimeout,
                          [](int, const proto::Message&) {});
}

void MediaConnection::close()
{
    finish(MediaOutcome{TOVR_ERR_BROKEN, 0, {}});
    m_connection->close();
}

}  // namespace velk::tovr
