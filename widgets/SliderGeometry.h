// SPDX-License-Identifier: GPL-3.0-or-later
// The maths of a bitmap slider: where a position is drawn, which position a
// pixel stands for, and where a dragged thumb may go. Everything is measured
// along the slider's axis: x, width and the left/right margins for a
// horizontal slider; y, height and the top/bottom margins for a vertical one.
// Plain values, no window, so that the slider's behaviour can be checked
// without one.
#pragma once

namespace widgets {

struct SliderGeometry {
    int min = 0;
    int max = 100;
    int width = 0;  // client size
    int height = 0;
    int thumbWidth = 0;
    int thumbHeight = 0;
    int marginLeft = 0;
    int marginTop = 0;
    int marginRight = 0;
    int marginBottom = 0;
    bool vertical = false;

    // The axis: client length, thumb length and the margins at its start
    // and end.
    int length() const { return vertical ? height : width; }
    int thumbLength() const { return vertical ? thumbHeight : thumbWidth; }
    int marginStart() const { return vertical ? marginTop : marginLeft; }
    int marginEnd() const { return vertical ? marginBottom : marginRight; }
    // The coordinate of a point along the axis.
    int along(int x, int y) const { return vertical ? y : x; }

    // The distance the thumb centre can travel.
    int usableLength() const;
    // The thumb centre for a position.
    int pixelOfPos(int pos) const;
    // The position a thumb centre stands for (not clamped to the range).
    int posOfPixel(int pixel) const;
    // A thumb centre kept where the whole thumb stays inside the margins.
    int clampThumbCentre(int pixel) const;
    // The drag offset of a press: its distance from the centre of the thumb
    // at `pos`, or 0 when the press is more than half a thumb away (the
    // thumb then jumps under the mouse).
    int dragOffset(int mouse, int pos) const;
    // The thumb centre while dragging with an offset, clamped.
    int dragCentre(int mouse, int offset) const { return clampThumbCentre(mouse - offset); }
};

}  // namespace widgets
