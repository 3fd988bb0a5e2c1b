// SPDX-License-Identifier: GPL-3.0-or-later
// Test streams made with libavcodec's H.264 and H.265 encoders (libx264,
// libx265), wrapped in the recorder's container frames, and helpers to wait
// on the event loop.
#pragma once

#include "platform/RenderTarget.h"
#include "proto/MediaFrame.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace mivu::test {

using Bytes = std::vector<std::uint8_t>;

struct EncodedPicture {
    bool key = false;
    Bytes annexB;  // one access unit in decoding order, parameter sets before each key picture
};

// How a test stream is encoded.
struct StreamKind {
    media::VideoCodec codec = media::VideoCodec::H264;
    int bFrames = 0;  // B-pictures between anchors: pictures come out of order
};

// A moving pattern: a light square travelling over a gradient, 8 pixels to
// the right with each picture (squareLeft). Cached per size, count and
// kind. Empty when the encoder is missing.
const std::vector<EncodedPicture>& testPictures(int width, int height, int count, StreamKind kind = {});
// Where picture `index` of a stream of that size has its square (x; it
// spans the second quarter of the height and is height / 4 wide).
int squareLeft(int width, int height, int index);
// The index of the test picture an image shows (found by its square at
// the image's own size); -1 when no square is seen.
int pictureIndexOf(const QImage& image, int pictureWidth, int pictureHeight);

// The pictures as container frames of channel 0, times from startMs on,
// frameIntervalMs apart.
std::vector<Bytes> containerFrames(const std::vector<EncodedPicture>& pictures, std::uint64_t startMs,
                                   std::uint32_t frameIntervalMs, std::uint16_t width, std::uint16_t height,
                                   media::VideoCodec codec = media::VideoCodec::H264);

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

// Skips the test when libavcodec has no encoder for the stream.
#define MIVU_REQUIRE_STREAM(pictures)                                    \
    do {                                                                 \
        if ((pictures).empty())                                          \
            GTEST_SKIP() << "libavcodec has no libx264/libx265 encoder"; \
    } while (0)
