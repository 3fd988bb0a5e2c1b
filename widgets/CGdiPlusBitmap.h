// SPDX-License-Identifier: GPL-3.0-or-later
// Holds one decoded image, or none. Copies are independent (the image data
// is shared until written, as QImage shares it). UI thread or any single
// thread; not shared between threads.
#pragma once

#include <QImage>
#include <QSize>

class CGdiPlusBitmap {
public:
    CGdiPlusBitmap() = default;
    virtual ~CGdiPlusBitmap() = default;

    CGdiPlusBitmap(const CGdiPlusBitmap&) = default;
    CGdiPlusBitmap& operator=(const CGdiPlusBitmap&) = default;

    // Releases the image.
    virtual void Empty() { m_bitmap = QImage(); }
    bool IsLoaded() const { return !m_bitmap.isNull(); }
    // The image (a null image when none is held). Its device pixel ratio
    // tells how many of its pixels make one logical pixel.
    const QImage& Image() const { return m_bitmap; }
    // The size in logical pixels (empty when none is held).
    QSize LogicalSize() const { return m_bitmap.deviceIndependentSize().toSize(); }

protected:
    QImage m_bitmap;
};
