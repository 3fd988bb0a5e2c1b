// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestStream.h"

#include "proto/MediaFrame.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <tuple>

namespace mivu::test {

namespace {

void drawPattern(AVFrame* frame, int index)
{
    for (int y = 0; y < frame->height; ++y) {
        std::uint8_t* row = frame->data[0] + y * frame->linesize[0];
        for (int x = 0; x < frame->width; ++x)
            row[x] = static_cast<std::uint8_t>(16 + (x + y) * 100 / (frame->width + frame->height));
    }
    const int side = frame->height / 4;
    const int left = squareLeft(frame->width, frame->height, index);
    for (int y = side; y < 2 * side; ++y)
        for (int x = left; x < left + side; ++x)
            frame->data[0][y * frame->linesize[0] + x] = 235;
    for (int plane = 1; plane < 3; ++plane)
        for (int y = 0; y < (frame->height + 1) / 2; ++y)
            std::fill_n(frame->data[plane] + y * frame->linesize[plane], (frame->width + 1) / 2, std::uint8_t(128));
}

void collect(AVCodecContext* context, AVPacket* packet, std::vector<EncodedPicture>& out)
{
    while (avcodec_receive_packet(context, packet) == 0) {
        out.push_back({(packet->flags & AV_PKT_FLAG_KEY) != 0, Bytes(packet->data, packet->data + packet->size)});
        av_packet_unref(packet);
    }
}

std::vector<EncodedPicture> encode(int width, int height, int count, StreamKind kind)
{
    std::vector<EncodedPicture> out;
    const bool h265 = kind.codec == media::VideoCodec::H265;
    const AVCodec* codec = avcodec_find_encoder_by_name(h265 ? "libx265" : "libx264");
    if (codec == nullptr)
        return out;
    AVCodecContext* context = avcodec_alloc_context3(codec);
    context->width = width;
    context->height = height;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->time_base = AVRational{1, 25};
    context->framerate = AVRational{25, 1};
    context->gop_size = 12;
    context->max_b_frames = kind.bFrames;
    context->thread_count = 1;
    av_opt_set(context->priv_data, "preset", "ultrafast", 0);
    if (h265) {
        // Parameter sets before every key picture, as a camera sends them;
        // no lookahead threads; quiet.
        const std::string params = "repeat-headers=1:pools=none:frame-threads=1:log-level=error:bframes=" +
                                   std::to_string(kind.bFrames) + (kind.bFrames > 0 ? ":b-adapt=0" : "");
        av_opt_set(context->priv_data, "x265-params", params.c_str(), 0);
    } else if (kind.bFrames == 0) {
        av_opt_set(context->priv_data, "tune", "zerolatency", 0);
    } else {
        // Fixed B-pictures between anchors, so that the test knows the order.
        av_opt_set(context->priv_data, "x264-params", "b-adapt=0:rc-lookahead=0", 0);
    }
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    if (avcodec_open2(context, codec, nullptr) == 0) {
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = width;
        frame->height = height;
        av_frame_get_buffer(frame, 0);
        for (int i = 0; i < count; ++i) {
            av_frame_make_writable(frame);
            drawPattern(frame, i);
            frame->pts = i;
            avcodec_send_frame(context, frame);
            collect(context, packet, out);
        }
        avcodec_send_frame(context, nullptr);
        collect(context, packet, out);
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
    return out;
}

}  // namespace

const std::vector<EncodedPicture>& testPictures(int width, int height, int count, StreamKind kind)
{
    static std::mutex cacheLock;
    static std::map<std::tuple<int, int, int, int, int>, std::vector<EncodedPicture>> cache;
    std::lock_guard<std::mutex> lock(cacheLock);
    auto [it, inserted] = cache.try_emplace({width, height, count, int(kind.codec), kind.bFrames});
    if (inserted)
        it->second = encode(width, height, count, kind);
    return it->second;
}

int squareLeft(int width, int height, int index)
{
    return (index * 8) % (width - height / 4);
}

int pictureIndexOf(const QImage& image, int pictureWidth, int pictureHeight)
{
    // Along a row through the square: its left edge is the first light pixel.
    const int y = image.height() * 3 / 8;
    const double scale = double(image.width()) / pictureWidth;
    for (int x = 0; x < image.width(); ++x) {
        if (qGray(image.pixel(x, y)) > 180) {
            const int left = int(x / scale + 0.5);
            for (int index = 0; index < 1000; ++index)
                if (std::abs(squareLeft(pictureWidth, pictureHeight, index) - left) <= 2)
                    return index;
            return -1;
        }
    }
    return -1;
}

std::vector<Bytes> containerFrames(const std::vector<EncodedPicture>& pictures, std::uint64_t startMs,
                                   std::uint32_t frameIntervalMs, std::uint16_t width, std::uint16_t height,
                                   media::VideoCodec codec)
{
    std::vector<Bytes> frames;
    std::uint16_t sequence = 0;
    std::uint64_t timeMs = startMs;
    for (const EncodedPicture& picture : pictures) {
        media::FrameFields fields;
        fields.kind = picture.key ? media::MediaKind::VideoKey : media::MediaKind::VideoDelta;
        fields.sequence = sequence++;
        fields.time = media::FrameTime{std::uint32_t(timeMs / 1000), std::uint32_t(timeMs % 1000)};
        if (picture.key)
            fields.video = media::VideoInfo{width, height, 25, codec};
        frames.push_back(media::buildFrame(fields, picture.annexB));
        timeMs += frameIntervalMs;
    }
    return frames;
}

Bytes muLawFrame(std::size_t sampleCount)
{
    media::FrameFields fields;
    fields.kind = media::MediaKind::AudioMuLaw;
    fields.audioSampleRate = 8000;
    const Bytes silence(sampleCount, 0xFF);
    return media::buildFrame(fields, silence);
}

bool spinUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void spinFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

TargetWindow::TargetWindow(bool visible, QSize size)
{
    createWindow(nullptr, QRect(QPoint(0, 0), size), 0, visible);
}

TargetWindow::~TargetWindow()
{
    destroyWindow();
}

}  // namespace mivu::test
