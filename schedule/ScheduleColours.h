// SPDX-License-Identifier: GPL-3.0-or-later
// Colours of the schedule page.
#pragma once

#include <QColor>

#include <cstdint>

namespace schedule {

// The colour the grid paints a second's value with: 0 white, 1 (normal)
// green, 2 and 3 (alarm, or both) red.
inline QColor colourOfValue(std::uint8_t value)
{
    if (value & 2u)
        return QColor(250, 50, 50);
    if (value & 1u)
        return QColor(0, 200, 20);
    return QColor(Qt::white);
}

inline QColor gridLineColour()
{
    return QColor(200, 200, 200);
}

}  // namespace schedule
