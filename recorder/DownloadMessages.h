// SPDX-License-Identifier: GPL-3.0-or-later
// The request of a clip download on a media connection:
//   openDownload {session, file, start, end} -> {bytes, frames, channel}
// then the clip's container frames, then `downloadEnd` {} (or
// `downloadError` {code} and the connection closes). file is a device file
// name as the search API gives it; start and end are 14-digit local device
// times "YYYYMMDDhhmmss" (DeviceTime.h), end not before start.
#pragma once

#include "DeviceTime.h"

#include <json/value.h>

#include <optional>
#include <string>

namespace velk::recorder {

struct DownloadOpenRequest {
    std::string session;
    std::string file;
    LocalDateTime start;
    LocalDateTime end;
};

// nullopt when malformed: session or file not a text (or file empty),
// start or end not a real 14-digit time, end before start.
std::optional<DownloadOpenRequest> readDownloadOpen(const Json::Value& params);

}  // namespace velk::recorder
