// SPDX-License-Identifier: GPL-3.0-or-later
// The colours of the playback skins: dark greys that sit on the control
// bar's gradient, one blue accent for hover and pressed states.
#pragma once

#include <QColor>

enum class SkinState { Standard, Hot, Pressed, Disabled };

struct StatePalette {
    QColor top;     // frame gradient, top
    QColor bottom;  // frame gradient, bottom
    QColor border;
    QColor glyph;
    double glyphDrop;  // pressed pictures move their glyph down a little
};

inline StatePalette paletteFor(SkinState state)
{
    switch (state) {
    case SkinState::Hot:
        return {QColor(0x5c, 0x63, 0x6d), QColor(0x35, 0x39, 0x40), QColor(0x7f, 0xb2, 0xea), QColor(0xff, 0xff, 0xff),
                0.0};
    case SkinState::Pressed:
        return {QColor(0x1c, 0x1e, 0x22), QColor(0x2f, 0x33, 0x39), QColor(0x3d, 0x78, 0xc2), QColor(0x9f, 0xcb, 0xff),
                1.0};
    case SkinState::Disabled:
        return {QColor(0x36, 0x37, 0x39), QColor(0x29, 0x2a, 0x2c), QColor(0x41, 0x42, 0x45), QColor(0x68, 0x6b, 0x70),
                0.0};
    case SkinState::Standard:
        break;
    }
    return {QColor(0x48, 0x4c, 0x52), QColor(0x2a, 0x2c, 0x30), QColor(0x5e, 0x62, 0x69), QColor(0xdc, 0xe1, 0xe7), 0.0};
}

inline const char* stateSuffix(SkinState state)
{
    switch (state) {
    case SkinState::Hot:
        return "HOT";
    case SkinState::Pressed:
        return "DOWN";
    case SkinState::Disabled:
        return "DIS";
    case SkinState::Standard:
        break;
    }
    return "STD";
}

// The accent of a toggled-on button's glyph.
inline QColor toggledGlyph(SkinState state)
{
    return state == SkinState::Disabled ? QColor(0x4d, 0x63, 0x7d) : QColor(0x6f, 0xd8, 0x6a);
}
