// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/JpegEncoder.h"

#include <QImage>
#include <QtEndian>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace host {

namespace {

// libjpeg reports errors through error_exit, which must not return: it
// jumps back to the encoder's frame, which then cleans up.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void onError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void onMessage(j_common_ptr)
{
    // Warnings are not worth a line per frame.
}

// The part that may jump: only plain data lives across the setjmp.
bool compress(const uchar* pixels, int width, int height, qsizetype stride, int quality, unsigned char** out,
              unsigned long* outSize)
{
    jpeg_compress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.output_message = onMessage;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, outSize);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 4;
    // QImage's 32-bit pixels are 0xAARRGGBB words: B, G, R, X in memory on
    // a little-endian machine, X, R, G, B on a big-endian one.
    info.in_color_space = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.dct_method = JDCT_IFAST;
    // jpeg_set_defaults chose 2x2 luma sampling (4:2:0) already.
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + static_cast<qsizetype>(info.next_scanline) * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

QByteArray encodeJpegFast(const QImage& image, int quality)
{
    if (image.isNull())
        return QByteArray();
    const QImage pixels = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                              ? image
                              : image.convertToFormat(QImage::Format_RGB32);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool done = compress(pixels.constBits(), pixels.width(), pixels.height(), pixels.bytesPerLine(),
                               std::clamp(quality, 1, 100), &buffer, &size);
    QByteArray jpeg;
    if (done && buffer != nullptr)
        jpeg = QByteArray(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);  // jpeg_mem_dest's buffer, made with malloc
    return jpeg;
}

}  // namespace host
