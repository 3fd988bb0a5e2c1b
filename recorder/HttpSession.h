// SPDX-License-Identifier: GPL-3.0-or-later
// One HTTP connection: reads requests (bounded in size and time), answers
// each through handleHttpRequest, keeps the connection while the client
// asks to. Runs on the recorder's I/O thread.
#pragma once

#include "HttpRoutes.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <memory>
#include <optional>

namespace velk::recorder {

class Recorder;

class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(boost::asio::ip::tcp::socket socket, Recorder& recorder);
    void start();

private:
    void readRequest();
    void onRead(const boost::beast::error_code& error);
    void onWritten(const boost::beast::error_code& error, bool keepAlive);
    void close();

    boost::beast::tcp_stream m_stream;
    boost::beast::flat_buffer m_buffer;
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> m_parser;
    std::shared_ptr<HttpResponse> m_response;
    Recorder& m_recorder;
};

}  // namespace velk::recorder
