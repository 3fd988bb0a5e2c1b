// SPDX-License-Identifier: GPL-3.0-or-later
#include "DownloadMessages.h"

#include "proto/JsonText.h"

namespace velk::tovr {

Json::Value toJson(const DownloadOpenRequest& request)
{
    Json::Value params(Json::objectValue);
    params["session"] = request.session;
    params["file"] = request.file;
    params["start"] = request.start;
    params["end"] = request.end;
    return params;
}

std::optional<DownloadInfo> readDownloadInfo(const Json::Value& result)
{
    if (!result.isObject())
        return std::nullopt;
    const auto bytes = proto::memberUInt64(result, "bytes");
    const auto frames = proto::memberUInt64(result, "frames");
    const auto channel = proto::memberUInt32(result, "channel");
    if (!bytes || !frames || !channel)
        return std::nullopt;
    return DownloadInfo{*bytes, *frames, *channel};
}

}  // namespace velk::tovr
