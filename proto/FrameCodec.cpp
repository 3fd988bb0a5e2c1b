// SPDX-License-Identifier: GPL-3.0-or-later
#include "proto/FrameCodec.h"

#include <cstring>

namespace velk::proto {

bool isKnownFrameType(std::uint8_t type)
{
    return type == static_cast<std::uint8_t>(FrameType::Json) ||
           type == static_cast<std::uint8_t>(FrameType::Heartbeat) ||
           type == static_cast<std::uint8_t>(FrameType::Media);
}

void putFrameHeader(char* out, FrameType type, std::uint32_t length)
{
    out[0] = kFrameMagic0;
    out[1] = kFrameMagic1;
    out[2] = static_cast<char>(type);
    out[3] = '\0';
    out[4] = static_cast<char>((length >> 24) & 0xFF);
    out[5] = static_cast<char>((length >> 16) & 0xFF);
    out[6] = static_cast<char>((length >> 8) & 0xFF);
    out[7] = static_cast<char>(length & 0xFF);
}

std::string encodeFrame(FrameType type, std::string_view payload)
{
    std::string out(kFrameHeaderBytes + payload.size(), '\0');
    putFrameHeader(out.data(), type, static_cast<std::uint32_t>(payload.size()));
    if (!payload.empty())
        std::memcpy(out.data() + kFrameHeaderBytes, payload.data(), payload.size());
    return out;
}

std::string encodeHeartbeat()
{
    return encodeFrame(FrameType::Heartbeat, {});
}

}  // namespace velk::proto
