// SPDX-License-Identifier: GPL-3.0-or-later
// The see-through form of a slider's track or thumb image: every pixel of
// the transparent colour (by default the colour of the top-left pixel)
// becomes fully transparent. The desktop drawing this slider comes from cut
// such pixels out with a one-bit mask drawn with AND and the image, its
// transparent pixels blackened, drawn with OR; an alpha channel gives the
// same picture with one ordinary draw. Plain image work, no window.
#pragma once

#include <QColor>
#include <QImage>

#include <optional>

namespace widgets {

// The colour a slider image is cut by: the given one, else the image's
// top-left pixel (opaque black for a null image).
QColor sliderTransparentColour(const QImage& image, std::optional<QColor> given);
// A copy of the image (same device pixel ratio) in which the pixels whose
// red, green and blue equal the colour's are transparent.
QImage sliderMaskedImage(const QImage& image, const QColor& transparent);

}  // namespace widgets
