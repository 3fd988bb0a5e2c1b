// SPDX-License-Identifier: GPL-3.0-or-later
#include "LiveCommands.h"

#include "DeviceConnection.h"
#include "PlaybackStream.h"

#include "MIVUStream.h"
#include "TOVR.h"

#include "proto/JsonText.h"
#include "proto/StreamMessages.h"

#include <cstring>

namespace velk::tovr {

namespace {

// The container frame carries the channel in one byte.
constexpr std::int32_t kMaxChannel = 255;

std::optional<std::uint32_t> readStreamTypeParam(const Json::Value& param)
{
    const auto streamType = proto::memberUInt32(param, "STREAMTYPE");
    if (!streamType || *streamType >= proto::kStreamTypeCount)
        return std::nullopt;
    return streamType;
}

}  // namespace

std::optional<RealPlayParams> readRealPlayParams(const Json::Value& param)
{
    const auto device = proto::memberUInt32(param, "HDEV");
    const auto channel = proto::memberInt32(param, "CHANNEL");
    const auto streamType = proto::memberInt32(param, "STREAMTYPE");
    const auto callback = proto::memberUInt64(param, "CALLBACK");
    const auto userData = proto::memberUInt64(param, "USERDATA");
    const auto window = proto::memberUInt32(param, "HWND");
    if (!device || !channel || !streamType || !callback || !userData || !window)
        return std::nullopt;
    if (*channel < 0 || *channel > kMaxChannel || *streamType < 0 ||
        *streamType >= static_cast<std::int32_t>(proto::kStreamTypeCount))
        return std::nullopt;
    if (*callback > UINTPTR_MAX || *userData > UINTPTR_MAX)
        return std::nullopt;
    RealPlayParams p;
    p.device = *device;
    p.stream.channel = static_cast<std::uint32_t>(*channel);
    p.stream.streamType = static_cast<std::uint32_t>(*streamType);
    p.stream.callback = reinterpret_cast<TOVR_StreamCallback>(static_cast<std::uintptr_t>(*callback));  // NOLINT
    p.stream.userData = reinterpret_cast<void*>(static_cast<std::uintptr_t>(*userData));               // NOLINT
    p.stream.window = *window;
    return p;
}

std::int32_t runRealPlay(Runtime& runtime, const Json::Value& param, const CommandOutputs& out)
{
    const auto params = readRealPlayParams(param);
    // Without a handle output the stream could never be stopped.
    if (!params || !out.handle)
        return TOVR_ERR_REFUSED;
    const auto device = runtime.handles().find<DeviceConnection>(params->device);
    if (!device)
        return TOVR_ERR_REFUSED;

    std::uint32_t decoder = 0;
    if (params->stream.window != 0) {
        const std::uint32_t window = params->stream.window;
        if (MIVU_OpenStream(&window, 1, MIVU_MODE_LIVE, &decoder) != MIVU_OK || decoder == 0)
            return TOVR_ERR_REFUSED;
    }
    auto stream = std::make_shared<LiveStream>(runtime.io(), runtime.config(), runtime.nextStreamCallbacks(), device,
                                               params->stream, decoder);
    const std::uint32_t handle = runtime.handles().reserve(stream);
    if (handle == 0) {
        stream->shutdown();
        return TOVR_ERR_BROKEN;  // the library is being stopped
    }
    const CommandOutcome outcome = stream->open();
    if (outcome.result != TOVR_OK) {
        runtime.handles().remove(handle);
        stream->shutdown();
        if (outcome.result == TOVR_ERR_DEVICE && out.detail)
            *out.detail = outcome.detail;
        return outcome.result;
    }
    runtime.handles().commit(handle);
    *out.handle = handle;
    stream->releaseCallbacks();
    return TOVR_OK;
}

std::int32_t runRealPlayStop(Runtime& runtime, const Json::Value& param, const CommandOutputs&)
{
    const auto handle = proto::memberUInt32(param, "HPLAY");
    if (!handle)
        return TOVR_ERR_REFUSED;
    const auto stream = runtime.handles().take<LiveStream>(*handle);
    if (!stream)
        return TOVR_ERR_REFUSED;
    stream->shutdown();
    return TOVR_OK;
}

std::int32_t runSwitchStream(Runtime& runtime, const Json::Value& param, const CommandOutputs& out)
{
    const auto handle = proto::memberUInt32(param, "HPLAY");
    const auto streamType = readStreamTypeParam(param);
    if (!handle || !streamType)
        return TOVR_ERR_REFUSED;
    const auto stream = runtime.handles().find<LiveStream>(*handle);
    if (!stream)
        return TOVR_ERR_REFUSED;
    const CommandOutcome outcome = stream->switchStreamType(*streamType);
    if (outcome.result == TOVR_ERR_DEVICE && out.detail)
        *out.detail = outcome.detail;
    return outcome.result;
}

std::int32_t runRequestKeyFrame(Runtime& runtime, const Json::Value& param, const CommandOutputs&)
{
    // HPLAY names the device here, CHANNEL is a bit mask of channels.
    const auto handle = proto::memberUInt32(param, "HPLAY");
    const auto streamType = proto::memberUInt32(param, "STREAMTYPE");
    const auto channelMask = proto::memberUInt32(param, "CHANNEL");
    if (!handle || !streamType || !channelMask)
        return TOVR_ERR_REFUSED;
    const auto device = runtime.handles().find<DeviceConnection>(*handle);
    if (!device)
        return TOVR_ERR_REFUSED;
    asio::post(runtime.io(), [device, mask = *channelMask, type = *streamType] { device->requestKeyFrames(mask, type); });
    return TOVR_OK;
}

std::int32_t runGetDecoder(Runtime& runtime, const Json::Value& param, const CommandOutputs& out)
{
    const auto handle = proto::memberUInt32(param, "HPLAY");
    if (!handle || !out.handle)
        return TOVR_ERR_REFUSED;
    if (const auto stream = runtime.handles().find<LiveStream>(*handle)) {
        *out.handle = stream->decoder();
        return TOVR_OK;
    }
    if (const auto playback = runtime.handles().find<PlaybackStream>(*handle)) {
        *out.handle = playback->decoder();
        return TOVR_OK;
    }
    return TOVR_ERR_REFUSED;
}

std::int32_t runStreamStatistics(Runtime& runtime, const Json::Value& param, const CommandOutputs& out)
{
    const auto handle = proto::memberUInt32(param, "HPLAY");
    if (!handle)
        return TOVR_ERR_REFUSED;
    const auto stream = runtime.handles().find<LiveStream>(*handle);
    const auto playback = stream ? nullptr : runtime.handles().find<PlaybackStream>(*handle);
    if (!stream && !playback)
        return TOVR_ERR_REFUSED;
    const StreamStatistics s = stream ? stream->statistics() : playback->statistics();
    Json::Value root(Json::objectValue);
    Json::Value& r = root["RESPONSE"];
    r["FRAMES"] = Json::UInt64(s.frames);
    r["KEYFRAMES"] = Json::UInt64(s.keyFrames);
    r["AUDIOFRAMES"] = Json::UInt64(s.audioFrames);
    r["BYTES"] = Json::UInt64(s.bytes);
    r["MALFORMED"] = Json::UInt64(s.malformed);
    r["RECONNECTS"] = Json::UInt64(s.reconnects);
    r["SOURCELOSSES"] = Json::UInt64(s.sourceLosses);
    r["CALLBACKSDROPPED"] = Json::UInt64(s.callbacksDropped);
    r["DECODERREFUSED"] = Json::UInt64(s.decoderRefused);
    r["STREAMTYPE"] = stream ? stream->streamType() : 0u;
    const std::string text = proto::writeJson(root);
    if (!out.response || out.responseSize <= text.size())
        return TOVR_ERR_REFUSED;
    std::memcpy(out.response, text.c_str(), text.size() + 1);
    return TOVR_OK;
}

}  // namespace velk::tovr
