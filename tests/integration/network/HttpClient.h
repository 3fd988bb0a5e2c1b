// SPDX-License-Identifier: GPL-3.0-or-later
// A small blocking HTTP client (Boost.Beast) for the recorder's API.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include <json/value.h>

namespace nettest {

struct HttpReply {
    int status = 0;  // 0 when the request failed
    std::string contentType;
    std::string body;
    Json::Value json;  // the body parsed, when it is a JSON object
};

HttpReply httpRequest(std::uint16_t port, const std::string& method, const std::string& target,
                      const std::map<std::string, std::string>& headers = {}, const std::string& body = {});

// Sends text as it is (a whole request, for malformed ones) and reads one
// answer.
HttpReply httpRaw(std::uint16_t port, const std::string& text);

// Sends text as it is and returns every byte received until the server
// closes the connection (or 5 s pass).
std::string httpExchange(std::uint16_t port, const std::string& text);

inline HttpReply httpGet(std::uint16_t port, const std::string& target) { return httpRequest(port, "GET", target); }
inline HttpReply httpPost(std::uint16_t port, const std::string& target) { return httpRequest(port, "POST", target); }

}  // namespace nettest
