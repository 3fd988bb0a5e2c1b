// SPDX-License-Identifier: GPL-3.0-or-later
// Owning pointers for libavcodec's packets and pictures.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <memory>

namespace mivu {

struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

}  // namespace mivu
