// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoginAttempt.h"

#include "TOVR.h"

#include "proto/DetailCode.h"
#include "proto/Frame.h"
#include "proto/Hello.h"
#include "proto/LoginProof.h"

#include <algorithm>

namespace velk::tovr {

LoginAttempt::LoginAttempt(asio::io_context& io, const LibraryConfig& config, LoginCredentials credentials)
    : m_io(io), m_config(config), m_credentials(std::move(credentials))
{
}

void LoginAttempt::start(DoneHandler done)
{
    m_done = std::move(done);
    m_connection = std::make_shared<MessageConnection>(m_io, m_config, proto::kControlFrameLimitBytes);
    auto self = shared_from_this();
    m_connection->connect(m_credentials.host, m_credentials.port, [self](int result) { self->onConnected(result); });
}

void LoginAttempt::cancel()
{
    finish(TOVR_ERR_BROKEN);
}

std::chrono::milliseconds LoginAttempt::exchangeTimeLeft() const
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_exchangeDeadline -
                                                                            std::chrono::steady_clock::now());
    return std::max(left, std::chrono::milliseconds(1));
}

void LoginAttempt::onConnected(int result)
{
    if (!m_done)
        return;
    if (result != TOVR_OK) {
        finish(result);
        return;
    }
    m_exchangeDeadline = std::chrono::steady_clock::now() + m_config.requestTimeout;
    proto::ClientHello hello;
    hello.role = proto::kRoleControl;
    hello.software = "libTOVR/1.0";
    auto self = shared_from_this();
    m_connection->hello(proto::makeHello(hello), exchangeTimeLeft(),
                        [self](int r, const proto::Message& reply) { self->onHello(r, reply); });
}

void LoginAttempt::onHello(int result, const proto::Message& reply)
{
    if (!m_done)
        return;
    if (result != TOVR_OK) {
        finish(result);
        return;
    }
    const auto hello = proto::readServerHello(reply);
    if (!hello) {
        finish(TOVR_ERR_BROKEN);  // not our protocol
        return;
    }
    if (hello->code != 0) {
        finish(TOVR_ERR_DEVICE, static_cast<std::uint32_t>(hello->code));
        return;
    }
    if (proto::negotiateVersion(hello->version) != hello->version) {
        finish(TOVR_ERR_DEVICE, proto::kDetailUnsupportedVersion);
        return;
    }
    // Never count a recorder as lost before it missed three of its own
    // heartbeats, whatever the configured timeout.
    const auto recorderInterval = std::chrono::milliseconds(hello->heartbeatMs);
    m_connection->setHeartbeatTimeout(std::max(m_config.heartbeatTimeout, 3 * recorderInterval));

    proto::LoginRequest request;
    request.user = m_credentials.user;
    request.clientNonce = proto::randomNonceHex();
    request.clientId = m_credentials.clientId;
    request.devType = m_credentials.devType;
    if (request.clientNonce.empty()) {
        finish(TOVR_ERR_BROKEN);
        return;
    }
    request.proof = proto::loginProof(m_credentials.password, hello->nonce, request.clientNonce, request.user);
    auto self = shared_from_this();
    m_connection->request(proto::kMethodLogin, proto::toJson(request), exchangeTimeLeft(),
                          [self](int r, const proto::Message& reply) { self->onLoginReply(r, reply); });
}

void LoginAttempt::onLoginReply(int result, const proto::Message& reply)
{
    if (!m_done)
        return;
    if (result != TOVR_OK) {
        finish(result);
        return;
    }
    if (reply.code != 0) {
        finish(TOVR_ERR_DEVICE, static_cast<std::uint32_t>(reply.code));
        return;
    }
    const auto login = proto::readLoginResult(reply.body);
    if (!login) {
        finish(TOVR_ERR_BROKEN);
        return;
    }
    m_login = *login;
    finish(TOVR_OK);
}

void LoginAttempt::finish(int result, std::uint32_t detail)
{
    if (!m_done)
        return;
    DoneHandler done = std::move(m_done);
    m_done = nullptr;
    LoginOutcome outcome;
    outcome.result = result;
    outcome.detail = detail;
    if (result == TOVR_OK) {
        outcome.connection = std::move(m_connection);
        outcome.login = m_login;
    } else if (m_connection) {
        m_connection->close();
        m_connection.reset();
    }
    done(std::move(outcome));
}

}  // namespace velk::tovr
