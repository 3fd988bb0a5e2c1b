// SPDX-License-Identifier: GPL-3.0-or-later
#include "HttpServer.h"

#include "HttpSession.h"
#include "Listener.h"

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
    if (!openListener(m_acceptor, address, port, "http", message))
        return false;
    accept();
    return true;
}

std::uint16_t HttpServer::port() const
{
    return listeningPort(m_acceptor);
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
