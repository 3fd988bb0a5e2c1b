// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceCommands.h"

#include "DeviceConnection.h"

#include "TOVR.h"

#include "proto/JsonText.h"

#include <cstdint>

namespace velk::tovr {

namespace {

constexpr std::size_t kMaxTextBytes = 255;

bool isCleanText(const std::string& text)
{
    return text.size() <= kMaxTextBytes && text.find('\0') == std::string::npos;
}

}  // namespace

std::optional<LoginParams> readLoginParams(const Json::Value& param)
{
    const auto devType = proto::memberInt32(param, "DEVTYPE");
    const auto host = proto::memberString(param, "DEVIP");
    const auto port = proto::memberUInt32(param, "DEVPORT");
    const auto user = proto::memberString(param, "USERNAME");
    const auto password = proto::memberString(param, "PASSWORD");
    const auto callback = proto::memberUInt64(param, "CALLBACK");
    const auto userData = proto::memberUInt32(param, "USERDATA");
    const auto clientId = proto::memberUInt32(param, "CLIENTID");
    if (!devType || !host || !port || !user || !password || !callback || !userData || !clientId)
        return std::nullopt;
    if (host->empty() || !isCleanText(*host) || !isCleanText(*user) || !isCleanText(*password))
        return std::nullopt;
    if (*port == 0 || *port > 65535)
        return std::nullopt;
    if (*callback > UINTPTR_MAX)
        return std::nullopt;

    LoginParams p;
    p.credentials.host = *host;
    p.credentials.port = static_cast<std::uint16_t>(*port);
    p.credentials.user = *user;
    p.credentials.password = *password;
    p.credentials.clientId = *clientId;
    p.credentials.devType = *devType;
    p.callback = *callback;
    p.userData = *userData;
    return p;
}

std::int32_t runLogin(Runtime& runtime, const Json::Value& param, const CommandOutputs& out)
{
    std::uint32_t* const handleOut = out.handle;
    std::uint32_t* const detailOut = out.detail;
    auto params = readLoginParams(param);
    // Without a handle output the login could never be logged out again.
    if (!params || !handleOut)
        return TOVR_ERR_REFUSED;

    const auto callback =
        reinterpret_cast<TOVR_DeviceCallback>(static_cast<std::uintptr_t>(params->callback));  // NOLINT
    auto device = std::make_shared<DeviceConnection>(runtime.io(), runtime.config(), runtime.callbacks(),
                                                     std::move(params->credentials), callback, params->userData);
    const std::uint32_t handle = runtime.handles().reserve(device);
    if (handle == 0)
        return TOVR_ERR_BROKEN;  // the library is being stopped

    const CommandOutcome outcome = device->login();
    if (outcome.result != TOVR_OK) {
        runtime.handles().remove(handle);
        device->shutdown();
        if (outcome.result == TOVR_ERR_DEVICE && detailOut)
            *detailOut = outcome.detail;
        return outcome.result;
    }
    runtime.handles().commit(handle);
    *handleOut = handle;
    return TOVR_OK;
}

std::int32_t runLogout(Runtime& runtime, const Json::Value& param, const CommandOutputs& out)
{
    std::uint32_t* const detailOut = out.detail;
    const auto handle = proto::memberUInt32(param, "HDEV");
    if (!handle)
        return TOVR_ERR_REFUSED;
    const auto device = runtime.handles().take<DeviceConnection>(*handle);
    if (!device)
        return TOVR_ERR_REFUSED;
    const CommandOutcome outcome = device->logout();
    device->shutdown();
    if (outcome.result == TOVR_ERR_DEVICE && detailOut)
        *detailOut = outcome.detail;
    return outcome.result;
}

}  // namespace velk::tovr
