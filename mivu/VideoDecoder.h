// SPDX-License-Identifier: GPL-3.0-or-later
// One video decoder context (libavcodec's "h264" or "hevc"), single-threaded:
// one decode thread per stream is the unit of parallelism, and a context
// without frame threads adds no delay. It opens for H.264 and is reopened
// for another codec when a key frame says the stream changed (a camera
// replaced, a recording of another camera).
#pragma once

#include "mivu/Packet.h"

#include "proto/MediaFrame.h"

#include <cstdint>
#include <functional>

namespace mivu {

class VideoDecoder {
public:
    using PictureSink = std::function<void(AVFrame*)>;

    // lowDelay: output each picture as soon as it is complete (live).
    // Opener's thread (any).
    explicit VideoDecoder(bool lowDelay);
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    bool isOpen() const { return m_context != nullptr; }
    media::VideoCodec codec() const { return m_codec; }

    // Closes the context and opens one for codec. The pictures the old one
    // still holds back (waiting for their display turn) go to onPicture
    // first. False, with no context, when the codec cannot be opened.
    // Decode thread.
    bool reopen(media::VideoCodec codec, const PictureSink& onPicture);

    // Decodes one packet and calls onPicture for every picture that comes
    // out, in display order (the picture is only valid during the call, and
    // the callee may move its reference away). Returns how many errors the
    // decoder reported. Decode thread.
    int decode(AVPacket* packet, const PictureSink& onPicture);
    // Forgets reference pictures and pictures held back (after a seek).
    // Decode thread.
    void flush();
    // How many pictures the decoder may hold back to put them in display
    // order (0 without B-frames). Decode thread.
    int reorderDepth() const;

private:
    bool open(media::VideoCodec codec);
    // Takes every picture ready; counts errors. Decode thread.
    int drain(const PictureSink& onPicture);

    const bool m_lowDelay;
    media::VideoCodec m_codec = media::VideoCodec::H264;
    AVCodecContext* m_context = nullptr;
    FramePtr m_picture;
};

}  // namespace mivu
