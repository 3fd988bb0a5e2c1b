// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeNetworkLibrary.h"

#include <json/json.h>

#include <memory>
#include <mutex>

namespace {

struct Recorded {
    std::string key;
    std::string text;
};

struct FakeState {
    // Guards everything below: the library may be called from any thread.
    std::mutex stateLock;
    std::vector<Recorded> commands;
    std::int32_t loginResult = TOVR_OK;
    std::uint32_t loginHandle = 0;  // 0: a fresh handle per LOGIN
    std::uint32_t loginDetail = 0;
    std::uint32_t nextHandle = 0x100;
    std::uint64_t lastCallback = 0;
    std::uint32_t lastUserData = 0;
};

FakeState& state()
{
    static FakeState s;
    return s;
}

}  // namespace

extern "C" int32_t TOVR_JsonCommand(const char* commandText, uint32_t* handleOut, char* response,
                                    uint32_t responseSize, uint32_t* detailOut)
{
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    const std::string text = commandText ? commandText : "";
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors) || !root.isObject())
        return TOVR_ERR_REFUSED;
    const std::string key = root["KEY"].asString();

    FakeState& s = state();
    std::lock_guard<std::mutex> lock(s.stateLock);
    s.commands.push_back({key, text});
    if (response && responseSize > 0)
        response[0] = '\0';
    if (key == "LOGIN") {
        s.lastCallback = root["PARAM"]["CALLBACK"].asUInt64();
        s.lastUserData = root["PARAM"]["USERDATA"].asUInt();
        if (handleOut)
            *handleOut = s.loginResult == TOVR_OK ? (s.loginHandle ? s.loginHandle : s.nextHandle++) : 0;
        if (detailOut)
            *detailOut = s.loginDetail;
        return s.loginResult;
    }
    if (handleOut)
        *handleOut = 0;
    if (detailOut)
        *detailOut = 0;
    return TOVR_OK;
}

namespace fake_tovr {

void reset()
{
    FakeState& s = state();
    std::lock_guard<std::mutex> lock(s.stateLock);
    s.commands.clear();
    s.loginResult = TOVR_OK;
    s.loginHandle = 0;
    s.loginDetail = 0;
}

void setLoginAnswer(std::int32_t result, std::uint32_t handle, std::uint32_t detail)
{
    FakeState& s = state();
    std::lock_guard<std::mutex> lock(s.stateLock);
    s.loginResult = result;
    s.loginHandle = handle;
    s.loginDetail = detail;
}

std::vector<std::string> keys()
{
    FakeState& s = state();
    std::lock_guard<std::mutex> lock(s.stateLock);
    std::vector<std::string> out;
    for (const Recorded& r : s.commands)
        out.push_back(r.key);
    return out;
}

std::vector<std::string> commands(const std::string& key)
{
    FakeState& s = state();
    std::lock_guard<std::mutex> lock(s.stateLock);
    std::vector<std::string> out;
    for (const Recorded& r : s.commands)
        if (r.key == key)
            out.push_back(r.text);
    return out;
}

TOVR_DeviceCallback lastDeviceCallback()
{
    FakeState& s = state();
    std::lock_guard<std::mutex> lock(s.stateLock);
    return reinterpret_cast<TOVR_DeviceCallback>(static_cast<std::uintptr_t>(s.lastCallback));
}

std::uint32_t lastUserData()
{
    FakeState& s = state();
    std::lock_guard<std::mutex> lock(s.stateLock);
    return s.lastUserData;
}

}  // namespace fake_tovr
