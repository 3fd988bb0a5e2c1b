// SPDX-License-Identifier: GPL-3.0-or-later
#include "mivu/VideoDecoder.h"

namespace mivu {

namespace {

const char* decoderName(media::VideoCodec codec)
{
    return codec == media::VideoCodec::H265 ? "hevc" : "h264";
}

}  // namespace

VideoDecoder::VideoDecoder(bool lowDelay) : m_lowDelay(lowDelay), m_picture(av_frame_alloc())
{
    open(media::VideoCodec::H264);
}

VideoDecoder::~VideoDecoder()
{
    avcodec_free_context(&m_context);
}

bool VideoDecoder::open(media::VideoCodec codec)
{
    avcodec_free_context(&m_context);
    m_codec = codec;
    const AVCodec* decoder = avcodec_find_decoder_by_name(decoderName(codec));
    if (decoder == nullptr || !m_picture)
        return false;
    m_context = avcodec_alloc_context3(decoder);
    if (m_context == nullptr)
        return false;
    m_context->thread_count = 1;
    if (m_lowDelay)
        m_context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    if (avcodec_open2(m_context, decoder, nullptr) < 0) {
        avcodec_free_context(&m_context);
        return false;
    }
    return true;
}

bool VideoDecoder::reopen(media::VideoCodec codec, const PictureSink& onPicture)
{
    if (m_context != nullptr && avcodec_send_packet(m_context, nullptr) == 0)
        drain(onPicture);
    return open(codec);
}

int VideoDecoder::drain(const PictureSink& onPicture)
{
    for (;;) {
        const int result = avcodec_receive_frame(m_context, m_picture.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return 0;
        if (result < 0)
            return 1;
        onPicture(m_picture.get());
        av_frame_unref(m_picture.get());
    }
}

int VideoDecoder::decode(AVPacket* packet, const PictureSink& onPicture)
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
    return errors + drain(onPicture);
}

void VideoDecoder::flush()
{
    if (m_context != nullptr)
        avcodec_flush_buffers(m_context);
}

int VideoDecoder::reorderDepth() const
{
    return m_context != nullptr ? m_context->has_b_frames : 0;
}

}  // namespace mivu
