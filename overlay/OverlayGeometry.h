// SPDX-License-Identifier: GPL-3.0-or-later
// The overlay editor's arithmetic, free of windows: the motion cell text,
// the size of a cell on the window and the cell under a point, snapping to
// the alignment grid, scaling between window, picture and reference
// coordinates, and the test that keeps a dragged text item off the others.
//
// Rectangles are edge rectangles (left, top, right, bottom): right and
// bottom are the first column and row outside, as the page's and the
// recorder's rectangles are.
#pragma once

#include <QPoint>
#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace overlay {

inline constexpr int kCellColumns = 15;
inline constexpr int kCellRows = 12;
inline constexpr int kCellCount = kCellColumns * kCellRows;  // 180
inline constexpr int kMotionTextChars = 64;

using MotionCells = std::array<std::uint8_t, kCellCount>;  // 1 = the cell detects motion

// 64 upper-case hexadecimal digits: byte i bit j (0 the lowest) is cell
// 8i + j, each byte high digit first; bits past cell 179 are 0.
QString motionText(const MotionCells& cells);
// The cells of a motion text; nothing for a text that is not exactly 64
// characters of 0-9 and A-F.
std::optional<MotionCells> motionCells(const QString& text);

struct Box {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    // The point lies inside (right and bottom edges excluded).
    bool holds(QPoint p) const { return p.x() >= left && p.x() < right && p.y() >= top && p.y() < bottom; }
    bool operator==(const Box&) const = default;
};

// The box between two corners, whichever way round.
Box normalised(QPoint a, QPoint b);

// Rows of motion cells drawn and hit on a picture of that height: 10 for
// the NTSC heights 480 and 240, else 12.
int motionRows(int pictureHeight);

struct CellSize {
    int width = 1;
    int height = 1;
};
// The size of one cell on a window of that size (each at least 1).
CellSize cellSize(int windowWidth, int windowHeight, int pictureHeight);
// The cell under a point of the window; the point is first brought into the
// window and the row and column into the grid, so the index is always one
// of the 180 cells.
int cellIndexAt(QPoint p, CellSize size, int rows);
// Calls visit(index) for every cell the rectangle between two points covers.
template <typename Visit>
void forEachCellBetween(QPoint a, QPoint b, CellSize size, int rows, Visit visit)
{
    const int first = cellIndexAt(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())), size, rows);
    const int last = cellIndexAt(QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())), size, rows);
    for (int row = first / kCellColumns; row <= last / kCellColumns; ++row)
        for (int column = first % kCellColumns; column <= last % kCellColumns; ++column)
            visit(row * kCellColumns + column);
}

// A point brought into a window of that size (a window of no size counts
// as 1 × 1).
QPoint clampToWindow(QPoint p, int windowWidth, int windowHeight);

// The snapping step of an alignment: 4 for the 8-pixel alignment (the page
// shifts left edges by 8 itself), else the alignment, at least 1.
int snapStep(std::uint16_t alignment);
int snapDown(int value, int step);
int snapUp(int value, int step);

// Scaled coordinates stay within ±kMaxScaled, so that a few pixels more or
// less never overflow.
inline constexpr int kMaxScaled = 1 << 28;
// value × to / from in 64 bits, truncated toward zero and kept within
// ±kMaxScaled; a from of 0 or less gives value unchanged.
int scale(std::int64_t value, std::int64_t to, std::int64_t from);
// Every edge scaled: x edges by toWidth / fromWidth, y edges by toHeight / fromHeight.
Box scaleBox(const Box& box, int toWidth, int fromWidth, int toHeight, int fromHeight);

// The box touches the ellipse inscribed in another box. An ellipse box with
// no area is nothing to touch.
bool touchesEllipse(const Box& box, const Box& ellipseBox);

// A box of that size placed so that it lies inside a window, as near as
// possible to (left, top); a box larger than the window keeps its left or
// top at 0.
Box keepInside(int left, int top, int width, int height, int windowWidth, int windowHeight);

}  // namespace overlay
