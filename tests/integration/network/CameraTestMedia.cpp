// SPDX-License-Identifier: GPL-3.0-or-later
#include "CameraTestMedia.h"

#include <algorithm>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

namespace nettest {

struct CameraEncoder::Codec {
    AVCodecContext* context = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    ~Codec()
    {
        avcodec_free_context(&context);
        av_frame_free(&frame);
        av_packet_free(&packet);
    }
};

CameraEncoder::CameraEncoder(const CameraEncoding& encoding) : m_codec(std::make_unique<Codec>()), m_encoding(encoding)
{
    av_log_set_level(AV_LOG_ERROR);  // no encoder statistics in the test output
    const bool hevc = encoding.codec == media::VideoCodec::H265;
    const AVCodec* codec = avcodec_find_encoder_by_name(hevc ? "libx265" : "libx264");
    if (!codec)
        return;
    AVCodecContext* c = avcodec_alloc_context3(codec);
    c->width = encoding.width;
    c->height = encoding.height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{1, encoding.frameRate};
    c->framerate = AVRational{encoding.frameRate, 1};
    c->gop_size = encoding.keyInterval;
    c->keyint_min = encoding.keyInterval;
    c->max_b_frames = encoding.bFrames;
    av_opt_set(c->priv_data, "preset", "ultrafast", 0);
    if (hevc) {
        // Closed groups, a key frame exactly every keyInterval pictures,
        // parameter sets before each (no global header is asked for).
        const std::string params = "log-level=error:open-gop=0:scenecut=0:repeat-headers=1:bframes=" +
                                   std::to_string(encoding.bFrames) + ":keyint=" + std::to_string(encoding.keyInterval) +
                                   ":min-keyint=" + std::to_string(encoding.keyInterval);
        av_opt_set(c->priv_data, "x265-params", params.c_str(), 0);
    } else {
        if (encoding.bFrames == 0)
            av_opt_set(c->priv_data, "tune", "zerolatency", 0);
        av_opt_set(c->priv_data, "x264-params", "scenecut=0:repeat-headers=1", 0);
        if (encoding.bFrames > 0)
            av_opt_set(c->priv_data, "profile", "main", 0);
    }
    if (avcodec_open2(c, codec, nullptr) < 0) {
        avcodec_free_context(&c);
        return;
    }
    m_codec->context = c;
    m_codec->frame = av_frame_alloc();
    m_codec->frame->format = c->pix_fmt;
    m_codec->frame->width = c->width;
    m_codec->frame->height = c->height;
    av_frame_get_buffer(m_codec->frame, 0);
    m_codec->packet = av_packet_alloc();
}

CameraEncoder::~CameraEncoder() = default;

bool CameraEncoder::ready() const
{
    return m_codec->context != nullptr;
}

std::vector<CameraPicture> CameraEncoder::encode(int count)
{
    std::vector<CameraPicture> out;
    if (!ready())
        return out;
    AVFrame* f = m_codec->frame;
    for (int i = 0; i < count; ++i) {
        av_frame_make_writable(f);
        // A gradient that moves, and a bright bar that moves faster.
        const int t = static_cast<int>(m_next);
        for (int y = 0; y < f->height; ++y)
            for (int x = 0; x < f->width; ++x)
                f->data[0][y * f->linesize[0] + x] =
                    static_cast<std::uint8_t>((x + y + 3 * t) % 200 + ((x / 16 + t) % 20 == 0 ? 55 : 0));
        for (int y = 0; y < f->height / 2; ++y)
            for (int x = 0; x < f->width / 2; ++x) {
                f->data[1][y * f->linesize[1] + x] = static_cast<std::uint8_t>(128 + (x + t) % 32);
                f->data[2][y * f->linesize[2] + x] = static_cast<std::uint8_t>(128 + (y + t) % 32);
            }
        f->pts = m_next++;
        if (avcodec_send_frame(m_codec->context, f) < 0)
            break;
        while (avcodec_receive_packet(m_codec->context, m_codec->packet) == 0) {
            CameraPicture picture;
            picture.key = (m_codec->packet->flags & AV_PKT_FLAG_KEY) != 0;
            picture.annexB.assign(m_codec->packet->data, m_codec->packet->data + m_codec->packet->size);
            out.push_back(std::move(picture));
            av_packet_unref(m_codec->packet);
        }
    }
    return out;
}

struct CameraDecoder::Codec {
    AVCodecContext* context = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    ~Codec()
    {
        avcodec_free_context(&context);
        av_frame_free(&frame);
        av_packet_free(&packet);
    }
};

CameraDecoder::CameraDecoder(media::VideoCodec codec) : m_codec(std::make_unique<Codec>())
{
    const AVCodec* decoder =
        avcodec_find_decoder(codec == media::VideoCodec::H265 ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264);
    if (!decoder)
        return;
    AVCodecContext* c = avcodec_alloc_context3(decoder);
    c->thread_count = 1;
    if (avcodec_open2(c, decoder, nullptr) < 0) {
        avcodec_free_context(&c);
        return;
    }
    m_codec->context = c;
    m_codec->frame = av_frame_alloc();
    m_codec->packet = av_packet_alloc();
}

CameraDecoder::~CameraDecoder() = default;

bool CameraDecoder::ready() const
{
    return m_codec->context != nullptr;
}

int CameraDecoder::decode(std::span<const std::uint8_t> accessUnit)
{
    if (!ready())
        return 0;
    if (av_new_packet(m_codec->packet, static_cast<int>(accessUnit.size())) < 0)
        return 0;
    std::copy(accessUnit.begin(), accessUnit.end(), m_codec->packet->data);
    const int sent = avcodec_send_packet(m_codec->context, m_codec->packet);
    av_packet_unref(m_codec->packet);
    if (sent < 0) {
        ++m_errors;
        return 0;
    }
    int pictures = 0;
    while (avcodec_receive_frame(m_codec->context, m_codec->frame) == 0) {
        if (m_codec->frame->decode_error_flags != 0)
            ++m_errors;
        m_width = m_codec->frame->width;
        m_height = m_codec->frame->height;
        ++pictures;
        av_frame_unref(m_codec->frame);
    }
    m_pictures += pictures;
    return pictures;
}

}  // namespace nettest
