// SPDX-License-Identifier: GPL-3.0-or-later
// A tiny built-in 5x7 bitmap font for the synthetic pictures: digits, ':',
// '.', '-', '/', '_', ' ' and the letters A-Z (small letters are drawn as
// capitals; other characters as blanks). Draws into one
// 8-bit plane (the luma plane of a picture), scaled by whole pixels.
#pragma once

#include <cstdint>
#include <string_view>

namespace velk::recorder {

struct Plane {
    std::uint8_t* data = nullptr;
    int stride = 0;  // bytes from one row to the next
    int width = 0;
    int height = 0;
};

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;

// Width in pixels of text drawn at scale (one blank column between glyphs).
int textWidth(std::string_view text, int scale);

// Draws text with its top-left corner at (x, y); each glyph pixel becomes a
// scale x scale block of value. Pixels outside the plane are skipped;
// characters the font lacks are drawn as blanks.
void drawText(Plane plane, int x, int y, int scale, std::string_view text, std::uint8_t value);

// Fills a rectangle, clipped to the plane.
void fillRect(Plane plane, int x, int y, int width, int height, std::uint8_t value);

}  // namespace velk::recorder
