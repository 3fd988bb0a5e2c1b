// SPDX-License-Identifier: GPL-3.0-or-later
// The live stream commands: REALPLAY, REALPLAYSTOP, REALPLAYSWITCHSTREAM,
// REQUESTIFRAME, GETDECODER and STREAMSTATISTICS (the last two on playback
// handles too; the statistics are counters for tests and measurements):
// reading their parameters and running them.
#pragma once

#include "CommandOutputs.h"
#include "LiveStream.h"
#include "Runtime.h"

#include <json/value.h>

#include <cstdint>
#include <optional>

namespace velk::tovr {

struct RealPlayParams {
    std::uint32_t device = 0;  // HDEV
    StreamParams stream;
};

// nullopt when a member is missing, of the wrong JSON kind or out of range.
std::optional<RealPlayParams> readRealPlayParams(const Json::Value& param);

// Caller's thread.
std::int32_t runRealPlay(Runtime& runtime, const Json::Value& param, const CommandOutputs& out);
std::int32_t runRealPlayStop(Runtime& runtime, const Json::Value& param, const CommandOutputs& out);
std::int32_t runSwitchStream(Runtime& runtime, const Json::Value& param, const CommandOutputs& out);
std::int32_t runRequestKeyFrame(Runtime& runtime, const Json::Value& param, const CommandOutputs& out);
std::int32_t runGetDecoder(Runtime& runtime, const Json::Value& param, const CommandOutputs& out);
std::int32_t runStreamStatistics(Runtime& runtime, const Json::Value& param, const CommandOutputs& out);

}  // namespace velk::tovr
