// SPDX-License-Identifier: GPL-3.0-or-later
// The device-protocol listener and its client sessions, with the faults the
// simulator can inject: dropping every connection, and freezing (sessions
// stay open but nothing is read, answered or sent, as if the recorder hung).
// Runs on the recorder's one I/O thread.
#pragma once

#include "UserTable.h"

#include <boost/asio.hpp>

#include <cstdint>
#include <memory>
#include <set>

namespace velk::recorder {

class ClientSession;

struct DeviceServerSettings {
    std::uint32_t channels = 16;
    std::uint32_t heartbeatMs = 1000;
    std::uint32_t heartbeatTimeoutMs = 4000;
    std::uint32_t handshakeTimeoutMs = 10000;  // hello and login must be done within this
    std::size_t maxSessions = 256;             // connections beyond this are refused
    std::string name = "velk-recorder";
};

struct DeviceServerCounts {
    std::size_t connections = 0;  // open sessions
    std::size_t logins = 0;       // sessions logged in now
    std::uint64_t loginsTotal = 0;
    std::uint64_t loginFailures = 0;
    std::uint64_t logoutsTotal = 0;
    std::uint64_t droppedForSilence = 0;
};

class DeviceServer {
public:
    DeviceServer(boost::asio::io_context& io, DeviceServerSettings settings, UserTable users);
    ~DeviceServer();

    // Binds and starts accepting; false (and message) when it cannot listen.
    bool listen(const boost::asio::ip::address& address, std::uint16_t port, std::string& message);
    std::uint16_t port() const;
    void stop();

    void dropAll();
    void freeze();
    void resume();
    bool frozen() const { return m_frozen; }
    // Sends a device notification of this kind to every logged-in client;
    // returns how many got it (none while frozen).
    std::size_t notifyDevice(std::uint32_t kind);
    DeviceServerCounts counts() const;

    // For sessions.
    const DeviceServerSettings& settings() const { return m_settings; }
    const UserTable& users() const { return m_users; }
    void sessionEnded(const std::shared_ptr<ClientSession>& session);
    void countLogin(bool ok) { (ok ? m_counts.loginsTotal : m_counts.loginFailures)++; }
    void countLogout() { m_counts.logoutsTotal++; }
    void countSilenceDrop() { m_counts.droppedForSilence++; }

private:
    void accept();
    // Answers a connection beyond maxSessions with a refusing hello.
    void refuse(boost::asio::ip::tcp::socket socket);

    boost::asio::io_context& m_io;
    const DeviceServerSettings m_settings;
    const UserTable m_users;
    boost::asio::ip::tcp::acceptor m_acceptor;
    std::set<std::shared_ptr<ClientSession>> m_sessions;
    DeviceServerCounts m_counts;
    bool m_frozen = false;
    bool m_stopped = false;
};

}  // namespace velk::recorder
