// SPDX-License-Identifier: GPL-3.0-or-later
// The login request and its result, as both sides read and write them.
//   request params: {"user":U,"clientNonce":hex,"proof":hex,"clientId":N,"devType":N}
//   result:         {"session":hex,"channels":N,"name":text}
// The session token lets later media connections of the same login attach.
#pragma once

#include "proto/Message.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velk::proto {

struct LoginRequest {
    std::string user;
    std::string clientNonce;
    std::string proof;
    std::uint32_t clientId = 0;
    std::int32_t devType = 0;
};

struct LoginResult {
    std::string session;
    std::uint32_t channels = 0;
    std::string name;
};

Json::Value toJson(const LoginRequest& request);
Json::Value toJson(const LoginResult& result);
std::optional<LoginRequest> readLoginRequest(const Json::Value& params);
std::optional<LoginResult> readLoginResult(const Json::Value& result);

}  // namespace velk::proto
