// SPDX-License-Identifier: GPL-3.0-or-later
#include "proto/StreamMessages.h"

#include "proto/JsonText.h"

namespace velk::proto {

Json::Value toJson(const StreamOpenRequest& request)
{
    Json::Value v(Json::objectValue);
    v["session"] = request.session;
    v["channel"] = request.channel;
    v["streamType"] = request.streamType;
    return v;
}

Json::Value toJson(const StreamInfo& info)
{
    Json::Value v(Json::objectValue);
    v["channel"] = info.channel;
    v["streamType"] = info.streamType;
    v["width"] = info.width;
    v["height"] = info.height;
    v["frameRate"] = info.frameRate;
    v["codec"] = codecName(info.codec);
    return v;
}

const char* codecName(media::VideoCodec codec)
{
    return codec == media::VideoCodec::H265 ? "h265" : "h264";
}

Json::Value sourceLostParams(std::uint32_t channel, std::uint32_t streamType)
{
    Json::Value v(Json::objectValue);
    v["channel"] = channel;
    v["streamType"] = streamType;
    return v;
}

Json::Value streamTypeParams(std::uint32_t streamType)
{
    Json::Value v(Json::objectValue);
    v["streamType"] = streamType;
    return v;
}

Json::Value streamErrorParams(std::int32_t code)
{
    Json::Value v(Json::objectValue);
    v["code"] = code;
    return v;
}

std::optional<StreamOpenRequest> readStreamOpenRequest(const Json::Value& params)
{
    auto session = memberString(params, "session");
    const auto channel = memberUInt32(params, "channel");
    const auto streamType = memberUInt32(params, "streamType");
    if (!session || !channel || !streamType)
        return std::nullopt;
    return StreamOpenRequest{std::move(*session), *channel, *streamType};
}

std::optional<StreamInfo> readStreamInfo(const Json::Value& body)
{
    const auto channel = memberUInt32(body, "channel");
    const auto streamType = memberUInt32(body, "streamType");
    const auto width = memberUInt32(body, "width");
    const auto height = memberUInt32(body, "height");
    const auto frameRate = memberUInt32(body, "frameRate");
    if (!channel || !streamType || !width || !height || !frameRate)
        return std::nullopt;
    StreamInfo info{*channel, *streamType, *width, *height, *frameRate};
    if (body.isMember("codec")) {
        const Json::Value& codec = body["codec"];
        if (codec == "h265")
            info.codec = media::VideoCodec::H265;
        else if (codec != "h264")
            return std::nullopt;
    }
    return info;
}

std::optional<std::uint32_t> readStreamType(const Json::Value& params)
{
    return memberUInt32(params, "streamType");
}

std::optional<std::int32_t> readStreamError(const Json::Value& params)
{
    return memberInt32(params, "code");
}

}  // namespace velk::proto
