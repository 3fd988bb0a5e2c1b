// SPDX-License-Identifier: GPL-3.0-or-later
#include "proto/FrameCodec.h"

namespace velk::proto {

bool isKnownFrameType(std::uint8_t type)
{
    return type == static_cast<std::uint8_t>(FrameType::Json) ||
           type == static_cast<std::uint8_t>(FrameType::Heartbeat) ||
           type == static_cast<std::uint8_t>(FrameType::Media);
}

std::string encodeFrame(FrameType type, std::string_view payload)
{
    const auto length = static_cast<std::uint32_t>(payload.size());
    std::string out;
    out.reserve(kFrameHeaderBytes + payload.size());
    out.push_back(kFrameMagic0);
    out.push_back(kFrameMagic1);
    out.push_back(static_cast<char>(type));
    out.push_back('\0');
    out.push_back(static_cast<char>((length >> 24) & 0xFF));
    out.push_back(static_cast<char>((length >> 16) & 0xFF));
    out.push_back(static_cast<char>((length >> 8) & 0xFF));
    out.push_back(static_cast<char>(length & 0xFF));
    out.append(payload);
    return out;
}

std::string encodeHeartbeat()
{
    return encodeFrame(FrameType::Heartbeat, {});
}

}  // namespace velk::proto
