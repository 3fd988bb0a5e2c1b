// SPDX-License-Identifier: GPL-3.0-or-later
#include "PictureDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <cstring>

namespace nettest {

struct PictureDecoder::Codec {
    AVCodecContext* context = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    ~Codec()
    {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&context);
    }
};

double DecodedPicture::meanLuma(int x, int top, int w, int h) const
{
    double sum = 0;
    int count = 0;
    for (int row = std::max(top, 0); row < std::min(top + h, height); ++row)
        for (int col = std::max(x, 0); col < std::min(x + w, width); ++col) {
            sum += luma(col, row);
            ++count;
        }
    return count ? sum / count : 0;
}

int DecodedPicture::countBrighter(int x, int top, int w, int h, std::uint8_t value) const
{
    int count = 0;
    for (int row = std::max(top, 0); row < std::min(top + h, height); ++row)
        for (int col = std::max(x, 0); col < std::min(x + w, width); ++col)
            count += luma(col, row) >= value ? 1 : 0;
    return count;
}

PictureDecoder::PictureDecoder() : m_codec(std::make_unique<Codec>())
{
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (!codec)
        return;
    m_codec->context = avcodec_alloc_context3(codec);
    m_codec->frame = av_frame_alloc();
    m_codec->packet = av_packet_alloc();
    if (!m_codec->context || !m_codec->frame || !m_codec->packet)
        return;
    m_codec->context->thread_count = 1;
    m_codec->context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    if (avcodec_open2(m_codec->context, codec, nullptr) != 0)
        avcodec_free_context(&m_codec->context);
}

PictureDecoder::~PictureDecoder() = default;

bool PictureDecoder::ready() const
{
    return m_codec->context && m_codec->frame && m_codec->packet;
}

bool PictureDecoder::decode(std::span<const std::uint8_t> accessUnit)
{
    if (!ready() || accessUnit.empty())
        return false;
    if (av_new_packet(m_codec->packet, static_cast<int>(accessUnit.size())) != 0)
        return false;
    std::memcpy(m_codec->packet->data, accessUnit.data(), accessUnit.size());
    const int sent = avcodec_send_packet(m_codec->context, m_codec->packet);
    av_packet_unref(m_codec->packet);
    if (sent != 0) {
        ++m_errors;
        return false;
    }
    bool got = false;
    while (avcodec_receive_frame(m_codec->context, m_codec->frame) == 0) {
        const AVFrame* f = m_codec->frame;
        if (f->decode_error_flags)
            ++m_errors;
        DecodedPicture p;
        p.width = f->width;
        p.height = f->height;
        p.y.resize(std::size_t(p.width) * p.height);
        p.cb.resize(std::size_t(p.width / 2) * (p.height / 2));
        p.cr.resize(p.cb.size());
        for (int row = 0; row < p.height; ++row)
            std::memcpy(p.y.data() + std::size_t(row) * p.width, f->data[0] + row * f->linesize[0], std::size_t(p.width));
        for (int row = 0; row < p.height / 2; ++row) {
            std::memcpy(p.cb.data() + std::size_t(row) * (p.width / 2), f->data[1] + row * f->linesize[1],
                        std::size_t(p.width / 2));
            std::memcpy(p.cr.data() + std::size_t(row) * (p.width / 2), f->data[2] + row * f->linesize[2],
                        std::size_t(p.width / 2));
        }
        m_last = std::move(p);
        av_frame_unref(m_codec->frame);
        got = true;
    }
    return got;
}

}  // namespace nettest
