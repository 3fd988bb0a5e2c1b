// SPDX-License-Identifier: GPL-3.0-or-later
// The frame streamer's picture fingerprint, which decides whether a page
// gets a frame: a changed pixel anywhere must change it.
#include "host/FrameStreamer.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

QImage noise(QSize size, quint32 seed)
{
    QImage image(size, QImage::Format_RGB32);
    quint32 state = seed;
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            state = state * 1664525u + 1013904223u;
            row[x] = 0xFF000000u | (state >> 8);
        }
    }
    return image;
}

TEST(FrameFingerprint, EveryChangedPixelChangesThePrint)
{
    // Widths whose rows are not a multiple of the 32 bytes mixed at a time.
    for (const QSize size : {QSize(1, 1), QSize(3, 5), QSize(9, 4), QSize(33, 7)}) {
        const QImage picture = noise(size, 7);
        const quint64 print = host::FrameStreamer::fingerprint(picture);
        EXPECT_EQ(host::FrameStreamer::fingerprint(picture.copy()), print);
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                QImage changed = picture.copy();
                changed.setPixel(x, y, picture.pixel(x, y) ^ 0x00000001u);
                EXPECT_NE(host::FrameStreamer::fingerprint(changed), print)
                    << size.width() << "x" << size.height() << " at " << x << "," << y;
            }
        }
    }
}

TEST(FrameFingerprint, TheSizeCountsAsWellAsThePixels)
{
    QImage wide(8, 2, QImage::Format_RGB32);
    QImage tall(2, 8, QImage::Format_RGB32);
    wide.fill(Qt::black);
    tall.fill(Qt::black);
    EXPECT_NE(host::FrameStreamer::fingerprint(wide), host::FrameStreamer::fingerprint(tall));
    // The padding after a row's pixels is not part of the picture.
    const QImage picture = noise({5, 3}, 3);
    std::vector<uchar> buffer(48 * 3, 0xAB);
    for (int y = 0; y < picture.height(); ++y)
        std::memcpy(buffer.data() + 48 * y, picture.constScanLine(y), 5 * 4);
    const QImage padded(buffer.data(), 5, 3, 48, QImage::Format_RGB32);
    EXPECT_EQ(host::FrameStreamer::fingerprint(padded), host::FrameStreamer::fingerprint(picture));
}

}  // namespace
