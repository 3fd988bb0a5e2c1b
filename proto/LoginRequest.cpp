// SPDX-License-Identifier: GPL-3.0-or-later
#include "proto/LoginRequest.h"

#include "proto/JsonText.h"

namespace velk::proto {

Json::Value toJson(const LoginRequest& request)
{
    Json::Value v(Json::objectValue);
    v["user"] = request.user;
    v["clientNonce"] = request.clientNonce;
    v["proof"] = request.proof;
    v["clientId"] = request.clientId;
    v["devType"] = request.devType;
    return v;
}

Json::Value toJson(const LoginResult& result)
{
    Json::Value v(Json::objectValue);
    v["session"] = result.session;
    v["channels"] = result.channels;
    v["name"] = result.name;
    return v;
}

std::optional<LoginRequest> readLoginRequest(const Json::Value& params)
{
    auto user = memberString(params, "user");
    auto clientNonce = memberString(params, "clientNonce");
    auto proof = memberString(params, "proof");
    if (!user || !clientNonce || !proof || clientNonce->empty() || proof->empty())
        return std::nullopt;
    LoginRequest r;
    r.user = std::move(*user);
    r.clientNonce = std::move(*clientNonce);
    r.proof = std::move(*proof);
    r.clientId = memberUInt32(params, "clientId").value_or(0);
    r.devType = memberInt32(params, "devType").value_or(0);
    return r;
}

std::optional<LoginResult> readLoginResult(const Json::Value& result)
{
    auto session = memberString(result, "session");
    const auto channels = memberUInt32(result, "channels");
    if (!session || !channels)
        return std::nullopt;
    LoginResult r;
    r.session = std::move(*session);
    r.channels = *channels;
    r.name = memberString(result, "name").value_or("");
    return r;
}

}  // namespace velk::proto
