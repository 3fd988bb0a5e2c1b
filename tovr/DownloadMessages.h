// SPDX-License-Identifier: GPL-3.0-or-later
// The JSON messages of a clip download on a media connection. After the
// hello (role "media") the client asks for one clip of one recording with
// the login's session token; the recorder answers with the clip's size,
// then sends its container frames unchanged as media frames, then
// downloadEnd (or downloadError and closes):
//   request       openDownload {session, file, start, end} -> {bytes, frames, channel}
//   notifications downloadEnd {}        every frame of the clip was sent
//                 downloadError {code}  the download failed; the connection closes
#pragma once

#include "proto/StreamMessages.h"

#include <json/value.h>

#include <cstdint>
#include <optional>
#include <string>

namespace velk::tovr {

using proto::kEventDownloadEnd;
using proto::kEventDownloadError;
using proto::kMethodOpenDownload;

struct DownloadOpenRequest {
    std::string session;  // the login's session token
    std::string file;     // the device file name, as the recorder's search gives it
    std::string start;    // YYYYMMDDhhmmss, the recorder's local time
    std::string end;      // YYYYMMDDhhmmss, not before start
};

// The answer to openDownload: what follows it.
struct DownloadInfo {
    std::uint64_t bytes = 0;   // the sum of the container frames' sizes
    std::uint64_t frames = 0;
    std::uint32_t channel = 0;  // 0-based
};

Json::Value toJson(const DownloadOpenRequest& request);

// nullopt when a member is missing or of the wrong kind.
std::optional<DownloadInfo> readDownloadInfo(const Json::Value& result);

}  // namespace velk::tovr
