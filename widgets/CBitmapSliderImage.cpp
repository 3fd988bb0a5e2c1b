// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/CBitmapSliderImage.h"

namespace widgets {

QColor sliderTransparentColour(const QImage& image, std::optional<QColor> given)
{
    if (given)
        return *given;
    if (image.isNull())
        return QColor(Qt::black);
    return image.pixelColor(0, 0);
}

QImage sliderMaskedImage(const QImage& image, const QColor& transparent)
{
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = transparent.rgb() & RGB_MASK;
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            if ((line[x] & RGB_MASK) == key)
                line[x] = qRgba(0, 0, 0, 0);
        }
    }
    result.setDevicePixelRatio(image.devicePixelRatio());
    return result;
}

}  // namespace widgets
