// SPDX-License-Identifier: GPL-3.0-or-later
// How an image button builds the picture of one state: the background under
// the button with the state's image drawn over it, a little brighter (red,
// green and blue each multiplied by 1.05 with 5 % of full scale added,
// clamped; alpha kept). Plain image work, no window.
#pragma once

#include <QImage>
#include <QRgb>

namespace widgets {

// One pixel through the brightening colour matrix (non-premultiplied).
QRgb brightenedPixel(QRgb pixel);
// A copy of an image with every pixel brightened; same device pixel ratio.
QImage brightenedImage(const QImage& image);
// The background with the brightened image drawn over it at (0, 0), at the
// image's own logical size. The result has the background's size and ratio.
QImage composeButtonState(const QImage& background, const QImage& image);

}  // namespace widgets
