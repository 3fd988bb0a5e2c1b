// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceServer.h"

#include "ClientSession.h"

#include "proto/DetailCode.h"
#include "proto/FrameCodec.h"
#include "proto/Hello.h"

namespace velk::recorder {

namespace net = boost::asio;
using net::ip::tcp;

DeviceServer::DeviceServer(net::io_context& io, DeviceServerSettings settings, UserTable users)
    : m_io(io), m_settings(std::move(settings)), m_users(std::move(users)), m_acceptor(io)
{
}

DeviceServer::~DeviceServer()
{
    stop();
}

bool DeviceServer::listen(const net::ip::address& address, std::uint16_t port, std::string& message)
{
    boost::system::error_code error;
    const tcp::endpoint endpoint(address, port);
    m_acceptor.open(endpoint.protocol(), error);
    if (!error)
        m_acceptor.set_option(net::socket_base::reuse_address(true), error);
    if (!error)
        m_acceptor.bind(endpoint, error);
    if (!error)
        m_acceptor.listen(net::socket_base::max_listen_connections, error);
    if (error) {
        message = "device port " + std::to_string(port) + ": " + error.message();
        return false;
    }
    accept();
    return true;
}

std::uint16_t DeviceServer::port() const
{
    boost::system::error_code error;
    const auto endpoint = m_acceptor.local_endpoint(error);
    return error ? 0 : endpoint.port();
}

void DeviceServer::accept()
{
    m_acceptor.async_accept([this](const boost::system::error_code& error, tcp::socket socket) {
        if (m_stopped)
            return;
        if (!error) {
            if (m_sessions.size() >= m_settings.maxSessions) {
                refuse(std::move(socket));
            } else {
                auto session = std::make_shared<ClientSession>(std::move(socket), *this);
                m_sessions.insert(session);
                session->start();
            }
        }
        if (m_acceptor.is_open())
            accept();
    });
}

void DeviceServer::refuse(tcp::socket socket)
{
    // Tell the client why, without reading anything from it, then close.
    proto::ServerHello hello;
    hello.code = proto::kDetailTooManyClients;
    hello.software = m_settings.name + "/1.0.0";
    auto frame = std::make_shared<std::string>(
        proto::encodeFrame(proto::FrameType::Json, proto::encodeMessage(proto::makeHello(hello))));
    auto client = std::make_shared<tcp::socket>(std::move(socket));
    net::async_write(*client, net::buffer(*frame), [client, frame](const boost::system::error_code&, std::size_t) {
        boost::system::error_code ignored;
        client->shutdown(tcp::socket::shutdown_both, ignored);
        client->close(ignored);
    });
}

void DeviceServer::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    boost::system::error_code ignored;
    m_acceptor.close(ignored);
    dropAll();
}

void DeviceServer::dropAll()
{
    const auto sessions = m_sessions;  // close() removes sessions from the set
    for (const auto& session : sessions)
        session->close();
    m_sessions.clear();
}

void DeviceServer::freeze()
{
    m_frozen = true;
}

void DeviceServer::resume()
{
    if (!m_frozen)
        return;
    m_frozen = false;
    const auto sessions = m_sessions;
    for (const auto& session : sessions)
        session->resume();
}

std::size_t DeviceServer::notifyDevice(std::uint32_t kind)
{
    if (m_frozen)
        return 0;
    std::size_t sent = 0;
    for (const auto& session : m_sessions) {
        if (session->loggedIn()) {
            session->sendDeviceNotification(kind);
            ++sent;
        }
    }
    return sent;
}

DeviceServerCounts DeviceServer::counts() const
{
    DeviceServerCounts counts = m_counts;
    counts.connections = m_sessions.size();
    counts.logins = 0;
    for (const auto& session : m_sessions)
        counts.logins += session->loggedIn() ? 1 : 0;
    return counts;
}

void DeviceServer::sessionEnded(const std::shared_ptr<ClientSession>& session)
{
    m_sessions.erase(session);
}

}  // namespace velk::recorder
