// SPDX-License-Identifier: GPL-3.0-or-later
// Writing frames: header plus payload, ready to send.
#pragma once

#include "proto/Frame.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace velk::proto {

// Writes a frame's 8-byte header at out (room for kFrameHeaderBytes), for a
// payload of length bytes: lets a sender build many frames straight into
// one buffer, the header first and its length filled in once known.
void putFrameHeader(char* out, FrameType type, std::uint32_t length);

// The wire bytes of one frame. The payload must be shorter than 4 GiB;
// callers keep it within the receiving side's frame limit.
std::string encodeFrame(FrameType type, std::string_view payload);

// A heartbeat frame (header only).
std::string encodeHeartbeat();

}  // namespace velk::proto
