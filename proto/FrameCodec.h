// SPDX-License-Identifier: GPL-3.0-or-later
// Writing frames: header plus payload, ready to send.
#pragma once

#include "proto/Frame.h"

#include <string>
#include <string_view>

namespace velk::proto {

// The wire bytes of one frame. The payload must be shorter than 4 GiB;
// callers keep it within the receiving side's frame limit.
std::string encodeFrame(FrameType type, std::string_view payload);

// A heartbeat frame (header only).
std::string encodeHeartbeat();

}  // namespace velk::proto
