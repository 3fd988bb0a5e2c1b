// SPDX-License-Identifier: GPL-3.0-or-later
// The image button's state pictures: the brightening colour matrix and the
// image laid over the background, at matching and mixed pixel ratios.
#include "widgets/CGdipButtonImage.h"

#include <QColor>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(ButtonColourMatrix, ScalesAddsAndClampsColourKeepsAlpha)
{
    // c * 1.05 + 12.75, rounded, at most 255.
    EXPECT_EQ(widgets::brightenedPixel(qRgba(0, 100, 230, 77)), qRgba(13, 118, 254, 77));
    EXPECT_EQ(widgets::brightenedPixel(qRgba(231, 255, 1, 0)), qRgba(255, 255, 14, 0));
    EXPECT_EQ(widgets::brightenedPixel(qRgba(200, 60, 128, 255)), qRgba(223, 76, 147, 255));
}

TEST(ButtonColourMatrix, WholeImageKeepsItsSizeAndRatio)
{
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(QColor(100, 100, 100));
    image.setDevicePixelRatio(2);
    const QImage result = widgets::brightenedImage(image);
    EXPECT_EQ(result.size(), image.size());
    EXPECT_EQ(result.devicePixelRatio(), 2);
    EXPECT_EQ(result.pixel(2, 1), qRgba(118, 118, 118, 255));
}

// Ratios of the background and of the image.
class ButtonComposition : public ::testing::TestWithParam<std::pair<qreal, qreal>> {};

TEST_P(ButtonComposition, ImageLiesOverTheBackgroundAtItsLogicalSize)
{
    const auto [backgroundRatio, imageRatio] = GetParam();
    // Background 6 x 4 logical; image 4 x 2 logical: the left two columns
    // opaque red, then one half-transparent blue column, then a clear one.
    QImage background(QSize(6, 4) * backgroundRatio, QImage::Format_ARGB32);
    background.fill(QColor(10, 20, 30));
    background.setDevicePixelRatio(backgroundRatio);
    QImage image(QSize(4, 2) * imageRatio, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int column = static_cast<int>(x / imageRatio);
            image.setPixel(x, y, column < 2 ? qRgba(100, 0, 0, 255) : column == 2 ? qRgba(0, 0, 200, 128) : 0);
        }
    }
    image.setDevicePixelRatio(imageRatio);

    const QImage result = widgets::composeButtonState(background, image);
    ASSERT_EQ(result.size(), background.size());
    EXPECT_EQ(result.devicePixelRatio(), backgroundRatio);
    const auto at = [&](int x, int y) { return result.pixelColor(QPoint(x, y) * backgroundRatio); };
    EXPECT_EQ(at(0, 0), QColor(118, 13, 13));
    EXPECT_EQ(at(1, 1), QColor(118, 13, 13));
    // The last device pixel of the red part is still red, the next is not.
    const int lastRed = static_cast<int>(2 * backgroundRatio) - 1;
    EXPECT_EQ(result.pixelColor(lastRed, 0), QColor(118, 13, 13));
    EXPECT_NE(result.pixelColor(lastRed + 1, 0), QColor(118, 13, 13));
    // Half-transparent: the brightened blue (13, 13, 223) half over the background.
    const QColor half = at(2, 0);
    EXPECT_LE(std::abs(half.red() - 12), 1);
    EXPECT_LE(std::abs(half.green() - 16), 1);
    EXPECT_LE(std::abs(half.blue() - 127), 1);
    // Clear image pixels and everything beyond the image show the background.
    EXPECT_EQ(at(3, 0), QColor(10, 20, 30));
    EXPECT_EQ(at(5, 0), QColor(10, 20, 30));
    EXPECT_EQ(at(0, 2), QColor(10, 20, 30));
}

INSTANTIATE_TEST_SUITE_P(Ratios, ButtonComposition,
                         ::testing::Values(std::pair<qreal, qreal>{1, 1}, std::pair<qreal, qreal>{2, 2},
                                           std::pair<qreal, qreal>{2, 1}, std::pair<qreal, qreal>{1, 2}));

}  // namespace
