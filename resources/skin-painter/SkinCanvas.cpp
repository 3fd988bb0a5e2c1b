// SPDX-License-Identifier: GPL-3.0-or-later
#include "SkinCanvas.h"

QImage renderSkin(const SkinImage& image, int scale)
{
    QImage canvas(image.logicalSize * scale, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        image.paint(painter, QSizeF(image.logicalSize));
    }
    if (!image.key)
        return canvas.convertToFormat(QImage::Format_ARGB32);
    QImage keyed = canvas.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = image.key->rgb();
    for (int y = 0; y < keyed.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x)
            line[x] = qAlpha(line[x]) < 128 ? key : (line[x] | 0xff000000u);
    }
    return keyed.convertToFormat(QImage::Format_RGB32);
}
