// SPDX-License-Identifier: GPL-3.0-or-later
#include "HttpSession.h"

#include "Recorder.h"

#include <chrono>

namespace velk::recorder {

namespace beast = boost::beast;
namespace http = beast::http;

namespace {

constexpr std::chrono::seconds kIdleTimeout{30};
constexpr std::uint64_t kMaxBodyBytes = 64 * 1024;
constexpr std::uint32_t kMaxHeaderBytes = 16 * 1024;

}  // namespace

HttpSession::HttpSession(boost::asio::ip::tcp::socket socket, Recorder& recorder)
    : m_stream(std::move(socket)), m_recorder(recorder)
{
}

void HttpSession::start()
{
    readRequest();
}

void HttpSession::readRequest()
{
    m_parser.emplace();
    m_parser->body_limit(kMaxBodyBytes);
    m_parser->header_limit(kMaxHeaderBytes);
    m_stream.expires_after(kIdleTimeout);
    auto self = shared_from_this();
    http::async_read(m_stream, m_buffer, *m_parser,
                     [self](const beast::error_code& error, std::size_t) { self->onRead(error); });
}

void HttpSession::onRead(const beast::error_code& error)
{
    if (error == http::error::end_of_stream || error) {
        close();
        return;
    }
    const HttpRequest request = m_parser->release();
    m_response = std::make_shared<HttpResponse>(handleHttpRequest(m_recorder, request));
    const bool keepAlive = m_response->keep_alive();
    auto self = shared_from_this();
    http::async_write(m_stream, *m_response, [self, keepAlive](const beast::error_code& writeError, std::size_t) {
        self->onWritten(writeError, keepAlive);
    });
}

void HttpSession::onWritten(const beast::error_code& error, bool keepAlive)
{
    m_response.reset();
    if (error || !keepAlive) {
        close();
        return;
    }
    readRequest();
}

void HttpSession::close()
{
    beast::error_code ignored;
    m_stream.socket().shutdown(boost::asio::ip::tcp::socket::shutdown_send, ignored);
    m_stream.close();
}

}  // namespace velk::recorder
