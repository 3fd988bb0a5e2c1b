// SPDX-License-Identifier: GPL-3.0-or-later
#include "HttpServer.h"

#include "HttpSession.h"

namespace velk::recorder {

namespace net = boost::asio;
using net::ip::tcp;

HttpServer::HttpServer(net::io_context& io, Recorder& recorder) : m_io(io), m_recorder(recorder), m_acceptor(io) {}

HttpServer::~HttpServer()
{
    stop();
}

bool HttpServer::listen(const net::ip::address& address, std::uint16_t port, std::string& message)
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
        message = "http port " + std::to_string(port) + ": " + error.message();
        return false;
    }
    accept();
    return true;
}

std::uint16_t HttpServer::port() const
{
    boost::system::error_code error;
    const auto endpoint = m_acceptor.local_endpoint(error);
    return error ? 0 : endpoint.port();
}

void HttpServer::stop()
{
    m_stopped = true;
    boost::system::error_code ignored;
    m_acceptor.close(ignored);
}

void HttpServer::accept()
{
    m_acceptor.async_accept([this](const boost::system::error_code& error, tcp::socket socket) {
        if (m_stopped)
            return;
        if (!error)
            std::make_shared<HttpSession>(std::move(socket), m_recorder)->start();
        if (m_acceptor.is_open())
            accept();
    });
}

}  // namespace velk::recorder
