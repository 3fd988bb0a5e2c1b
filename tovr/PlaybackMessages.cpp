// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlaybackMessages.h"

#include "proto/JsonText.h"

namespace velk::tovr {

Json::Value toJson(const PlaybackOpenRequest& request)
{
    Json::Value params(Json::objectValue);
    params["session"] = request.session;
    Json::Value& channels = params["channels"] = Json::Value(Json::arrayValue);
    for (const std::uint32_t channel : request.channels)
        channels.append(channel);
    params["fileType"] = request.fileType;
    params["start"] = request.start;
    return params;
}

Json::Value seekParams(const std::string& start)
{
    Json::Value params(Json::objectValue);
    params["start"] = start;
    return params;
}

Json::Value keyFramesOnlyParams(bool on)
{
    Json::Value params(Json::objectValue);
    params["on"] = on;
    return params;
}

std::optional<PlaybackInfo> readPlaybackInfo(const Json::Value& result)
{
    if (!result.isObject())
        return std::nullopt;
    const auto startMs = proto::memberUInt64(result, "startMs");
    const auto utcOffsetS = proto::memberInt32(result, "utcOffsetS");
    if (!startMs || !utcOffsetS)
        return std::nullopt;
    return PlaybackInfo{*startMs, *utcOffsetS};
}

std::optional<std::uint32_t> readSeekedId(const Json::Value& params)
{
    if (!params.isObject())
        return std::nullopt;
    return proto::memberUInt32(params, "id");
}

}  // namespace velk::tovr
