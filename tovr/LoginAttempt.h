// SPDX-License-Identifier: GPL-3.0-or-later
// One attempt to log in: connect (within the connect timeout), exchange
// hellos, answer the recorder's challenge (hello and login together within
// the request timeout). Used for LOGIN and for every background reconnect.
// Runs on the I/O thread.
#pragma once

#include "LibraryConfig.h"
#include "LoginCredentials.h"
#include "MessageConnection.h"

#include "proto/LoginRequest.h"

#include <asio.hpp>

#include <cstdint>
#include <functional>
#include <memory>

namespace velk::tovr {

struct LoginOutcome {
    int result = 0;            // TOVR result
    std::uint32_t detail = 0;  // the recorder's detail code when result is 7
    std::shared_ptr<MessageConnection> connection;  // open on success
    proto::LoginResult login;
};

class LoginAttempt : public std::enable_shared_from_this<LoginAttempt> {
public:
    using DoneHandler = std::function<void(LoginOutcome)>;

    LoginAttempt(asio::io_context& io, const LibraryConfig& config, LoginCredentials credentials);

    // I/O thread. done is called exactly once (also after cancel()).
    void start(DoneHandler done);
    // I/O thread. Abandons the attempt; done gets 6 if it has not run yet.
    void cancel();

private:
    void onConnected(int result);
    void onHello(int result, const proto::Message& reply);
    void onLoginReply(int result, const proto::Message& reply);
    void finish(int result, std::uint32_t detail = 0);
    std::chrono::milliseconds exchangeTimeLeft() const;

    asio::io_context& m_io;
    const LibraryConfig m_config;
    const LoginCredentials m_credentials;
    std::shared_ptr<MessageConnection> m_connection;
    DoneHandler m_done;
    std::chrono::steady_clock::time_point m_exchangeDeadline;
    std::string m_serverNonce;
    proto::LoginResult m_login;
};

}  // namespace velk::tovr
