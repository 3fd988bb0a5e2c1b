// SPDX-License-Identifier: GPL-3.0-or-later
// Test streams made with libavcodec's H.264 encoder (libx264), wrapped in
// the recorder's container frames, and helpers to wait on the event loop.
#pragma once

#include "platform/RenderTarget.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace mivu::test {

using Bytes = std::vector<std::uint8_t>;

struct EncodedPicture {
    bool key = false;
    Bytes annexB;  // one access unit, SPS/PPS before each key picture
};

// A moving pattern: a light square travelling over a gradient. Cached per
// size and count. Empty when the encoder is missing.
const std::vector<EncodedPicture>& testPictures(int width, int height, int count);

// The pictures as container frames of channel 0, times from startMs on,
// frameIntervalMs apart.
std::vector<Bytes> containerFrames(const std::vector<EncodedPicture>& pictures, std::uint64_t startMs,
                                   std::uint32_t frameIntervalMs, std::uint16_t width, std::uint16_t height);

// One G.711 mu-law frame of sampleCount samples of silence.
Bytes muLawFrame(std::size_t sampleCount);

// Runs the event loop until done() holds or timeoutMs passed.
bool spinUntil(const std::function<bool()>& done, int timeoutMs = 10000);
void spinFor(int ms);

// A shown render target of the given size.
class TargetWindow : public platform::CRenderTargetWnd {
public:
    explicit TargetWindow(bool visible = true, QSize size = QSize(352, 288));
    ~TargetWindow() override;
};

}  // namespace mivu::test

// Skips the test when libavcodec has no H.264 encoder.
#define MIVU_REQUIRE_STREAM(pictures)                                \
    do {                                                             \
        if ((pictures).empty())                                      \
            GTEST_SKIP() << "libavcodec has no libx264 encoder";     \
    } while (0)
