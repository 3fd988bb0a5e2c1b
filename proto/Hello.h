// SPDX-License-Identifier: GPL-3.0-or-later
// The version handshake that opens every connection. The client speaks
// first with the highest protocol version it knows and its role; the
// recorder answers with the version both will use, a fresh login nonce and
// its heartbeat interval, or with a nonzero code and closes.
#pragma once

#include "proto/Message.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velk::proto {

inline constexpr const char* kProtocolName = "VELK-DVR";
inline constexpr std::uint32_t kProtocolVersion = 1;        // the newest version spoken here
inline constexpr std::uint32_t kOldestProtocolVersion = 1;  // the oldest still accepted

inline constexpr const char* kRoleControl = "control";  // one per login
inline constexpr const char* kRoleMedia = "media";      // one per open stream

struct ClientHello {
    std::uint32_t version = kProtocolVersion;
    std::string role = kRoleControl;
    std::string software;
};

struct ServerHello {
    std::uint32_t version = kProtocolVersion;
    std::int32_t code = 0;          // 0, or a detail code when the recorder refuses
    std::string nonce;              // hex; the login proof is made over it
    std::uint32_t heartbeatMs = 0;  // how often the recorder sends heartbeats
    std::string software;
};

Message makeHello(const ClientHello& hello);
Message makeHello(const ServerHello& hello);

// nullopt when the message is not a hello of this protocol.
std::optional<ClientHello> readClientHello(const Message& message);
std::optional<ServerHello> readServerHello(const Message& message);

// The version to use with a peer whose newest version is peerVersion, or 0
// when there is none in common.
std::uint32_t negotiateVersion(std::uint32_t peerVersion);

}  // namespace velk::proto
