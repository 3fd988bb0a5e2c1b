// SPDX-License-Identifier: GPL-3.0-or-later
#include "mivu/PictureConverter.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include <atomic>
#include <cstddef>
#include <cstring>
#include <limits>

namespace mivu {

namespace {

// libavcodec still reports full-range pictures with the old "J" formats,
// which libswscale warns about; it wants the plain format and the range.
AVPixelFormat plainFormat(AVPixelFormat format, bool& fullRange)
{
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        fullRange = true;
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        fullRange = true;
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        fullRange = true;
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        fullRange = true;
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        fullRange = true;
        return AV_PIX_FMT_YUV411P;
    default:
        return format;
    }
}

// libswscale's vector code writes whole blocks of pixels: on some widths it
// writes past the end of a row and past the last row (up to 24 bytes seen).
// Rows are therefore aligned to 64 bytes and the buffer ends with a slack of
// one more row's alignment plus a cache line.
constexpr std::size_t kRowAlignment = 64;
constexpr std::size_t kTailSlack = 2 * kRowAlignment;
// Larger than any picture a recorder sends; keeps the size maths in range.
constexpr int kMaxSide = 16384;

void freeAligned(void* buffer)
{
    av_free(buffer);
}

// An RGB32 image over a buffer that libswscale may overrun as it likes.
QImage paddedImage(int width, int height)
{
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * 4 + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
    const std::size_t bytes = rowBytes * static_cast<std::size_t>(height) + kTailSlack;
    if (rowBytes > static_cast<std::size_t>(std::numeric_limits<qsizetype>::max()))
        return {};
    auto* buffer = static_cast<uchar*>(av_mallocz(bytes));
    if (buffer == nullptr)
        return {};
    QImage image(buffer, width, height, static_cast<qsizetype>(rowBytes), QImage::Format_RGB32, freeAligned, buffer);
    if (image.isNull())
        av_free(buffer);
    return image;
}

}  // namespace

PictureConverter::~PictureConverter()
{
    sws_freeContext(m_scaler);
    sws_freeContext(m_resizer);
    av_free(m_resized[0]);
}

bool PictureConverter::prepareResizer(int format, QSize output)
{
    sws_freeContext(m_resizer);
    m_resizer = nullptr;
    av_freep(&m_resized[0]);
    const auto planar = static_cast<AVPixelFormat>(format);
    if (!sws_isSupportedInput(planar) || !sws_isSupportedOutput(planar))
        return false;
    m_resizer = sws_getContext(m_sourceWidth, m_sourceHeight, planar, output.width(), output.height(), planar,
                               SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (m_resizer == nullptr)
        return false;
    // Aligned rows and a whole spare row of every plane: the vector code of
    // both steps reads and writes past a plane's exact size.
    const int size = av_image_alloc(m_resized, m_resizedStride, output.width(), output.height() + 2, planar,
                                    static_cast<int>(kRowAlignment));
    if (size < 0) {
        sws_freeContext(m_resizer);
        m_resizer = nullptr;
        m_resized[0] = nullptr;
        return false;
    }
    // The padding is read too (and ignored): give it defined values.
    std::memset(m_resized[0], 0, static_cast<std::size_t>(size));
    return true;
}

bool PictureConverter::prepareScaler(const AVFrame* picture, QSize output)
{
    bool fullRange = picture->color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat format = plainFormat(static_cast<AVPixelFormat>(picture->format), fullRange);
    const int colorSpace = picture->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
    if (m_scaler != nullptr && picture->width == m_sourceWidth && picture->height == m_sourceHeight &&
        format == m_sourceFormat && fullRange == m_sourceFullRange && colorSpace == m_sourceColorSpace &&
        output == m_output)
        return true;

    sws_freeContext(m_scaler);
    m_sourceFormat = -1;
    m_sourceWidth = picture->width;
    m_sourceHeight = picture->height;
    // Resized in its own format first when the size changes, so that the
    // RGB conversion is an unscaled one.
    // Past a factor of 4 libswscale cascades its own contexts over buffers
    // it leaves unset; such tiny or lopsided windows keep the one step.
    const auto within4 = [](int from, int to) { return from <= 4 * to && to <= 4 * from; };
    const bool resized = output != QSize(picture->width, picture->height) &&
                         within4(picture->width, output.width()) && within4(picture->height, output.height()) &&
                         prepareResizer(format, output);
    if (!resized) {
        sws_freeContext(m_resizer);
        m_resizer = nullptr;
        av_freep(&m_resized[0]);
    }
    const QSize converted = resized ? output : QSize(picture->width, picture->height);
    // Bilinear: for chroma upsampling, and as smooth as the window's own
    // scaling when the size changes.
    m_scaler = sws_getContext(converted.width(), converted.height(), format, output.width(), output.height(),
                              AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (m_scaler == nullptr)
        return false;
    sws_setColorspaceDetails(m_scaler, sws_getCoefficients(colorSpace), fullRange ? 1 : 0,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    m_sourceFormat = format;
    m_sourceFullRange = fullRange;
    m_sourceColorSpace = colorSpace;
    m_output = output;
    return true;
}

QImage* PictureConverter::freeImage(int width, int height)
{
    for (QImage& image : m_pool) {
        if (!image.isNull() && image.width() == width && image.height() == height && image.isDetached()) {
            // The window's last reference went away on another thread; see
            // its reads of the pixels before writing them.
            std::atomic_thread_fence(std::memory_order_acquire);
            return &image;
        }
    }
    // None free: replace an image of another size, else the next in turn
    // (a window still holding it keeps its own reference).
    QImage* victim = nullptr;
    for (QImage& image : m_pool) {
        if (image.isNull() || image.width() != width || image.height() != height) {
            victim = &image;
            break;
        }
    }
    if (victim == nullptr) {
        victim = &m_pool[m_nextVictim];
        m_nextVictim = (m_nextVictim + 1) % m_pool.size();
    }
    *victim = paddedImage(width, height);
    return victim->isNull() ? nullptr : victim;
}

QImage* PictureConverter::convert(const AVFrame* picture, QSize size)
{
    if (picture == nullptr || picture->width <= 0 || picture->height <= 0 || picture->width > kMaxSide ||
        picture->height > kMaxSide)
        return nullptr;
    const bool scaled = size.width() > 0 && size.height() > 0 && size.width() <= kMaxSide && size.height() <= kMaxSide;
    const QSize output = scaled ? size : QSize(picture->width, picture->height);
    if (!prepareScaler(picture, output))
        return nullptr;
    QImage* image = freeImage(output.width(), output.height());
    if (image == nullptr)
        return nullptr;
    // The pool is the only holder, so bits() does not copy (a copy would
    // lose the padding libswscale needs).
    std::uint8_t* const target[4] = {image->bits(), nullptr, nullptr, nullptr};
    const int targetStride[4] = {static_cast<int>(image->bytesPerLine()), 0, 0, 0};
    if (m_resizer != nullptr) {
        if (sws_scale(m_resizer, picture->data, picture->linesize, 0, picture->height, m_resized, m_resizedStride) !=
            output.height())
            return nullptr;
        const int rows = sws_scale(m_scaler, m_resized, m_resizedStride, 0, output.height(), target, targetStride);
        return rows == output.height() ? image : nullptr;
    }
    const int rows = sws_scale(m_scaler, picture->data, picture->linesize, 0, picture->height, target, targetStride);
    return rows == output.height() ? image : nullptr;
}

}  // namespace mivu
