// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlaybackMessages.h"

#include <algorithm>

namespace velk::recorder {

namespace {

std::optional<LocalDateTime> timeMember(const Json::Value& params, const char* name)
{
    if (!params.isObject() || !params[name].isString())
        return std::nullopt;
    return parseCompactTime(params[name].asString());
}

}  // namespace

std::optional<PlaybackOpenRequest> readPlaybackOpen(const Json::Value& params)
{
    if (!params.isObject() || !params["session"].isString() || !params["channels"].isArray())
        return std::nullopt;
    PlaybackOpenRequest request;
    request.session = params["session"].asString();
    const Json::Value& channels = params["channels"];
    if (channels.empty() || channels.size() > kMaxPlaybackChannels)
        return std::nullopt;
    for (const Json::Value& channel : channels) {
        if (!channel.isIntegral() || !channel.isUInt())
            return std::nullopt;
        request.channels.push_back(channel.asUInt());
    }
    std::sort(request.channels.begin(), request.channels.end());
    if (std::adjacent_find(request.channels.begin(), request.channels.end()) != request.channels.end())
        return std::nullopt;
    if (params.isMember("fileType")) {
        const Json::Value& type = params["fileType"];
        if (!type.isIntegral() || !type.isUInt() || type.asUInt() > 2)
            return std::nullopt;
        request.filter = static_cast<RecordTypeFilter>(type.asUInt());
    }
    const auto start = timeMember(params, "start");
    if (!start)
        return std::nullopt;
    request.start = *start;
    return request;
}

std::optional<LocalDateTime> readSeekStart(const Json::Value& params)
{
    return timeMember(params, "start");
}

std::optional<bool> readKeyFramesOnly(const Json::Value& params)
{
    if (!params.isObject() || !params["on"].isBool())
        return std::nullopt;
    return params["on"].asBool();
}

}  // namespace velk::recorder
