// SPDX-License-Identifier: GPL-3.0-or-later
// A skin image drawn in logical pixels at a scale (1 or 2), and how it is
// saved: with its alpha, or flattened onto a transparent key colour for the
// widgets that cut their images out by colour.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>

struct SkinImage {
    QString name;             // resource name without ".png"
    QSize logicalSize;        // size at scale 1
    std::optional<QColor> key;  // pixels mostly transparent become this colour
    std::function<void(QPainter&, const QSizeF&)> paint;  // draws in logical pixels
};

// Renders one image at a scale: a transparent canvas, antialiased drawing,
// then, when the image has a key colour, every pixel that is less than half
// covered becomes the key and every other pixel opaque, so that cutting out
// by colour leaves no fringe.
QImage renderSkin(const SkinImage& image, int scale);
