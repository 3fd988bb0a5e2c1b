// SPDX-License-Identifier: GPL-3.0-or-later
// Converts decoded pictures to RGB32 QImages with libswscale, writing
// straight into the image's pixels. Images come from a small pool: an image
// is written again only once nobody else (the window) holds it any more.
// The images' rows are padded and aligned as libswscale expects, with slack
// after the last row: its vector code writes past the exact picture size.
// A picture shown at another size is scaled in its own planar format first
// and converted to RGB after: libswscale's vector code covers both of those
// steps, while its scaled path to RGB is about twice as slow in all.
#pragma once

#include "mivu/Packet.h"

#include <QImage>

#include <array>
#include <cstdint>

struct SwsContext;

namespace mivu {

class PictureConverter {
public:
    PictureConverter() = default;
    ~PictureConverter();
    PictureConverter(const PictureConverter&) = delete;
    PictureConverter& operator=(const PictureConverter&) = delete;

    // Converts the picture into a pool image that only the pool holds, so
    // that it can still be painted on without a copy. With a valid `size`
    // the picture is scaled to it on the way (the window's size, so that
    // the window need not scale it again); else it keeps its own size. The
    // pointer is valid until the next call; nullptr when the picture cannot
    // be converted. Decode thread (or a capturing thread, with a converter
    // of its own).
    QImage* convert(const AVFrame* picture, QSize size = QSize());

private:
    bool prepareScaler(const AVFrame* picture, QSize output);
    bool prepareResizer(int format, QSize output);
    QImage* freeImage(int width, int height);

    // Picture (or resized picture) to RGB32 at the output size.
    SwsContext* m_scaler = nullptr;
    // Picture to the output size in the picture's own format, into
    // m_resized; null when the sizes match or the format cannot be written.
    SwsContext* m_resizer = nullptr;
    std::uint8_t* m_resized[4] = {};
    int m_resizedStride[4] = {};
    int m_sourceWidth = 0;
    int m_sourceHeight = 0;
    int m_sourceFormat = -1;
    bool m_sourceFullRange = false;
    int m_sourceColorSpace = -1;
    QSize m_output;

    // The window holds up to two (shown and pending), the decoder one.
    std::array<QImage, 4> m_pool;
    std::size_t m_nextVictim = 0;
};

}  // namespace mivu
