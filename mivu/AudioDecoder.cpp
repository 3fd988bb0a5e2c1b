// SPDX-License-Identifier: GPL-3.0-or-later
#include "mivu/AudioDecoder.h"

namespace mivu {

namespace {

constexpr int kSampleRate = 8000;

}  // namespace

AudioDecoder::AudioDecoder() : m_frame(av_frame_alloc()) {}

AudioDecoder::~AudioDecoder()
{
    avcodec_free_context(&m_context);
}

bool AudioDecoder::openFor(media::MediaKind kind)
{
    if (m_context != nullptr && m_kind == kind)
        return true;
    avcodec_free_context(&m_context);
    AVCodecID id = AV_CODEC_ID_NONE;
    if (kind == media::MediaKind::AudioMuLaw)
        id = AV_CODEC_ID_PCM_MULAW;
    else if (kind == media::MediaKind::AudioALaw)
        id = AV_CODEC_ID_PCM_ALAW;
    const AVCodec* codec = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
    if (codec == nullptr || !m_frame)
        return false;
    m_context = avcodec_alloc_context3(codec);
    if (m_context == nullptr)
        return false;
    m_context->sample_rate = kSampleRate;
    av_channel_layout_default(&m_context->ch_layout, 1);
    if (avcodec_open2(m_context, codec, nullptr) < 0) {
        avcodec_free_context(&m_context);
        return false;
    }
    m_kind = kind;
    return true;
}

bool AudioDecoder::decode(media::MediaKind kind, AVPacket* packet, std::vector<std::int16_t>& samples)
{
    if (!openFor(kind) || avcodec_send_packet(m_context, packet) < 0)
        return false;
    bool ok = true;
    for (;;) {
        const int result = avcodec_receive_frame(m_context, m_frame.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            break;
        if (result < 0) {
            ok = false;
            break;
        }
        // G.711 decodes to packed signed 16-bit; mono, so one plane.
        if (m_frame->format == AV_SAMPLE_FMT_S16 && m_frame->nb_samples > 0) {
            const auto* data = reinterpret_cast<const std::int16_t*>(m_frame->data[0]);
            samples.insert(samples.end(), data, data + m_frame->nb_samples);
        }
        av_frame_unref(m_frame.get());
    }
    return ok;
}

}  // namespace mivu
