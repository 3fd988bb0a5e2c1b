// SPDX-License-Identifier: GPL-3.0-or-later
// Encodes the synthetic pictures of one loop with libavcodec's H.264
// encoder (libx264): preset ultrafast, tune zerolatency, baseline profile,
// no B-frames (decode order is display order, nothing waits for later
// pictures), a key picture every keyInterval pictures and nowhere else,
// SPS/PPS repeated before every key picture so that a stream can start at
// any of them. One picture per call, so that several loops can be encoded
// in turn.
#pragma once

#include "EncodedLoop.h"
#include "SyntheticPicture.h"

#include <cstddef>
#include <memory>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace velk::recorder {

class LoopEncoder {
public:
    // Null when libavcodec has no libx264 encoder or it cannot be opened.
    // The pictures show overlay (the channel's defaults when not given).
    static std::unique_ptr<LoopEncoder> create(const EncodedLoop& loop, std::size_t keyInterval);
    static std::unique_ptr<LoopEncoder> create(const EncodedLoop& loop, std::size_t keyInterval,
                                               const OverlaySettings& overlay);
    ~LoopEncoder();

    LoopEncoder(const LoopEncoder&) = delete;
    LoopEncoder& operator=(const LoopEncoder&) = delete;

    // Encodes the next picture into loop. False when the loop is done (or
    // the encoder failed: the loop is then marked failed). Encoder thread.
    bool encodeNext(EncodedLoop& loop);

    // Whether this libavcodec can encode H.264 at all. Any thread.
    static bool available();

private:
    LoopEncoder(const EncodedLoop& loop, std::size_t keyInterval, const OverlaySettings& overlay);
    bool open();
    void collect(EncodedLoop& loop);

    SyntheticPicture m_picture;
    const std::size_t m_frameCount;
    const std::size_t m_keyInterval;
    const StreamProfile m_profile;
    AVCodecContext* m_context = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    std::size_t m_next = 0;
    bool m_flushed = false;
};

}  // namespace velk::recorder
