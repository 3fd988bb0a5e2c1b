// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlaybackCommands.h"

#include "DeviceConnection.h"
#include "PlaybackTime.h"

#include "MIVUStream.h"
#include "TOVR.h"

#include "proto/JsonText.h"

#include <bit>

namespace velk::tovr {

namespace {

// A JSON integer (not 9000.0, not "9000") in the 32-bit unsigned range.
std::optional<std::uint32_t> strictUInt32(const Json::Value& value)
{
    if (value.type() != Json::intValue && value.type() != Json::uintValue)
        return std::nullopt;
    if (!value.isUInt())
        return std::nullopt;
    return value.asUInt();
}

std::optional<std::string> readStartTime(const Json::Value& param)
{
    auto start = proto::memberString(param, "STARTTIME");
    if (!start || !isPlaybackTimeText(*start))
        return std::nullopt;
    return start;
}

}  // namespace

std::optional<RemotePlayParams> readRemotePlayParams(const Json::Value& param)
{
    const auto device = proto::memberUInt32(param, "HDEV");
    const auto channelMask = proto::memberUInt32(param, "CHANNEL");
    const auto streamType = proto::memberUInt32(param, "STREAMTYPE");
    const auto fileType = proto::memberUInt32(param, "FILETYPE");
    const auto callback = proto::memberUInt64(param, "CALLBACK");
    const auto userData = proto::memberUInt64(param, "USERDATA");
    const auto start = readStartTime(param);
    const Json::Value* windows = param.find("HWND", "HWND" + 4);
    if (!device || !channelMask || !streamType || !fileType || !callback || !userData || !start || !windows ||
        !windows->isArray())
        return std::nullopt;
    const int channelCount = std::popcount(*channelMask);
    if (channelCount == 0 || channelCount > MIVU_MAX_SUBPICTURES || *fileType > 2 ||
        windows->size() != static_cast<Json::ArrayIndex>(channelCount))
        return std::nullopt;
    if (*callback > UINTPTR_MAX || *userData > UINTPTR_MAX)
        return std::nullopt;
    RemotePlayParams p;
    p.device = *device;
    for (const Json::Value& window : *windows) {
        const auto handle = strictUInt32(window);
        if (!handle)
            return std::nullopt;
        p.windows.push_back(*handle);
    }
    for (std::uint32_t channel = 0; channel < 32; ++channel) {
        if ((*channelMask & (1u << channel)) != 0)
            p.playback.channels.push_back(channel);
    }
    p.playback.fileType = *fileType;
    p.playback.callback = reinterpret_cast<TOVR_StreamCallback>(static_cast<std::uintptr_t>(*callback));  // NOLINT
    p.playback.userData = reinterpret_cast<void*>(static_cast<std::uintptr_t>(*userData));               // NOLINT
    p.playback.start = *start;
    return p;
}

std::int32_t runRemotePlay(Runtime& runtime, const Json::Value& param, const CommandOutputs& out)
{
    auto params = readRemotePlayParams(param);
    // Without a handle output the playback could never be stopped.
    if (!params || !out.handle)
        return TOVR_ERR_REFUSED;
    const auto device = runtime.handles().find<DeviceConnection>(params->device);
    if (!device)
        return TOVR_ERR_REFUSED;

    std::uint32_t decoder = 0;
    if (MIVU_OpenStream(params->windows.data(), static_cast<std::int32_t>(params->windows.size()), MIVU_MODE_PLAYBACK,
                        &decoder) != MIVU_OK ||
        decoder == 0)
        return TOVR_ERR_REFUSED;
    auto stream = std::make_shared<PlaybackStream>(runtime.io(), runtime.config(), runtime.nextStreamCallbacks(), device,
                                                   std::move(params->playback), decoder);
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

std::int32_t runRemotePlaySeek(Runtime& runtime, const Json::Value& param, const CommandOutputs& out)
{
    const auto handle = proto::memberUInt32(param, "HPLAY");
    const auto start = readStartTime(param);
    if (!handle || !start)
        return TOVR_ERR_REFUSED;
    const auto stream = runtime.handles().find<PlaybackStream>(*handle);
    if (!stream)
        return TOVR_ERR_REFUSED;
    const CommandOutcome outcome = stream->seek(*start);
    if (outcome.result == TOVR_ERR_DEVICE && out.detail)
        *out.detail = outcome.detail;
    return outcome.result;
}

std::int32_t runRemotePlayLose(Runtime& runtime, const Json::Value& param, const CommandOutputs&)
{
    const auto handle = proto::memberUInt32(param, "HPLAY");
    const auto value = proto::memberUInt32(param, "VAL");
    if (!handle || !value || *value > 1)
        return TOVR_ERR_REFUSED;
    const auto stream = runtime.handles().find<PlaybackStream>(*handle);
    if (!stream)
        return TOVR_ERR_REFUSED;
    stream->setKeyFramesOnly(*value == 1);
    return TOVR_OK;
}

std::int32_t runRemotePlayStop(Runtime& runtime, const Json::Value& param, const CommandOutputs&)
{
    const auto handle = proto::memberUInt32(param, "HPLAY");
    if (!handle)
        return TOVR_ERR_REFUSED;
    const auto stream = runtime.handles().take<PlaybackStream>(*handle);
    if (!stream)
        return TOVR_ERR_REFUSED;
    stream->shutdown();
    return TOVR_OK;
}

}  // namespace velk::tovr
