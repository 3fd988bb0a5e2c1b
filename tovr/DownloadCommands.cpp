// SPDX-License-Identifier: GPL-3.0-or-later
#include "DownloadCommands.h"

#include "DeviceConnection.h"
#include "PlaybackTime.h"

#include "TOVR.h"

#include "proto/JsonText.h"

#include <cstring>

namespace velk::tovr {

namespace {

std::optional<std::string> readText(const Json::Value& param, const char* name, std::size_t maxBytes)
{
    auto text = proto::memberString(param, name);
    if (!text || text->empty() || text->size() > maxBytes || text->find('\0') != std::string::npos)
        return std::nullopt;
    return text;
}

}  // namespace

std::optional<DownloadVideoParams> readDownloadVideoParams(const Json::Value& param)
{
    const auto device = proto::memberUInt32(param, "HDEV");
    auto file = readText(param, "DEVFILENAME", kMaxDeviceFileNameBytes);
    auto save = readText(param, "SAVEFILENAME", kMaxSaveFileNameBytes);
    auto start = proto::memberString(param, "STARTTIME");
    auto end = proto::memberString(param, "ENDTIME");
    if (!device || !file || !save || !start || !end)
        return std::nullopt;
    if (save->front() != '/' || save->back() == '/')
        return std::nullopt;
    // Equal-length digit texts compare as the times they name.
    if (!isPlaybackTimeText(*start) || !isPlaybackTimeText(*end) || *end < *start)
        return std::nullopt;
    DownloadVideoParams p;
    p.device = *device;
    p.download.deviceFileName = std::move(*file);
    p.download.savePath = std::move(*save);
    p.download.start = std::move(*start);
    p.download.end = std::move(*end);
    return p;
}

std::string progressText(const DownloadProgress& progress)
{
    Json::Value root(Json::objectValue);
    Json::Value& response = root["RESPONSE"] = Json::Value(Json::objectValue);
    response["ERROR"] = progress.error;
    response["GETSIZE"] = Json::UInt64(progress.receivedBytes);
    response["STATE"] = static_cast<std::uint32_t>(progress.state);
    response["TOTALSIZE"] = Json::UInt64(progress.totalBytes);
    return proto::writeJson(root);
}

std::int32_t runDownloadVideo(Runtime& runtime, const Json::Value& param, const CommandOutputs& out)
{
    auto params = readDownloadVideoParams(param);
    // Without a handle output the download could never be stopped.
    if (!params || !out.handle)
        return TOVR_ERR_REFUSED;
    const auto device = runtime.handles().find<DeviceConnection>(params->device);
    if (!device)
        return TOVR_ERR_REFUSED;
    auto download = std::make_shared<Download>(runtime.io(), runtime.config(), device, std::move(params->download));
    if (!download->createFile())
        return TOVR_ERR_REFUSED;
    const std::uint32_t handle = runtime.handles().reserve(download);
    if (handle == 0) {
        download->shutdown();
        return TOVR_ERR_BROKEN;  // the library is being stopped
    }
    const CommandOutcome outcome = download->open();
    if (outcome.result != TOVR_OK) {
        runtime.handles().remove(handle);
        download->shutdown();
        if (outcome.result == TOVR_ERR_DEVICE && out.detail)
            *out.detail = outcome.detail;
        return outcome.result;
    }
    runtime.handles().commit(handle);
    *out.handle = handle;
    return TOVR_OK;
}

std::int32_t runGetProgress(Runtime& runtime, const Json::Value& param, const CommandOutputs& out)
{
    const auto handle = proto::memberUInt32(param, "HCOM");
    if (!handle || !out.response)
        return TOVR_ERR_REFUSED;
    const auto download = runtime.handles().find<Download>(*handle);
    if (!download)
        return TOVR_ERR_REFUSED;
    const std::string text = progressText(download->progress());
    if (out.responseSize <= text.size())
        return TOVR_ERR_REFUSED;
    std::memcpy(out.response, text.c_str(), text.size() + 1);
    return TOVR_OK;
}

std::int32_t runStopCommand(Runtime& runtime, const Json::Value& param, const CommandOutputs&)
{
    const auto handle = proto::memberUInt32(param, "HCOM");
    if (!handle)
        return TOVR_ERR_REFUSED;
    const auto download = runtime.handles().take<Download>(*handle);
    if (!download)
        return TOVR_ERR_REFUSED;
    download->shutdown();
    return TOVR_OK;
}

}  // namespace velk::tovr
