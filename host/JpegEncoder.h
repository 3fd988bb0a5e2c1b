// SPDX-License-Identifier: GPL-3.0-or-later
// JPEG encoding of the control's picture for pages, with libjpeg-turbo
// directly: the 32-bit pixels of the grab go in as they are (BGRX, no copy
// into RGB rows first, as Qt's image writer makes), with the fast integer
// DCT and 4:2:0 chroma, which at full HD takes a good part off the time of
// Qt's writer for a picture the eye cannot tell apart at quality 75.
#pragma once

#include <QByteArray>

class QImage;

namespace host {

// Quality 1..100. An image of another format than RGB32/ARGB32 is converted
// first. Empty on failure (a null image, an encoder error). Any thread.
QByteArray encodeJpegFast(const QImage& image, int quality);

}  // namespace host
