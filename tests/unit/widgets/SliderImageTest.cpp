// SPDX-License-Identifier: GPL-3.0-or-later
// The slider's see-through images: the transparent colour, by default the
// top-left pixel's, cut out; everything else kept as it was.
#include "widgets/CBitmapSliderImage.h"

#include <gtest/gtest.h>

namespace {

QImage picture()
{
    // 3 x 2: a magenta top-left, a grey, a half-transparent magenta; below
    // an opaque pink key colour, magenta, and white.
    QImage image(3, 2, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgb(255, 0, 255));
    image.setPixel(1, 0, qRgb(128, 128, 128));
    image.setPixel(2, 0, qRgba(255, 0, 255, 100));
    image.setPixel(0, 1, qRgb(255, 0, 189));
    image.setPixel(1, 1, qRgb(255, 0, 255));
    image.setPixel(2, 1, qRgb(255, 255, 255));
    return image;
}

TEST(SliderImage, TransparentColourIsTheGivenOneElseTheTopLeftPixel)
{
    EXPECT_EQ(widgets::sliderTransparentColour(picture(), std::nullopt), QColor(255, 0, 255));
    EXPECT_EQ(widgets::sliderTransparentColour(picture(), QColor(255, 0, 189)), QColor(255, 0, 189));
    EXPECT_EQ(widgets::sliderTransparentColour(QImage(), std::nullopt), QColor(Qt::black));
}

TEST(SliderImage, PixelsOfTheTransparentColourAreCutOut)
{
    const QImage masked = widgets::sliderMaskedImage(picture(), QColor(255, 0, 255));
    EXPECT_EQ(qAlpha(masked.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(masked.pixel(1, 1)), 0);
    // Colour decides, whatever the pixel's own alpha.
    EXPECT_EQ(qAlpha(masked.pixel(2, 0)), 0);
    EXPECT_EQ(masked.pixel(1, 0), qRgb(128, 128, 128));
    EXPECT_EQ(masked.pixel(0, 1), qRgb(255, 0, 189));
    EXPECT_EQ(masked.pixel(2, 1), qRgb(255, 255, 255));

    const QImage byKey = widgets::sliderMaskedImage(picture(), QColor(255, 0, 189));
    EXPECT_EQ(qAlpha(byKey.pixel(0, 1)), 0);
    EXPECT_EQ(byKey.pixel(0, 0), qRgb(255, 0, 255));
}

TEST(SliderImage, KeepsSizeAndPixelRatio)
{
    QImage image = picture().scaled(6, 4);
    image.setDevicePixelRatio(2);
    const QImage masked = widgets::sliderMaskedImage(image, QColor(255, 0, 255));
    EXPECT_EQ(masked.size(), QSize(6, 4));
    EXPECT_EQ(masked.devicePixelRatio(), 2);
    EXPECT_EQ(qAlpha(masked.pixel(1, 1)), 0);
    EXPECT_EQ(masked.pixel(2, 0), qRgb(128, 128, 128));
}

}  // namespace
