// SPDX-License-Identifier: GPL-3.0-or-later
#include "HttpClient.h"

#include "proto/JsonText.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <chrono>

namespace nettest {

namespace beast = boost::beast;
namespace http = beast::http;

HttpReply httpRequest(std::uint16_t port, const std::string& method, const std::string& target,
                      const std::map<std::string, std::string>& headers, const std::string& body)
{
    HttpReply reply;
    try {
        boost::asio::io_context io;
        beast::tcp_stream stream(io);
        stream.expires_after(std::chrono::seconds(5));
        stream.connect(boost::asio::ip::tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), port));
        http::request<http::string_body> request(http::string_to_verb(method), target, 11);
        request.set(http::field::host, "127.0.0.1:" + std::to_string(port));
        for (const auto& [name, value] : headers)
            request.set(name, value);
        request.body() = body;
        request.prepare_payload();
        http::write(stream, request);
        beast::flat_buffer buffer;
        http::response_parser<http::string_body> parser;
        parser.skip(request.method() == http::verb::head);  // the answer to HEAD has no body
        http::read(stream, buffer, parser);
        const auto& response = parser.get();
        reply.status = static_cast<int>(response.result_int());
        reply.contentType = std::string(response[http::field::content_type]);
        reply.body = response.body();
        velk::proto::parseJsonObject(reply.body, reply.json);
        beast::error_code ignored;
        stream.socket().shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
    } catch (const std::exception&) {
        reply.status = 0;
    }
    return reply;
}

HttpReply httpRaw(std::uint16_t port, const std::string& text)
{
    HttpReply reply;
    try {
        boost::asio::io_context io;
        beast::tcp_stream stream(io);
        stream.expires_after(std::chrono::seconds(5));
        stream.connect(boost::asio::ip::tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), port));
        boost::asio::write(stream.socket(), boost::asio::buffer(text));
        beast::flat_buffer buffer;
        http::response<http::string_body> response;
        http::read(stream, buffer, response);
        reply.status = static_cast<int>(response.result_int());
        reply.contentType = std::string(response[http::field::content_type]);
        reply.body = response.body();
        velk::proto::parseJsonObject(reply.body, reply.json);
    } catch (const std::exception&) {
        reply.status = 0;
    }
    return reply;
}

std::string httpExchange(std::uint16_t port, const std::string& text)
{
    std::string received;
    try {
        boost::asio::io_context io;
        beast::tcp_stream stream(io);
        stream.expires_after(std::chrono::seconds(5));
        stream.connect(boost::asio::ip::tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), port));
        boost::asio::write(stream.socket(), boost::asio::buffer(text));
        char chunk[4096];
        for (;;) {
            beast::error_code error;
            const std::size_t n = stream.socket().read_some(boost::asio::buffer(chunk), error);
            received.append(chunk, n);
            if (error)
                break;
        }
    } catch (const std::exception&) {
    }
    return received;
}

}  // namespace nettest
