// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioLoop.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include <cmath>
#include <cstring>
#include <numbers>

namespace velk::recorder {

namespace {

constexpr std::size_t kTickSamples = 800;  // 100 ms
constexpr double kToneHz = 1000.0;
constexpr double kAmplitude = 2000.0;  // about -24 dB of full scale
constexpr std::uint8_t kMuLawSilence = 0xFF;

std::vector<std::int16_t> tickSamples()
{
    std::vector<std::int16_t> samples(AudioLoop::kSamplesPerPiece * AudioLoop::kPieces, 0);
    for (std::size_t i = 0; i < kTickSamples; ++i)
        samples[i] = static_cast<std::int16_t>(
            std::lround(kAmplitude * std::sin(2.0 * std::numbers::pi * kToneHz * double(i) / AudioLoop::kSampleRate)));
    return samples;
}

// Encodes the samples piece by piece; empty when the encoder is missing.
std::vector<std::vector<std::uint8_t>> encodeMuLaw(const std::vector<std::int16_t>& samples)
{
    std::vector<std::vector<std::uint8_t>> pieces;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PCM_MULAW);
    AVCodecContext* context = codec ? avcodec_alloc_context3(codec) : nullptr;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    if (context && frame && packet) {
        context->sample_fmt = AV_SAMPLE_FMT_S16;
        context->sample_rate = AudioLoop::kSampleRate;
        av_channel_layout_default(&context->ch_layout, 1);
        frame->format = AV_SAMPLE_FMT_S16;
        frame->sample_rate = AudioLoop::kSampleRate;
        frame->nb_samples = AudioLoop::kSamplesPerPiece;
        av_channel_layout_default(&frame->ch_layout, 1);
        if (avcodec_open2(context, codec, nullptr) == 0 && av_frame_get_buffer(frame, 0) == 0) {
            for (std::size_t p = 0; p < AudioLoop::kPieces; ++p) {
                if (av_frame_make_writable(frame) != 0)
                    break;
                std::memcpy(frame->data[0], samples.data() + p * AudioLoop::kSamplesPerPiece,
                            AudioLoop::kSamplesPerPiece * sizeof(std::int16_t));
                if (avcodec_send_frame(context, frame) != 0 || avcodec_receive_packet(context, packet) != 0)
                    break;
                pieces.emplace_back(packet->data, packet->data + packet->size);
                av_packet_unref(packet);
            }
        }
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
    if (pieces.size() != AudioLoop::kPieces)
        pieces.clear();
    return pieces;
}

}  // namespace

AudioLoop::AudioLoop() : m_pieces(encodeMuLaw(tickSamples()))
{
    if (m_pieces.empty())
        m_pieces.assign(kPieces, std::vector<std::uint8_t>(kSamplesPerPiece, kMuLawSilence));
}

}  // namespace velk::recorder
