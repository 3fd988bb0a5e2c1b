// SPDX-License-Identifier: GPL-3.0-or-later
// The decode path of a stream: H.264 access units through the library's
// video decoder (libavcodec) and the picture converter (libswscale into a
// pooled QImage), with picture sizes a recorder may send, odd ones included,
// and damaged data.
//
// At start-up a short stream (a key picture and three more) is encoded with
// libavcodec's libx264 for each size of kSizes. Input: byte 0 picks the size,
// byte 1 the way (bit 0: low delay as live streams decode; bit 1: after the
// stream's key picture, the rest of the input is one more access unit;
// else the rest is a list of damages: a 16-bit position, a byte to XOR there
// and, when the position's top bit is set, a cut of the stream there).
//
// Properties checked: an undamaged stream gives pictures of its size that
// all convert; any picture that comes out converts or is refused (no crash).
#include "FuzzCheck.h"

#include "mivu/PictureConverter.h"
#include "mivu/VideoDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Size {
    int width;
    int height;
};

// Sizes of real cameras and recorders next to sizes that are not multiples
// of 8 or 16: the converter writes whole rows of RGB32 into images exactly
// as wide as the picture.
constexpr Size kSizes[] = {{90, 70}, {250, 142}, {702, 96}, {176, 144}, {352, 240},
                           {18, 14}, {130, 34},  {96, 702}, {704, 576}, {2, 2}};
constexpr int kPictures = 4;

using AccessUnit = std::vector<std::uint8_t>;
std::vector<std::vector<AccessUnit>> g_streams;  // per size; filled once at start-up

void drawPattern(AVFrame* frame, int index)
{
    for (int y = 0; y < frame->height; ++y)
        for (int x = 0; x < frame->width; ++x)
            frame->data[0][y * frame->linesize[0] + x] = static_cast<std::uint8_t>(16 + (x * 3 + y * 5 + index * 7) % 220);
    for (int plane = 1; plane < 3; ++plane)
        for (int y = 0; y < frame->height / 2; ++y)
            for (int x = 0; x < frame->width / 2; ++x)
                frame->data[plane][y * frame->linesize[plane] + x] = static_cast<std::uint8_t>(64 + (x + y + plane * 40) % 128);
}

std::vector<AccessUnit> encode(Size size)
{
    std::vector<AccessUnit> units;
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr)
        return units;
    AVCodecContext* context = avcodec_alloc_context3(codec);
    context->width = size.width;
    context->height = size.height;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->time_base = AVRational{1, 25};
    context->framerate = AVRational{25, 1};
    context->gop_size = kPictures;
    context->max_b_frames = 0;
    context->thread_count = 1;
    av_opt_set(context->priv_data, "preset", "ultrafast", 0);
    av_opt_set(context->priv_data, "tune", "zerolatency", 0);
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    if (avcodec_open2(context, codec, nullptr) == 0) {
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = size.width;
        frame->height = size.height;
        av_frame_get_buffer(frame, 0);
        const auto collect = [&] {
            while (avcodec_receive_packet(context, packet) == 0) {
                units.emplace_back(packet->data, packet->data + packet->size);
                av_packet_unref(packet);
            }
        };
        for (int i = 0; i < kPictures; ++i) {
            av_frame_make_writable(frame);
            drawPattern(frame, i);
            frame->pts = i;
            avcodec_send_frame(context, frame);
            collect();
        }
        avcodec_send_frame(context, nullptr);
        collect();
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
    return units;
}

// libswscale is not built with ASan, so a write of its past the end of an
// image does not stop the run where it happens; it only shows later as a
// damaged heap. To name the fault, the bytes just after the image that the
// previous conversion returned are kept and compared once the next
// conversion has written the same image again. Only bytes on the image's
// last page are read (memory of the allocator, not of the image: hence no
// ASan checks in these two functions).
struct ImageTail {
    const std::uint8_t* end = nullptr;
    std::size_t bytes = 0;
    std::uint8_t saved[64] = {};
};

__attribute__((no_sanitize("address"))) void keepTail(const QImage& image, ImageTail& tail)
{
    tail.end = image.constBits() + image.sizeInBytes();
    const auto address = reinterpret_cast<std::uintptr_t>(tail.end);
    const std::size_t toPageEnd = 4096 - address % 4096;
    tail.bytes = toPageEnd == 4096 ? 0 : std::min(sizeof tail.saved, toPageEnd);
    for (std::size_t i = 0; i < tail.bytes; ++i)
        tail.saved[i] = static_cast<const volatile std::uint8_t*>(tail.end)[i];
}

__attribute__((no_sanitize("address"))) std::size_t changedTailBytes(const ImageTail& tail)
{
    std::size_t last = 0;
    for (std::size_t i = 0; i < tail.bytes; ++i)
        if (static_cast<const volatile std::uint8_t*>(tail.end)[i] != tail.saved[i])
            last = i + 1;
    return last;
}

// Decodes the access units and converts every picture; returns how many
// pictures converted, and checks their size when expected is given.
int decodeAll(const std::vector<AccessUnit>& units, bool lowDelay, const Size* expected)
{
    mivu::VideoDecoder decoder(lowDelay);
    FUZZ_CHECK(decoder.isOpen());
    mivu::PictureConverter converter;
    int converted = 0;
    ImageTail tail;
    const auto onPicture = [&](AVFrame* picture) {
        // A damaged size field can ask for a huge picture; those are the
        // decoder's to refuse, not worth a slow conversion here.
        if (static_cast<long long>(picture->width) * picture->height > 4096LL * 2304)
            return;
        const QImage* image = converter.convert(picture);
        if (image == nullptr) {
            FUZZ_CHECK(expected == nullptr);
            tail = ImageTail{};
            return;
        }
        if (tail.end == image->constBits() + image->sizeInBytes()) {
            const std::size_t past = changedTailBytes(tail);
            if (past != 0) {
                std::fprintf(stderr,
                             "PictureConverter::convert wrote up to %zu bytes past the end of a %dx%d image "
                             "(%lld bytes)\n",
                             past, image->width(), image->height(), static_cast<long long>(image->sizeInBytes()));
                std::abort();
            }
        }
        keepTail(*image, tail);
        FUZZ_CHECK(image->width() == picture->width && image->height() == picture->height);
        if (expected)
            FUZZ_CHECK(image->width() == expected->width && image->height() == expected->height);
        // Touch the first and the last pixel.
        (void)image->pixel(0, 0);
        (void)image->pixel(image->width() - 1, image->height() - 1);
        ++converted;
    };
    AVPacket* packet = av_packet_alloc();
    for (const AccessUnit& unit : units) {
        if (unit.empty())
            continue;
        if (av_new_packet(packet, static_cast<int>(unit.size())) != 0)
            break;
        std::memcpy(packet->data, unit.data(), unit.size());
        decoder.decode(packet, onPicture);
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    return converted;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    av_log_set_level(AV_LOG_QUIET);
    for (const Size size : kSizes) {
        g_streams.push_back(encode(size));
        if (g_streams.back().size() != static_cast<std::size_t>(kPictures)) {
            std::fprintf(stderr, "libx264 did not encode %dx%d (is FFmpeg built with libx264?)\n", size.width,
                         size.height);
            std::abort();
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::size_t which = data[0] % std::size(kSizes);
    const bool lowDelay = (data[1] & 1) != 0;
    const bool extraUnit = (data[1] & 2) != 0;
    std::vector<AccessUnit> units = g_streams[which];
    const std::uint8_t* rest = data + 2;
    const std::size_t restBytes = size - 2;

    if (extraUnit) {
        units.resize(1);
        units.emplace_back(rest, rest + restBytes);
        decodeAll(units, lowDelay, nullptr);
        return 0;
    }
    if (restBytes < 3) {
        // Undamaged: every picture comes out (low delay: at once) at its size.
        const int converted = decodeAll(units, lowDelay, &kSizes[which]);
        FUZZ_CHECK(converted >= (lowDelay ? kPictures : 1));
        return 0;
    }

    std::size_t total = 0;
    for (const AccessUnit& unit : units)
        total += unit.size();
    for (std::size_t i = 0; i + 3 <= restBytes; i += 3) {
        const unsigned word = rest[i] | rest[i + 1] << 8;
        std::size_t at = (word & 0x7FFF) % total;
        const bool cut = (word & 0x8000) != 0;
        for (std::size_t u = 0; u < units.size(); ++u) {
            if (at < units[u].size()) {
                if (cut) {
                    units[u].resize(at);
                    units.resize(u + 1);
                } else {
                    units[u][at] ^= rest[i + 2];
                }
                break;
            }
            at -= units[u].size();
        }
        total = 0;
        for (const AccessUnit& unit : units)
            total += unit.size();
        if (total == 0)
            break;
    }
    decodeAll(units, lowDelay, nullptr);
    return 0;
}
