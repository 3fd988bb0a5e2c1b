// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/PlaybackCallbackEvent.h"

#include "device/CallbackText.h"

#include <json/json.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace playback {

namespace {

static_assert(sizeof(void*) >= 8, "the callback's user data carries a handle and a generation");

constexpr std::uint32_t kTypeFirstData = 1;
constexpr std::uint32_t kTypeText = 2;
constexpr std::uint32_t kTypeLost = 3;
constexpr std::uint32_t kTypeEnd = 4;
constexpr std::uint32_t kTypeError = 6;
constexpr std::uint32_t kTypeBuffering = 11;
constexpr std::uint32_t kTypeBufferingOver = 12;

// FRAMEINFO's TIME is read as at most 20 bytes.
constexpr std::size_t kMaxTimeBytes = 20;
constexpr int kMaxPictureSide = 16384;

bool sideOf(const Json::Value& value, int& side)
{
    if (!value.isIntegral())
        return false;
    const Json::LargestInt read = value.asLargestInt();
    if (read < 0 || read > kMaxPictureSide)
        return false;
    side = static_cast<int>(read);
    return true;
}

void decodeText(const std::uint8_t* data, std::uint32_t length, CallbackEvent& event)
{
    CallbackText text;
    if (!readCallbackText(data, length, text))
        return;
    const Json::Value& param = text.param;
    if (text.key == "FRAMEINFO") {
        const Json::Value& time = param["TIME"];
        if (!time.isString())
            return;
        std::string digits = time.asString();
        if (digits.size() > kMaxTimeBytes)
            digits.resize(kMaxTimeBytes);
        const platform::DateTime parsed = platform::DateTime::fromDigits(digits);
        if (!parsed.isValid())
            return;
        event.kind = CallbackKind::FrameTime;
        event.time = parsed;
    } else if (text.key == "VIDEOPROPERTY") {
        const Json::Value& channel = param["CHANNEL"];
        if (!channel.isIntegral() || channel.asLargestInt() < 0 || channel.asLargestInt() > 15)
            return;
        int width = 0, height = 0;
        if (!sideOf(param["WIDTH"], width) || !sideOf(param["HEIGHT"], height))
            return;
        event.kind = CallbackKind::VideoProperty;
        event.slot = static_cast<int>(channel.asLargestInt());
        event.width = width;
        event.height = height;
    }
}

}  // namespace

CallbackEvent decodeCallback(std::uint32_t type, const std::uint8_t* data, std::uint32_t length,
                             std::uint32_t code)
{
    CallbackEvent event;
    switch (type) {
    case kTypeFirstData:
        event.kind = CallbackKind::FirstData;
        break;
    case kTypeText:
        decodeText(data, length, event);
        break;
    case kTypeLost:
    case kTypeError:
        event.kind = CallbackKind::ConnectionLost;
        break;
    case kTypeEnd:
        event.kind = CallbackKind::End;
        event.code = code;
        break;
    case kTypeBuffering:
        event.kind = CallbackKind::Buffering;
        break;
    case kTypeBufferingOver:
        event.kind = CallbackKind::BufferingOver;
        break;
    default:
        break;
    }
    return event;
}

std::pair<platform::WPARAM, platform::LPARAM> packEvent(const CallbackEvent& event)
{
    const platform::WPARAM wParam =
        static_cast<platform::WPARAM>(event.kind) | (static_cast<platform::WPARAM>(event.generation & kGenerationMask) << 8);
    std::int64_t payload = 0;
    switch (event.kind) {
    case CallbackKind::FrameTime:
        payload = std::stoll(event.time.toDigits());
        break;
    case CallbackKind::VideoProperty:
        payload = static_cast<std::int64_t>(event.slot) | (static_cast<std::int64_t>(event.width) << 8) |
                  (static_cast<std::int64_t>(event.height) << 32);
        break;
    case CallbackKind::End:
        payload = event.code;
        break;
    default:
        break;
    }
    return {wParam, static_cast<platform::LPARAM>(payload)};
}

CallbackEvent unpackEvent(platform::WPARAM wParam, platform::LPARAM lParam)
{
    CallbackEvent event;
    event.kind = static_cast<CallbackKind>(wParam & 0xFF);
    event.generation = static_cast<std::uint32_t>((wParam >> 8) & kGenerationMask);
    const auto payload = static_cast<std::int64_t>(lParam);
    switch (event.kind) {
    case CallbackKind::FrameTime:
        event.time = platform::DateTime::fromDigits(std::to_string(payload));
        break;
    case CallbackKind::VideoProperty:
        event.slot = static_cast<int>(payload & 0xFF);
        event.width = static_cast<int>((payload >> 8) & 0xFFFFFF);
        event.height = static_cast<int>((payload >> 32) & 0xFFFFFF);
        break;
    case CallbackKind::End:
        event.code = static_cast<std::uint32_t>(payload);
        break;
    default:
        break;
    }
    return event;
}

void* userDataFor(platform::WindowHandle bar, std::uint32_t generation)
{
    const std::uintptr_t bits =
        static_cast<std::uintptr_t>(bar) | (static_cast<std::uintptr_t>(generation & kGenerationMask) << 32);
    return reinterpret_cast<void*>(bits);
}

std::pair<platform::WindowHandle, std::uint32_t> fromUserData(void* userData)
{
    const auto bits = reinterpret_cast<std::uintptr_t>(userData);
    return {static_cast<platform::WindowHandle>(bits & 0xFFFFFFFFu),
            static_cast<std::uint32_t>((bits >> 32) & kGenerationMask)};
}

}  // namespace playback
