// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/CGdipButtonImage.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace widgets {

namespace {

constexpr double kScale = 1.05;
constexpr double kOffset = 0.05 * 255.0;

int brightenedChannel(int value)
{
    return std::clamp(static_cast<int>(std::lround(value * kScale + kOffset)), 0, 255);
}

}  // namespace

QRgb brightenedPixel(QRgb pixel)
{
    return qRgba(brightenedChannel(qRed(pixel)), brightenedChannel(qGreen(pixel)), brightenedChannel(qBlue(pixel)),
                 qAlpha(pixel));
}

QImage brightenedImage(const QImage& image)
{
    // The matrix works on plain (not premultiplied) colour, as the drawing
    // library that defined it does.
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x)
            line[x] = brightenedPixel(line[x]);
    }
    result.setDevicePixelRatio(image.devicePixelRatio());
    return result;
}

QImage composeButtonState(const QImage& background, const QImage& image)
{
    QImage result = background.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    result.setDevicePixelRatio(background.devicePixelRatio());
    QPainter painter(&result);
    painter.drawImage(QPointF(0, 0), brightenedImage(image));
    return result;
}

}  // namespace widgets
