// SPDX-License-Identifier: GPL-3.0-or-later
// One H.264 decoder context (libavcodec's "h264"), single-threaded: one
// decode thread per stream is the unit of parallelism, and a context without
// frame threads adds no delay.
#pragma once

#include "mivu/Packet.h"

#include <cstdint>
#include <functional>

namespace mivu {

class VideoDecoder {
public:
    // lowDelay: output each picture as soon as it is complete (live).
    // Opener's thread (any).
    explicit VideoDecoder(bool lowDelay);
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    bool isOpen() const { return m_context != nullptr; }

    // Decodes one packet and calls onPicture for every picture that comes
    // out (the picture is only valid during the call, and the callee may
    // move its reference away). Returns how many errors the decoder reported.
    // Decode thread.
    int decode(AVPacket* packet, const std::function<void(AVFrame*)>& onPicture);
    // Forgets reference pictures (after a seek). Decode thread.
    void flush();

private:
    AVCodecContext* m_context = nullptr;
    FramePtr m_picture;
};

}  // namespace mivu
