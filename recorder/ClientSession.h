// SPDX-License-Identifier: GPL-3.0-or-later
// One client connection of the device protocol: hello, challenge-response
// login, logout, heartbeats both ways, device notifications. Runs on the
// recorder's I/O thread.
#pragma once

#include "proto/FrameDecoder.h"
#include "proto/Message.h"

#include <boost/asio.hpp>

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

namespace velk::recorder {

class DeviceServer;

class ClientSession : public std::enable_shared_from_this<ClientSession> {
public:
    ClientSession(boost::asio::ip::tcp::socket socket, DeviceServer& server);

    void start();
    // Closes the connection at once and leaves the server's list.
    void close();
    // Picks up reading and heartbeats after a freeze.
    void resume();
    bool loggedIn() const { return m_state == State::LoggedIn; }
    void sendDeviceNotification(std::uint32_t kind);

private:
    enum class State { AwaitHello, AwaitLogin, LoggedIn, Closing, Closed };
    using Clock = std::chrono::steady_clock;

    void startRead();
    void onRead(const boost::system::error_code& error, std::size_t bytes);
    // Handles buffered frames; false when the session ended meanwhile.
    bool processFrames();
    void handleMessage(const proto::Message& message);
    void handleHello(const proto::Message& message);
    void handleRequest(const proto::Message& message);
    void handleLogin(const proto::Message& message);
    void send(const proto::Message& message);
    void sendFrame(std::string frame);
    void writeNext();
    // Sends what is queued, then closes.
    void closeAfterWrites();
    void startHeartbeat();
    void onHeartbeatTick();

    boost::asio::ip::tcp::socket m_socket;
    DeviceServer& m_server;
    boost::asio::steady_timer m_heartbeatTimer;
    State m_state = State::AwaitHello;
    proto::FrameDecoder m_decoder;
    std::array<char, 16 * 1024> m_readBuffer{};
    bool m_reading = false;   // a read is in flight
    bool m_paused = false;    // reading stopped because the recorder is frozen
    std::deque<std::string> m_writeQueue;
    std::size_t m_queuedBytes = 0;
    bool m_writing = false;
    Clock::time_point m_lastReceived;
    Clock::time_point m_handshakeDeadline;
    std::string m_nonce;
    std::string m_user;
    std::string m_sessionToken;
};

}  // namespace velk::recorder
