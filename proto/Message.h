// SPDX-License-Identifier: GPL-3.0-or-later
// The JSON messages of a control connection. On the wire (a Json frame):
//   hello:        {"type":"hello", ...}                       (see Hello.h)
//   request:      {"type":"request","id":N,"method":M,"params":{...}}
//   response:     {"type":"response","id":N,"method":M,"code":C,"result":{...}}
//   notification: {"type":"notify","event":E,"params":{...}}
// A response carries the id of its request; code 0 is success, any other
// code is a detail code (DetailCode.h).
#pragma once

#include <json/value.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velk::proto {

enum class MessageKind { Hello, Request, Response, Notify };

struct Message {
    MessageKind kind = MessageKind::Request;
    std::uint32_t id = 0;   // request and response
    std::string name;       // method of a request/response, event of a notification
    std::int32_t code = 0;  // response only
    Json::Value body;       // params, result, or the hello's members

    static Message request(std::uint32_t id, std::string method, Json::Value params = Json::objectValue);
    static Message response(std::uint32_t id, std::string method, std::int32_t code,
                            Json::Value result = Json::objectValue);
    static Message notify(std::string event, Json::Value params = Json::objectValue);
};

// The payload text of a Json frame.
std::string encodeMessage(const Message& message);

// Parses a Json frame's payload; nullopt when it is not a well-formed message.
std::optional<Message> decodeMessage(std::string_view payload);

// Method and event names used on control connections.
inline constexpr const char* kMethodLogin = "login";
inline constexpr const char* kMethodLogout = "logout";
inline constexpr const char* kEventDevice = "device";
// {"channel":C,"kind":"motion"|"input","active":true|false}: an alarm began or ended.
inline constexpr const char* kEventAlarm = "alarm";

}  // namespace velk::proto
