// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandTexts.h"

#include "DeviceCallbackLog.h"
#include "StreamCallbackLog.h"

#include "TOVR.h"

#include "proto/JsonText.h"

namespace nettest {

std::string loginText(std::uint16_t port, const std::string& user, const std::string& password,
                      std::uint32_t userData, const std::string& host)
{
    Json::Value root;
    root["KEY"] = "LOGIN";
    Json::Value& p = root["PARAM"];
    p["DEVTYPE"] = 0;
    p["DEVIP"] = host;
    p["DEVPORT"] = port;
    p["USERNAME"] = user;
    p["PASSWORD"] = password;
    p["CALLBACK"] = Json::UInt64(reinterpret_cast<std::uintptr_t>(&testDeviceCallback));
    p["USERDATA"] = userData;
    p["CLIENTID"] = 0;
    return velk::proto::writeJson(root);
}

std::string logoutText(std::uint32_t handle)
{
    return R"({"KEY":"LOGOUT","PARAM":{"HDEV":)" + std::to_string(handle) + "}}";
}

std::string realPlayText(std::uint32_t device, std::int32_t channel, std::int32_t streamType, std::uintptr_t userData,
                         std::uint32_t window)
{
    Json::Value root;
    root["KEY"] = "REALPLAY";
    Json::Value& p = root["PARAM"];
    p["HDEV"] = device;
    p["CHANNEL"] = channel;
    p["STREAMTYPE"] = streamType;
    p["CALLBACK"] = Json::UInt64(reinterpret_cast<std::uintptr_t>(&testStreamCallback));
    p["USERDATA"] = Json::UInt64(userData);
    p["HWND"] = window;
    return velk::proto::writeJson(root);
}

std::string handleText(const std::string& key, std::uint32_t playHandle)
{
    return R"({"KEY":")" + key + R"(","PARAM":{"HPLAY":)" + std::to_string(playHandle) + "}}";
}

std::string switchStreamText(std::uint32_t playHandle, std::uint32_t streamType)
{
    return R"({"KEY":"REALPLAYSWITCHSTREAM","PARAM":{"HPLAY":)" + std::to_string(playHandle) +
           R"(,"STREAMTYPE":)" + std::to_string(streamType) + "}}";
}

std::string requestKeyFrameText(std::uint32_t device, std::uint32_t streamType, std::uint32_t channelMask)
{
    return R"({"KEY":"REQUESTIFRAME","PARAM":{"CHANNEL":)" + std::to_string(channelMask) + R"(,"HPLAY":)" +
           std::to_string(device) + R"(,"STREAMTYPE":)" + std::to_string(streamType) + "}}";
}

std::int32_t call(const std::string& text, std::uint32_t* handle, std::uint32_t* detail)
{
    return TOVR_JsonCommand(text.c_str(), handle, nullptr, 0, detail);
}

}  // namespace nettest
