// SPDX-License-Identifier: GPL-3.0-or-later
// One message on a device-protocol connection: an 8-byte header, then the
// payload. Header: the magic bytes 'V' 'K', the frame type, a reserved byte
// (0), the payload length as a 32-bit big-endian number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velk::proto {

enum class FrameType : std::uint8_t {
    Json = 1,       // a JSON message: hello, request, response or notification
    Heartbeat = 2,  // empty payload; sent by both sides while idle
    Media = 3,      // recorder frame container bytes on a media connection
};

inline constexpr std::size_t kFrameHeaderBytes = 8;
inline constexpr char kFrameMagic0 = 'V';
inline constexpr char kFrameMagic1 = 'K';

// Largest payload accepted on a control connection (JSON and heartbeats).
inline constexpr std::uint32_t kControlFrameLimitBytes = 64 * 1024;
// Largest payload accepted on a media connection: one frame of the
// recorder's container (MediaFrame.h), whose 12-byte header carries a
// 24-bit body length.
inline constexpr std::uint32_t kMediaFrameLimitBytes = 12 + 0xFFFFFF;

struct Frame {
    FrameType type = FrameType::Json;
    std::string payload;
};

bool isKnownFrameType(std::uint8_t type);

}  // namespace velk::proto
