// SPDX-License-Identifier: GPL-3.0-or-later
// A call of the playback stream callback, copied into a window message. The
// network library calls the callback on its own thread with data that lives
// only during the call; what the session needs of it (the kind of news, a
// frame time, a picture size, a code) fits into the two message parameters,
// so the callback posts it to the bar's window and the session handles it
// on the UI thread. Pure calculations, callable from any thread.
#pragma once

#include "platform/DateTime.h"
#include "platform/Window.h"

#include <cstdint>
#include <utility>

namespace playback {

enum class CallbackKind : std::uint8_t {
    Other = 0,          // counted, nothing else
    FirstData = 1,      // type 1
    FrameTime = 2,      // type 2 FRAMEINFO with a valid TIME
    VideoProperty = 3,  // type 2 VIDEOPROPERTY with a slot and a size
    ConnectionLost = 4, // type 3 or 6
    End = 5,            // type 4 (code carried)
    Buffering = 6,      // type 11
    BufferingOver = 7,  // type 12
};

struct CallbackEvent {
    CallbackKind kind = CallbackKind::Other;
    // The session the callback belongs to (its user data tells).
    std::uint32_t generation = 0;
    std::uint32_t code = 0;        // End: the callback's code
    platform::DateTime time;       // FrameTime
    int slot = 0, width = 0, height = 0;  // VideoProperty
};

// What one callback carries. FRAMEINFO's TIME must be 14 digits of a real
// date-time (a text of any other length is not a time); VIDEOPROPERTY's
// CHANNEL is a slot 0..15 and its sides 0..16384. Anything else is Other.
CallbackEvent decodeCallback(std::uint32_t type, const std::uint8_t* data, std::uint32_t length,
                             std::uint32_t code);

// The event as wParam and lParam of a message, and back. Generations are
// kept modulo 2^24.
std::pair<platform::WPARAM, platform::LPARAM> packEvent(const CallbackEvent& event);
CallbackEvent unpackEvent(platform::WPARAM wParam, platform::LPARAM lParam);

// The callback's user data: the bar's window handle and the session's
// generation (so that news of a stream that was closed meanwhile is known
// as such), and back.
void* userDataFor(platform::WindowHandle bar, std::uint32_t generation);
std::pair<platform::WindowHandle, std::uint32_t> fromUserData(void* userData);

constexpr std::uint32_t kGenerationMask = 0xFFFFFF;

}  // namespace playback
