// SPDX-License-Identifier: GPL-3.0-or-later
// The page frames' JPEG encoder: any size and pixel format comes out as a
// JPEG of that size whose pixels are close to the picture's.
#include "host/JpegEncoder.h"

#include <QColor>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

// A picture with flat areas and edges, as a grid of video windows has.
QImage testPicture(QSize size, QImage::Format format)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(QColor(20, 30, 40));
    QPainter painter(&picture);
    painter.fillRect(QRect(0, 0, size.width() / 2 + 1, size.height() / 2 + 1), QColor(200, 40, 40));
    painter.fillRect(QRect(size.width() / 2, size.height() / 2, size.width(), size.height()), QColor(40, 180, 90));
    painter.end();
    return picture.convertToFormat(format);
}

// Mean absolute difference per channel, 0..255.
double meanDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double total = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int column = 0; column < x.width(); ++column)
            total += std::abs(qRed(p[column]) - qRed(q[column])) + std::abs(qGreen(p[column]) - qGreen(q[column])) +
                     std::abs(qBlue(p[column]) - qBlue(q[column]));
    }
    return total / (3.0 * x.width() * x.height());
}

TEST(JpegEncoder, AnySizeAndFormatComesBackAsThePicture)
{
    const QSize sizes[] = {{1, 1}, {3, 5}, {90, 70}, {702, 576}, {1921, 1081}};
    const QImage::Format formats[] = {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_RGB888,
                                      QImage::Format_ARGB32_Premultiplied, QImage::Format_Grayscale8};
    for (const QSize size : sizes) {
        for (const QImage::Format format : formats) {
            const QImage picture = testPicture(size, format);
            const QByteArray jpeg = host::encodeJpegFast(picture, 75);
            ASSERT_FALSE(jpeg.isEmpty()) << size.width() << "x" << size.height() << " format " << format;
            const QImage decoded = QImage::fromData(jpeg, "JPEG");
            ASSERT_EQ(decoded.size(), size) << format;
            // Small pictures are all edge; a full picture is mostly flat.
            const double limit = size.width() * size.height() < 100 ? 60.0 : 8.0;
            EXPECT_LT(meanDifference(decoded, picture.convertToFormat(QImage::Format_RGB32)), limit)
                << size.width() << "x" << size.height() << " format " << format;
        }
    }
}

TEST(JpegEncoder, ColoursKeepTheirChannels)
{
    // Red stays red: the pixel order given to the encoder matches QImage's.
    for (const QColor colour : {QColor(230, 20, 20), QColor(20, 230, 20), QColor(20, 20, 230)}) {
        QImage picture(64, 64, QImage::Format_RGB32);
        picture.fill(colour);
        const QImage decoded = QImage::fromData(host::encodeJpegFast(picture, 90), "JPEG");
        const QColor centre = decoded.pixelColor(32, 32);
        EXPECT_NEAR(centre.red(), colour.red(), 12);
        EXPECT_NEAR(centre.green(), colour.green(), 12);
        EXPECT_NEAR(centre.blue(), colour.blue(), 12);
    }
}

TEST(JpegEncoder, NothingToEncodeGivesNothing)
{
    EXPECT_TRUE(host::encodeJpegFast(QImage(), 75).isEmpty());
    // Out-of-range qualities are clamped, not refused.
    const QImage picture = testPicture({32, 16}, QImage::Format_RGB32);
    EXPECT_FALSE(host::encodeJpegFast(picture, 0).isEmpty());
    EXPECT_FALSE(host::encodeJpegFast(picture, 1000).isEmpty());
}

}  // namespace
