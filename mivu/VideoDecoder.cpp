// SPDX-License-Identifier: GPL-3.0-or-later
#include "mivu/VideoDecoder.h"

namespace mivu {

VideoDecoder::VideoDecoder(bool lowDelay) : m_picture(av_frame_alloc())
{
    const AVCodec* codec = avcodec_find_decoder_by_name("h264");
    if (codec == nullptr || !m_picture)
        return;
    m_context = avcodec_alloc_context3(codec);
    if (m_context == nullptr)
        return;
    m_context->thread_count = 1;
    if (lowDelay)
        m_context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    if (avcodec_open2(m_context, codec, nullptr) < 0)
        avcodec_free_context(&m_context);
}

VideoDecoder::~VideoDecoder()
{
    avcodec_free_context(&m_context);
}

int VideoDecoder::decode(AVPacket* packet, const std::function<void(AVFrame*)>& onPicture)
{
    if (m_context == nullptr)
        return 1;
    int errors = 0;
    int sent = avcodec_send_packet(m_context, packet);
    if (sent == AVERROR_EOF) {
        // The decoder was told the stream ended; a live stream goes on.
        avcodec_flush_buffers(m_context);
        sent = avcodec_send_packet(m_context, packet);
    }
    if (sent < 0)
        ++errors;  // still drain: earlier packets may have pictures ready
    for (;;) {
        const int result = avcodec_receive_frame(m_context, m_picture.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            break;
        if (result < 0) {
            ++errors;
            break;
        }
        onPicture(m_picture.get());
        av_frame_unref(m_picture.get());
    }
    return errors;
}

void VideoDecoder::flush()
{
    if (m_context != nullptr)
        avcodec_flush_buffers(m_context);
}

}  // namespace mivu
