// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's web server (Boost.Beast): accepts connections and serves
// each with an HttpSession. Runs on the recorder's I/O thread.
#pragma once

#include <boost/asio.hpp>

#include <cstdint>
#include <string>

namespace velk::recorder {

class Recorder;

class HttpServer {
public:
    HttpServer(boost::asio::io_context& io, Recorder& recorder);
    ~HttpServer();

    bool listen(const boost::asio::ip::address& address, std::uint16_t port, std::string& message);
    std::uint16_t port() const;
    void stop();

private:
    void accept();

    boost::asio::io_context& m_io;
    Recorder& m_recorder;
    boost::asio::ip::tcp::acceptor m_acceptor;
    bool m_stopped = false;
};

}  // namespace velk::recorder
