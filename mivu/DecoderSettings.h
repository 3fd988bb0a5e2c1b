// SPDX-License-Identifier: GPL-3.0-or-later
// What the sub-pictures of one decoder share: the mode, the playback
// switches set through the steering calls, and the drawing callback.
#pragma once

#include "mivu/OsdHook.h"

#include <atomic>
#include <cstdint>

namespace mivu {

enum class StreamMode { Live, Playback };

struct DecoderSettings {
    explicit DecoderSettings(StreamMode mode) : mode(mode) {}

    const StreamMode mode;
    std::atomic<bool> paused{false};
    std::atomic<std::int32_t> speedCode{1};
    // Bumped on every pause, resume, speed change or step, so that each
    // playback clock re-anchors at its next picture.
    std::atomic<std::uint32_t> pacingGeneration{0};
    OsdHook osd;
};

}  // namespace mivu
