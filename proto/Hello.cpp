// SPDX-License-Identifier: GPL-3.0-or-later
#include "proto/Hello.h"

#include "proto/JsonText.h"

#include <algorithm>

namespace velk::proto {

namespace {

Message helloMessage(Json::Value body)
{
    Message m;
    m.kind = MessageKind::Hello;
    body["protocol"] = kProtocolName;
    m.body = std::move(body);
    return m;
}

bool isOurHello(const Message& message)
{
    return message.kind == MessageKind::Hello && memberString(message.body, "protocol") == kProtocolName;
}

}  // namespace

Message makeHello(const ClientHello& hello)
{
    Json::Value body(Json::objectValue);
    body["version"] = hello.version;
    body["role"] = hello.role;
    body["software"] = hello.software;
    return helloMessage(std::move(body));
}

Message makeHello(const ServerHello& hello)
{
    Json::Value body(Json::objectValue);
    body["version"] = hello.version;
    body["code"] = hello.code;
    if (hello.code == 0) {
        body["nonce"] = hello.nonce;
        body["heartbeatMs"] = hello.heartbeatMs;
    }
    body["software"] = hello.software;
    return helloMessage(std::move(body));
}

std::optional<ClientHello> readClientHello(const Message& message)
{
    if (!isOurHello(message))
        return std::nullopt;
    const auto version = memberUInt32(message.body, "version");
    const auto role = memberString(message.body, "role");
    if (!version || !role)
        return std::nullopt;
    ClientHello hello;
    hello.version = *version;
    hello.role = *role;
    hello.software = memberString(message.body, "software").value_or("");
    return hello;
}

std::optional<ServerHello> readServerHello(const Message& message)
{
    if (!isOurHello(message))
        return std::nullopt;
    const auto version = memberUInt32(message.body, "version");
    const auto code = memberInt32(message.body, "code");
    if (!version || !code)
        return std::nullopt;
    ServerHello hello;
    hello.version = *version;
    hello.code = *code;
    hello.software = memberString(message.body, "software").value_or("");
    if (hello.code == 0) {
        const auto nonce = memberString(message.body, "nonce");
        const auto heartbeatMs = memberUInt32(message.body, "heartbeatMs");
        if (!nonce || nonce->empty() || !heartbeatMs)
            return std::nullopt;
        hello.nonce = *nonce;
        hello.heartbeatMs = *heartbeatMs;
    }
    return hello;
}

std::uint32_t negotiateVersion(std::uint32_t peerVersion)
{
    if (peerVersion < kOldestProtocolVersion)
        return 0;
    return std::min(peerVersion, kProtocolVersion);
}

}  // namespace velk::proto
