// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/SliderGeometry.h"

#include <cstdint>
#include <cstdlib>

namespace widgets {

int SliderGeometry::usableLength() const
{
    return length() - marginEnd() - marginStart() - thumbLength();
}

int SliderGeometry::pixelOfPos(int pos) const
{
    const std::int64_t span = static_cast<std::int64_t>(max) - min;
    // Integer division truncates toward zero, as the pixel maths wants.
    const std::int64_t offset =
        span == 0 ? 0 : static_cast<std::int64_t>(usableLength()) * (static_cast<std::int64_t>(pos) - min) / span;
    return marginStart() + static_cast<int>(offset) + thumbLength() / 2;
}

int SliderGeometry::posOfPixel(int pixel) const
{
    // trunc(min + (pixel - thumb/2 - margin) / usable * (max - min)), in
    // integers: a floating-point quotient lands just below whole numbers
    // (29 / 100 * 100 is 28.99...) and would lose a position there.
    const std::int64_t usable = usableLength();
    if (usable == 0)
        return min;
    const std::int64_t offset = pixel - thumbLength() / 2 - marginStart();
    const std::int64_t span = static_cast<std::int64_t>(max) - min;
    // C++ division truncates toward zero, whatever the signs.
    return static_cast<int>((static_cast<std::int64_t>(min) * usable + offset * span) / usable);
}

int SliderGeometry::clampThumbCentre(int pixel) const
{
    const int half = thumbLength() / 2;
    // The upper bound is checked first: on a slider too short for its thumb
    // the lower bound wins, as it does when the thumb is dragged.
    if (pixel > length() - marginEnd() - half)
        pixel = length() - marginEnd() - half;
    if (pixel < marginStart() + half)
        pixel = marginStart() + half;
    return pixel;
}

int SliderGeometry::dragOffset(int mouse, int pos) const
{
    const int fromCentre = mouse - pixelOfPos(pos);
    return std::abs(fromCentre) <= thumbLength() / 2 ? fromCentre : 0;
}

}  // namespace widgets
