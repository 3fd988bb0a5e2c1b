// SPDX-License-Identifier: GPL-3.0-or-later
// The download commands: DOWNLOADVIDEO, GETPROGRESS and STOPCOMMAND:
// reading their parameters and running them.
#pragma once

#include "CommandOutputs.h"
#include "Download.h"
#include "Runtime.h"

#include <json/value.h>

#include <cstdint>
#include <optional>
#include <string>

namespace velk::tovr {

// Text limits of DOWNLOADVIDEO (bytes).
constexpr std::size_t kMaxDeviceFileNameBytes = 512;
constexpr std::size_t kMaxSaveFileNameBytes = 4095;

struct DownloadVideoParams {
    std::uint32_t device = 0;  // HDEV
    DownloadParams download;
};

// nullopt when a member is missing, of the wrong JSON kind or out of range:
// DEVFILENAME empty or over 512 bytes, SAVEFILENAME not absolute or over
// 4095 bytes, a text holding a zero byte, STARTTIME or ENDTIME not a real
// date-time of 14 digits, ENDTIME before STARTTIME.
std::optional<DownloadVideoParams> readDownloadVideoParams(const Json::Value& param);

// {"RESPONSE":{"ERROR":e,"GETSIZE":n,"STATE":s,"TOTALSIZE":t}}, compact.
std::string progressText(const DownloadProgress& progress);

// Caller's thread.
std::int32_t runDownloadVideo(Runtime& runtime, const Json::Value& param, const CommandOutputs& out);
std::int32_t runGetProgress(Runtime& runtime, const Json::Value& param, const CommandOutputs& out);
std::int32_t runStopCommand(Runtime& runtime, const Json::Value& param, const CommandOutputs& out);

}  // namespace velk::tovr
