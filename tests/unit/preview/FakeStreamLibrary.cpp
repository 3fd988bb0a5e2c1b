// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeStreamLibrary.h"

#include "device/CommandEnvelope.h"
#include "platform/Sync.h"

#include <json/json.h>

#include <map>
#include <memory>
#include <mutex>

namespace fake_stream {

namespace {

using StreamCallback = std::int32_t (*)(std::uint32_t, void*, const std::uint8_t*, std::uint32_t, std::uint32_t);

struct Stream {
    StreamCallback callback = nullptr;
    void* userData = nullptr;
    int channel = 0;
};

struct FakeState {
    // Guards everything below: commands come from workers and the UI thread.
    std::mutex stateLock;
    std::vector<std::string> keys;
    std::vector<Json::Value> texts;
    RealPlayAnswer answer;
    std::map<int, RealPlayAnswer> channelAnswers;
    std::uint32_t delayMs = 0;
    std::int32_t stopResult = 0;
    std::uint32_t stopDelayMs = 0;
    std::uint32_t nextHandle = 0x100;
    std::uint32_t lastPlay = 0;
    std::map<std::uint32_t, Stream> open;
};

FakeState& state()
{
    static FakeState s;
    return s;
}

std::int32_t fakeCommand(const char* commandText, std::uint32_t* handleOut, char* /*response*/,
                         std::uint32_t /*responseSize*/, std::uint32_t* detailOut)
{
    Json::Value root;
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    const std::string text = commandText ? commandText : "";
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors) || !root.isObject())
        return 1;
    const std::string key = root["KEY"].asString();
    const Json::Value& param = root["PARAM"];

    FakeState& s = state();
    std::uint32_t delayMs = 0;
    {
        std::lock_guard<std::mutex> guard(s.stateLock);
        s.keys.push_back(key);
        s.texts.push_back(root);
        delayMs = key == "REALPLAY" ? s.delayMs : key == "REALPLAYSTOP" ? s.stopDelayMs : 0;
    }
    if (delayMs != 0)
        platform::sleepMs(delayMs);

    std::lock_guard<std::mutex> guard(s.stateLock);
    if (key == "REALPLAY") {
        const int channel = param["CHANNEL"].asInt();
        const auto perChannel = s.channelAnswers.find(channel);
        const RealPlayAnswer answer = perChannel != s.channelAnswers.end() ? perChannel->second : s.answer;
        if (answer.result == 0 && answer.withHandle) {
            const std::uint32_t handle = s.nextHandle++;
            s.open[handle] = Stream{reinterpret_cast<StreamCallback>(param["CALLBACK"].asUInt64()),
                                    reinterpret_cast<void*>(param["USERDATA"].asUInt64()), channel};
            s.lastPlay = handle;
            if (handleOut)
                *handleOut = handle;
        }
        if (detailOut && answer.result == 7)
            *detailOut = answer.detail;
        return answer.result;
    }
    if (key == "REALPLAYSTOP") {
        const std::uint32_t handle = param["HPLAY"].asUInt();
        if (s.open.erase(handle) == 0)
            return 1;
        return s.stopResult;
    }
    if (key == "GETDECODER") {
        const std::uint32_t handle = param["HPLAY"].asUInt();
        if (s.open.count(handle) == 0)
            return 1;
        if (handleOut)
            *handleOut = 0x5000 + handle;
        return 0;
    }
    if (key == "REALPLAYSWITCHSTREAM")
        return s.open.count(param["HPLAY"].asUInt()) ? 0 : 1;
    return 0;
}

}  // namespace

void install()
{
    FakeState& s = state();
    {
        std::lock_guard<std::mutex> guard(s.stateLock);
        s.keys.clear();
        s.texts.clear();
        s.answer = RealPlayAnswer{};
        s.channelAnswers.clear();
        s.delayMs = 0;
        s.stopResult = 0;
        s.stopDelayMs = 0;
        s.open.clear();
        s.lastPlay = 0;
    }
    setCommandFunction(&fakeCommand);
}

void uninstall()
{
    setCommandFunction(nullptr);
}

void setRealPlayAnswer(RealPlayAnswer answer)
{
    std::lock_guard<std::mutex> guard(state().stateLock);
    state().answer = answer;
}

void setRealPlayAnswer(int channel, RealPlayAnswer answer)
{
    std::lock_guard<std::mutex> guard(state().stateLock);
    state().channelAnswers[channel] = answer;
}

void setRealPlayDelayMs(std::uint32_t delayMs)
{
    std::lock_guard<std::mutex> guard(state().stateLock);
    state().delayMs = delayMs;
}

void setStopResult(std::int32_t result)
{
    std::lock_guard<std::mutex> guard(state().stateLock);
    state().stopResult = result;
}

void setStopDelayMs(std::uint32_t delayMs)
{
    std::lock_guard<std::mutex> guard(state().stateLock);
    state().stopDelayMs = delayMs;
}

std::vector<std::string> keys()
{
    std::lock_guard<std::mutex> guard(state().stateLock);
    return state().keys;
}

std::size_t count(const std::string& key)
{
    std::lock_guard<std::mutex> guard(state().stateLock);
    std::size_t n = 0;
    for (const std::string& k : state().keys)
        n += k == key ? 1 : 0;
    return n;
}

std::vector<Json::Value> commands(const std::string& key)
{
    std::lock_guard<std::mutex> guard(state().stateLock);
    std::vector<Json::Value> out;
    for (const Json::Value& text : state().texts)
        if (text["KEY"].asString() == key)
            out.push_back(text);
    return out;
}

std::size_t realPlaysOf(int channel)
{
    std::size_t n = 0;
    for (const Json::Value& text : commands("REALPLAY"))
        n += text["PARAM"]["CHANNEL"].asInt() == channel ? 1 : 0;
    return n;
}

std::size_t openStreams()
{
    std::lock_guard<std::mutex> guard(state().stateLock);
    return state().open.size();
}

std::uint32_t lastPlayHandle()
{
    std::lock_guard<std::mutex> guard(state().stateLock);
    return state().lastPlay;
}

bool callBack(std::uint32_t playHandle, std::uint32_t type, const std::string& data, std::uint32_t kind)
{
    Stream stream;
    {
        std::lock_guard<std::mutex> guard(state().stateLock);
        const auto it = state().open.find(playHandle);
        if (it == state().open.end())
            return false;
        stream = it->second;
    }
    // Called outside the lock, as the library calls its callbacks.
    stream.callback(type, stream.userData, reinterpret_cast<const std::uint8_t*>(data.data()),
                    static_cast<std::uint32_t>(data.size()), kind);
    return true;
}

}  // namespace fake_stream
