// SPDX-License-Identifier: GPL-3.0-or-later
// Where a video window puts its view: over the whole window (less its
// 1-pixel frame) when stretching, or centred at the picture's proportions.
#pragma once

#include <QRect>

namespace preview {

// The picture size that counts for the proportions: a 704-wide picture
// reported 240 or 288 high is a field picture of a 480- or 576-line frame.
int effectivePictureHeight(int pictureWidth, int pictureHeight);

// The view's rectangle inside a window's client rectangle. Shape mode 1
// with a known picture size keeps the picture's proportions, centred; any
// other case fills the area.
QRect videoViewRect(const QRect& client, int shapeMode, int pictureWidth, int pictureHeight);

}  // namespace preview
