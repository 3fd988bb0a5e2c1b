// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeLiveLibrary.h"

#include "device/CommandEnvelope.h"

#include "MIVUStream.h"

#include <json/json.h>

#include <memory>
#include <mutex>

namespace fake_live {

namespace {

using StreamCallback = std::int32_t (*)(std::uint32_t, void*, const std::uint8_t*, std::uint32_t, std::uint32_t);

struct Streams {
    Answers answers;
    std::vector<std::string> keys;
    std::uint32_t playHandle = 0;
    StreamCallback callback = nullptr;
    std::uint64_t userData = 0;
    std::uint64_t window = 0;
    int channel = -1;
    int streamType = -1;
    std::uint32_t decoder = 0;
    bool decoderOpen = false;
    std::uint32_t nextHandle = 0x700;
};

struct State : Streams {
    std::mutex stateLock;  // guards the Streams part: the test's threads call in
};

State& state()
{
    static State s;
    return s;
}

std::int32_t fakeCommand(const char* commandText, std::uint32_t* handleOut, char*, std::uint32_t,
                         std::uint32_t* /*detailOut*/)
{
    Json::Value root;
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    const std::string text = commandText ? commandText : "";
    if (!reader->parse(text.data(), text.data() + text.size(), &root, nullptr) || !root.isObject())
        return 1;
    const std::string key = root["KEY"].asString();
    const Json::Value& param = root["PARAM"];
    State& s = state();
    std::lock_guard<std::mutex> guard(s.stateLock);
    s.keys.push_back(key);
    if (key == "REALPLAY") {
        s.window = param["HWND"].asUInt64();
        s.userData = param["USERDATA"].asUInt64();
        s.channel = param["CHANNEL"].asInt();
        s.streamType = param["STREAMTYPE"].asInt();
        if (s.answers.realPlay != 0)
            return s.answers.realPlay;
        s.playHandle = s.nextHandle++;
        s.callback = reinterpret_cast<StreamCallback>(param["CALLBACK"].asUInt64());
        *handleOut = s.playHandle;
        return 0;
    }
    if (key == "GETDECODER") {
        if (param["HPLAY"].asUInt() != s.playHandle || s.playHandle == 0)
            return 1;
        if (s.answers.getDecoder != 0)
            return s.answers.getDecoder;
        if (s.answers.unknownDecoder) {
            *handleOut = 0x7FFF0000u;
            return 0;
        }
        if (!s.decoderOpen) {
            const std::uint32_t window = static_cast<std::uint32_t>(s.window);
            if (MIVU_OpenStream(&window, 1, MIVU_MODE_LIVE, &s.decoder) != MIVU_OK)
                return 7;
            s.decoderOpen = true;
        }
        *handleOut = s.decoder;
        return 0;
    }
    if (key == "REALPLAYSTOP") {
        if (param["HPLAY"].asUInt() != s.playHandle || s.playHandle == 0)
            return 1;
        s.playHandle = 0;
        s.callback = nullptr;
        if (s.decoderOpen)
            MIVU_CloseStream(s.decoder);
        s.decoderOpen = false;
        return 0;
    }
    return 0;
}

}  // namespace

void install(Answers answers)
{
    State& s = state();
    {
        std::lock_guard<std::mutex> guard(s.stateLock);
        if (s.decoderOpen)
            MIVU_CloseStream(s.decoder);
        static_cast<Streams&>(s) = Streams{};
        s.answers = answers;
    }
    setCommandFunction(&fakeCommand);
}

void uninstall()
{
    setCommandFunction(nullptr);
    State& s = state();
    std::lock_guard<std::mutex> guard(s.stateLock);
    if (s.decoderOpen)
        MIVU_CloseStream(s.decoder);
    s.decoderOpen = false;
}

std::vector<std::string> keys()
{
    std::lock_guard<std::mutex> guard(state().stateLock);
    return state().keys;
}

std::size_t count(const std::string& key)
{
    std::size_t n = 0;
    for (const std::string& k : keys())
        n += k == key ? 1 : 0;
    return n;
}

std::uint64_t lastWindow()
{
    std::lock_guard<std::mutex> guard(state().stateLock);
    return state().window;
}

std::uint64_t lastUserData()
{
    std::lock_guard<std::mutex> guard(state().stateLock);
    return state().userData;
}

int lastChannel()
{
    std::lock_guard<std::mutex> guard(state().stateLock);
    return state().channel;
}

int lastStreamType()
{
    std::lock_guard<std::mutex> guard(state().stateLock);
    return state().streamType;
}

std::uint32_t lastDecoder()
{
    std::lock_guard<std::mutex> guard(state().stateLock);
    return state().decoder;
}

bool decoderOpen()
{
    std::lock_guard<std::mutex> guard(state().stateLock);
    return state().decoderOpen;
}

bool callBack(std::uint32_t type, std::uint32_t kind)
{
    StreamCallback callback = nullptr;
    std::uint64_t userData = 0;
    {
        std::lock_guard<std::mutex> guard(state().stateLock);
        callback = state().callback;
        userData = state().userData;
    }
    if (callback == nullptr)
        return false;
    static const std::uint8_t kData[4] = {0, 0, 0, 1};
    callback(type, reinterpret_cast<void*>(userData), kData, sizeof kData, kind);
    return true;
}

}  // namespace fake_live
