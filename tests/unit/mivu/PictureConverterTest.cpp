// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of every size a recorder may send convert inside their buffers
// and come out with the right pixels. The odd sizes are the ones on which
// libswscale's vector code writes past a row of exactly width × 4 bytes: an
// unpadded buffer shows up under AddressSanitizer or valgrind here.
#include "mivu/PictureConverter.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace mivu {
namespace {

struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

// A flat picture: every sample of each plane the same value.
FramePtr flatPicture(int width, int height, AVPixelFormat format, std::uint8_t y, std::uint8_t u, std::uint8_t v)
{
    FramePtr frame(av_frame_alloc());
    frame->width = width;
    frame->height = height;
    frame->format = format;
    if (av_frame_get_buffer(frame.get(), 0) != 0)
        return nullptr;
    const int chromaHeight = format == AV_PIX_FMT_YUV444P ? height : (height + 1) / 2;
    // Whole lines, padding included: the scaler's vector code reads it.
    for (int row = 0; row < height; ++row)
        std::memset(frame->data[0] + row * frame->linesize[0], y, static_cast<std::size_t>(frame->linesize[0]));
    for (int row = 0; row < chromaHeight; ++row) {
        std::memset(frame->data[1] + row * frame->linesize[1], u, static_cast<std::size_t>(frame->linesize[1]));
        std::memset(frame->data[2] + row * frame->linesize[2], v, static_cast<std::size_t>(frame->linesize[2]));
    }
    return frame;
}

// Counts pixels further than a small tolerance from the expected grey.
int pixelsOffGrey(const QImage& image, int expected)
{
    int off = 0;
    for (int row = 0; row < image.height(); ++row) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(row));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            if (std::abs(qRed(p) - expected) > 3 || std::abs(qGreen(p) - expected) > 3 ||
                std::abs(qBlue(p) - expected) > 3)
                ++off;
        }
    }
    return off;
}

struct Size {
    int width;
    int height;
};

TEST(PictureConverter, OddAndOrdinarySizesConvertCompletelyAndInsideTheirBuffers)
{
    const Size sizes[] = {{90, 70},   {250, 142}, {702, 576},  {1278, 720}, {1918, 1080}, {1920, 1080}, {2560, 1440}, {1, 1},
                          {3, 5},     {17, 2},    {704, 576},  {352, 288},  {4097, 3},    {2, 1023}};
    PictureConverter converter;
    for (const AVPixelFormat format : {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUV444P}) {
        for (const Size size : sizes) {
            SCOPED_TRACE(testing::Message() << size.width << "x" << size.height << " format " << format);
            // Mid grey in full range is 128 everywhere; limited range maps 126 near 128 too.
            const FramePtr picture = flatPicture(size.width, size.height, format, 128, 128, 128);
            ASSERT_TRUE(picture);
            const QImage* image = converter.convert(picture.get());
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(image->width(), size.width);
            EXPECT_EQ(image->height(), size.height);
            EXPECT_EQ(image->format(), QImage::Format_RGB32);
            const int expected = format == AV_PIX_FMT_YUV420P ? 130 : 128;
            EXPECT_EQ(pixelsOffGrey(*image, expected), 0);
        }
    }
}

TEST(PictureConverter, ScalesToTheWindowsSizeOnTheWay)
{
    // Down, up, odd and lopsided sizes: the picture comes out at the size
    // asked for, completely written and inside its buffer (run under
    // valgrind too), the same grey; sizes it cannot take leave it as it is.
    const Size windows[] = {{480, 270}, {1920, 1080}, {91, 71}, {1, 1}, {3, 997}, {4099, 2}};
    PictureConverter converter;
    for (const Size source : {Size{704, 576}, Size{352, 288}, Size{250, 142}, Size{2560, 1440}}) {
        const FramePtr picture = flatPicture(source.width, source.height, AV_PIX_FMT_YUVJ420P, 128, 128, 128);
        ASSERT_TRUE(picture);
        for (const Size window : windows) {
            SCOPED_TRACE(testing::Message() << source.width << "x" << source.height << " to " << window.width << "x"
                                            << window.height);
            const QImage* image = converter.convert(picture.get(), QSize(window.width, window.height));
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(image->size(), QSize(window.width, window.height));
            EXPECT_EQ(pixelsOffGrey(*image, 128), 0);
        }
        for (const QSize unusable : {QSize(), QSize(0, 100), QSize(-5, 10), QSize(20000, 10)}) {
            const QImage* image = converter.convert(picture.get(), unusable);
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(image->size(), QSize(source.width, source.height));
        }
    }
}

TEST(PictureConverter, TenBitPicturesOfH265CamerasConvert)
{
    // Main 10 cameras: 16-bit samples holding 10 bits; mid grey is 512.
    for (const bool fullRange : {false, true}) {
        FramePtr picture(av_frame_alloc());
        picture->width = 1920;
        picture->height = 1080;
        picture->format = AV_PIX_FMT_YUV420P10LE;
        picture->color_range = fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
        ASSERT_EQ(av_frame_get_buffer(picture.get(), 0), 0);
        for (int plane = 0; plane < 3; ++plane) {
            const int rows = plane == 0 ? picture->height : picture->height / 2;
            for (int row = 0; row < rows; ++row) {
                auto* line = reinterpret_cast<std::uint16_t*>(picture->data[plane] + row * picture->linesize[plane]);
                std::fill_n(line, picture->linesize[plane] / 2, std::uint16_t(512));
            }
        }
        PictureConverter converter;
        for (const QSize size : {QSize(), QSize(480, 270), QSize(1280, 720)}) {
            SCOPED_TRACE(testing::Message() << fullRange << " " << size.width());
            const QImage* image = converter.convert(picture.get(), size);
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(image->size(), size.isValid() ? size : QSize(1920, 1080));
            EXPECT_EQ(pixelsOffGrey(*image, fullRange ? 128 : 130), 0);
        }
    }
}

TEST(PictureConverter, ImageHeldByTheWindowIsNeverWrittenAgain)
{
    PictureConverter converter;
    const FramePtr dark = flatPicture(250, 142, AV_PIX_FMT_YUVJ420P, 20, 128, 128);
    const FramePtr light = flatPicture(250, 142, AV_PIX_FMT_YUVJ420P, 220, 128, 128);
    ASSERT_TRUE(dark && light);
    // The window keeps a copy of the first picture while more arrive.
    const QImage shown = *converter.convert(dark.get());
    for (int i = 0; i < 8; ++i)
        ASSERT_NE(converter.convert(light.get()), nullptr);
    EXPECT_EQ(pixelsOffGrey(shown, 20), 0);
    // A picture the window drew on (a detached copy) keeps its own pixels.
    QImage drawnOn = shown;
    drawnOn.fill(Qt::white);
    EXPECT_EQ(pixelsOffGrey(shown, 20), 0);
}

TEST(PictureConverter, RefusesPicturesWithoutASize)
{
    PictureConverter converter;
    EXPECT_EQ(converter.convert(nullptr), nullptr);
    FramePtr empty(av_frame_alloc());
    empty->format = AV_PIX_FMT_YUV420P;
    EXPECT_EQ(converter.convert(empty.get()), nullptr);
    // A picture larger than any recorder sends is refused, not allocated.
    const FramePtr picture = flatPicture(16, 16, AV_PIX_FMT_YUV420P, 128, 128, 128);
    ASSERT_TRUE(picture);
    picture->width = 100000;
    EXPECT_EQ(converter.convert(picture.get()), nullptr);
}

}  // namespace
}  // namespace mivu
