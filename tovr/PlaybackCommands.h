// SPDX-License-Identifier: GPL-3.0-or-later
// The playback commands: REMOTEPLAY, REMOTEPLAYSEEK, REMOTEPLAYLOSE and
// REMOTEPLAYSTOP: reading their parameters and running them.
#pragma once

#include "CommandOutputs.h"
#include "PlaybackStream.h"
#include "Runtime.h"

#include <json/value.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace velk::tovr {

struct RemotePlayParams {
    std::uint32_t device = 0;           // HDEV
    std::vector<std::uint32_t> windows;  // HWND, one per selected channel
    PlaybackParams playback;
};

// nullopt when a member is missing, of the wrong JSON kind or out of range:
// CHANNEL 0, FILETYPE above 2, an HWND count other than the number of
// channels (or above the decoder's 16 sub-pictures), a STARTTIME that is
// not a real date-time of 14 digits.
std::optional<RemotePlayParams> readRemotePlayParams(const Json::Value& param);

// Caller's thread.
std::int32_t runRemotePlay(Runtime& runtime, const Json::Value& param, const CommandOutputs& out);
std::int32_t runRemotePlaySeek(Runtime& runtime, const Json::Value& param, const CommandOutputs& out);
std::int32_t runRemotePlayLose(Runtime& runtime, const Json::Value& param, const CommandOutputs& out);
std::int32_t runRemotePlayStop(Runtime& runtime, const Json::Value& param, const CommandOutputs& out);

}  // namespace velk::tovr
