// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/DecodeAlone.h"

#include "bench/CpuClock.h"

#include "proto/MediaFrame.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cstring>

namespace bench {

AloneDecode decodeAlone(const std::vector<std::vector<std::uint8_t>>& frames, const char* decoderName,
                        const std::function<void(AVFrame*)>& perPicture)
{
    AloneDecode a;
    const AVCodec* codec = avcodec_find_decoder_by_name(decoderName);
    AVCodecContext* context = codec ? avcodec_alloc_context3(codec) : nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* picture = av_frame_alloc();
    bool open = false;
    if (context && packet && picture) {
        context->thread_count = 1;
        context->flags |= AV_CODEC_FLAG_LOW_DELAY;
        open = avcodec_open2(context, codec, nullptr) == 0;
    }
    if (!open)
        ++a.errors;
    std::uint64_t decodeUs = 0;
    bool keySeen = false;
    for (const auto& bytes : frames) {
        if (!open)
            break;
        const auto view = media::parseFrame(bytes);
        if (!view || view->payload.empty()) {
            ++a.errors;
            continue;
        }
        keySeen = keySeen || view->kind == media::MediaKind::VideoKey;
        if (!keySeen || av_new_packet(packet, static_cast<int>(view->payload.size())) < 0)
            continue;
        std::memcpy(packet->data, view->payload.data(), view->payload.size());
        if (view->kind == media::MediaKind::VideoKey)
            packet->flags |= AV_PKT_FLAG_KEY;
        const std::uint64_t startUs = threadCpuUs();
        if (avcodec_send_packet(context, packet) < 0)
            ++a.errors;
        std::uint64_t untimedUs = 0;
        while (avcodec_receive_frame(context, picture) == 0) {
            ++a.pictures;
            if (perPicture) {
                const std::uint64_t untimedStartUs = threadCpuUs();
                perPicture(picture);
                untimedUs += threadCpuUs() - untimedStartUs;
            }
            av_frame_unref(picture);
        }
        decodeUs += threadCpuUs() - startUs - untimedUs;
        av_packet_unref(packet);
    }
    a.decodeMs = double(decodeUs) / 1000.0;
    av_frame_free(&picture);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    return a;
}

}  // namespace bench
