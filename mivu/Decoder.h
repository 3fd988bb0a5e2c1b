// SPDX-License-Identifier: GPL-3.0-or-later
// One decoder handle: its sub-pictures (one per window handle) and the
// switches they share.
#pragma once

#include "mivu/DecoderSettings.h"
#include "mivu/SubPicture.h"

#include "platform/Window.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace mivu {

class Decoder {
public:
    // Opens the sub-pictures and starts their threads; null when that fails.
    // Any thread.
    static std::shared_ptr<Decoder> open(std::span<const platform::WindowHandle> targets, StreamMode mode);
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Stops every sub-picture. Any thread but the decoder's own.
    void close();
    // True on one of this decoder's decode threads.
    bool isOwnThread() const;

    // nullptr when the index is out of range.
    SubPicture* subPicture(std::int32_t index) const;
    DecoderSettings& settings() { return m_settings; }

    // The steering calls (MIVU_* results). Any thread.
    std::int32_t setPaused(bool paused);
    std::int32_t setSpeed(std::int32_t speedCode);
    std::int32_t playFrames(std::int32_t count);
    void reset();
    // The frame time of the picture shown last in any sub-picture since the
    // open or the last reset; 0 before it. Any thread.
    std::uint64_t playbackTimeMs() const;

private:
    explicit Decoder(StreamMode mode);
    void wakeAll();

    DecoderSettings m_settings;
    std::vector<std::unique_ptr<SubPicture>> m_subPictures;  // fixed after open()
};

}  // namespace mivu
