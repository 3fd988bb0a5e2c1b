// SPDX-License-Identifier: GPL-3.0-or-later
// What the sub-pictures of one decoder share: the mode, the playback
// switches set through the steering calls, the playback clock, and the
// drawing callback.
#pragma once

#include "mivu/OsdHook.h"
#include "mivu/SharedPlaybackClock.h"

#include <atomic>
#include <cstdint>

namespace mivu {

enum class StreamMode { Live, Playback };

struct DecoderSettings {
    explicit DecoderSettings(StreamMode mode) : mode(mode) {}

    const StreamMode mode;
    std::atomic<bool> paused{false};
    std::atomic<std::int32_t> speedCode{1};
    // Paces the pictures of every sub-picture (playback only).
    SharedPlaybackClock clock;
    OsdHook osd;
};

}  // namespace mivu
