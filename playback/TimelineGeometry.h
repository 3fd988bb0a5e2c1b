// SPDX-License-Identifier: GPL-3.0-or-later
// Where the timeline's parts lie in its client area: the ruler, the rows
// area, the overview row, the four channel rows, the separator bar, the
// cursor's time label and the zoom label box; and how the row scroll bar is
// set for a number of channels. Rectangles are edge coordinates: left and
// top inclusive, right and bottom exclusive. Plain calculations, any thread.
#pragma once

#include <optional>

namespace timeline {

struct TimelineRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const TimelineRect&) const = default;
};

constexpr int kVisibleRows = 4;       // channel rows shown at once
constexpr int kMaxFirstRow = 29;      // the highest key the top channel row shows
constexpr int kRulerBottom = 32;
constexpr int kChannelBandTop = 18;   // below the rows top
constexpr int kCursorLineTop = 23;    // below the client top
constexpr int kScrollBarWidth = 13;
constexpr int kScrollBarTop = 47;     // below the client top

struct TimelineGeometry {
    // Lays the parts out in a client area of the given size (its origin at
    // 0, 0) with the given margin on both sides.
    TimelineGeometry(int clientWidth, int clientHeight, int margin);

    TimelineRect client;
    TimelineRect ruler;
    TimelineRect rows;
    TimelineRect overviewRow;
    TimelineRect channelRows[kVisibleRows];
    TimelineRect separator;  // across the whole client width
    // The band beside each channel row, left of the rows, for its number.
    TimelineRect numberBand(int row) const;
    // The rows area from the channel band down, painted channel grey first.
    TimelineRect channelBand() const;
    // The zoom label box around a text of the given width.
    TimelineRect zoomBox(int textWidth) const;
    // The vertical row scroll bar: at the right edge, below the ruler.
    TimelineRect scrollBar() const;
    // Left of the cursor time label of the given width, centred on the
    // cursor x; moved right to x = 1 when it would start left of 0, and
    // ending at the client's right edge when it would end right of the
    // ruler's right.
    int cursorLabelLeft(int cursorX, int textWidth) const;
};

// The row scroll bar for a number of channel rows: shown with a range and a
// page, or hidden (visible false: only hidden, its range and page are left
// alone); nothing (leave it as it is) above 16 rows.
struct RowScrollSetting {
    bool visible = false;
    int minimum = 0;
    int maximum = 0;
    int page = 0;
    bool operator==(const RowScrollSetting&) const = default;
};
std::optional<RowScrollSetting> rowScrollSetting(int rowCount);

// The first visible row after a scroll bar position or a SetFirstRow
// argument: n >= 1 becomes min(n, 29); below 1 the current one stays.
int firstRowFor(int requested, int current);

}  // namespace timeline
