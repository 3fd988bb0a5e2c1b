// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoopEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

#include <string>

namespace velk::recorder {

namespace {

constexpr const char* kEncoderName = "libx264";

}  // namespace

bool LoopEncoder::available()
{
    return avcodec_find_encoder_by_name(kEncoderName) != nullptr;
}

std::unique_ptr<LoopEncoder> LoopEncoder::create(const EncodedLoop& loop, std::size_t keyInterval)
{
    return create(loop, keyInterval, OverlaySettings::defaults(loop.channel()));
}

std::unique_ptr<LoopEncoder> LoopEncoder::create(const EncodedLoop& loop, std::size_t keyInterval,
                                                 const OverlaySettings& overlay)
{
    std::unique_ptr<LoopEncoder> encoder(new LoopEncoder(loop, keyInterval, overlay));
    if (!encoder->open())
        return nullptr;
    return encoder;
}

LoopEncoder::LoopEncoder(const EncodedLoop& loop, std::size_t keyInterval, const OverlaySettings& overlay)
    : m_picture(loop.channel(), loop.profile(), loop.frameCount(), overlay),
      m_frameCount(loop.frameCount()),
      m_keyInterval(keyInterval == 0 ? 1 : keyInterval),
      m_profile(loop.profile())
{
}

LoopEncoder::~LoopEncoder()
{
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_context);
}

bool LoopEncoder::open()
{
    const AVCodec* codec = avcodec_find_encoder_by_name(kEncoderName);
    if (!codec)
        return false;
    m_context = avcodec_alloc_context3(codec);
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (!m_context || !m_frame || !m_packet)
        return false;
    m_context->width = m_profile.width;
    m_context->height = m_profile.height;
    m_context->pix_fmt = AV_PIX_FMT_YUV420P;
    m_context->time_base = AVRational{1, m_profile.frameRate};
    m_context->framerate = AVRational{m_profile.frameRate, 1};
    m_context->gop_size = static_cast<int>(m_keyInterval);
    m_context->keyint_min = static_cast<int>(m_keyInterval);
    m_context->max_b_frames = 0;
    m_context->thread_count = 1;  // loops are encoded in parallel instead
    av_opt_set(m_context->priv_data, "preset", "ultrafast", 0);
    av_opt_set(m_context->priv_data, "tune", "zerolatency", 0);
    av_opt_set(m_context->priv_data, "profile", "baseline", 0);
    av_opt_set(m_context->priv_data, "crf", "26", 0);
    av_opt_set(m_context->priv_data, "forced-idr", "1", 0);
    // Key pictures only where asked for: no scene-cut decisions.
    av_opt_set(m_context->priv_data, "x264-params", "scenecut=0", 0);
    if (avcodec_open2(m_context, codec, nullptr) != 0)
        return false;
    m_frame->format = AV_PIX_FMT_YUV420P;
    m_frame->width = m_profile.width;
    m_frame->height = m_profile.height;
    return av_frame_get_buffer(m_frame, 0) == 0;
}

void LoopEncoder::collect(EncodedLoop& loop)
{
    while (avcodec_receive_packet(m_context, m_packet) == 0) {
        EncodedPicture picture;
        picture.key = (m_packet->flags & AV_PKT_FLAG_KEY) != 0;
        picture.annexB.assign(m_packet->data, m_packet->data + m_packet->size);
        loop.append(std::move(picture));
        av_packet_unref(m_packet);
    }
}

bool LoopEncoder::encodeNext(EncodedLoop& loop)
{
    if (loop.failed() || loop.complete())
        return false;
    if (m_next >= m_frameCount) {
        // Everything was sent: drain what the encoder still holds.
        if (!m_flushed) {
            m_flushed = true;
            avcodec_send_frame(m_context, nullptr);
            collect(loop);
        }
        if (!loop.complete())
            loop.markFailed();
        return false;
    }
    if (av_frame_make_writable(m_frame) != 0) {
        loop.markFailed();
        return false;
    }
    const auto plane = [this](int i, int width, int height) {
        return Plane{m_frame->data[i], m_frame->linesize[i], width, height};
    };
    m_picture.draw(m_next, plane(0, m_profile.width, m_profile.height),
                   plane(1, m_profile.width / 2, m_profile.height / 2),
                   plane(2, m_profile.width / 2, m_profile.height / 2));
    m_frame->pts = static_cast<std::int64_t>(m_next);
    m_frame->pict_type = m_next % m_keyInterval == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    ++m_next;
    if (avcodec_send_frame(m_context, m_frame) != 0) {
        loop.markFailed();
        return false;
    }
    collect(loop);
    return !loop.complete() || m_next < m_frameCount;
}

}  // namespace velk::recorder
