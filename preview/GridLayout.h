// SPDX-License-Identifier: GPL-3.0-or-later
// The channel grid's maths, free of windows: which layouts exist, where the
// windows of a layout go, how the grid pages, the double-click single view
// and the swap of two windows in the order.
#pragma once

#include <QRect>

#include <array>
#include <cstdint>
#include <vector>

namespace preview {

constexpr int kGridWindows = 16;

// The window order: order[p] is the index of the window shown at position p.
using WindowOrder = std::array<int, kGridWindows>;
WindowOrder defaultWindowOrder();
// True when the order holds each window index 0..15 exactly once.
bool isPermutation(const WindowOrder& order);

// True for the counts a layout exists for: 1, 3, 4, 6, 8, 9, 13, 16.
bool isLayoutCount(int count);

// The layout a ShowChannels window count asks for (1, 3, 4, 6, 8, 9, 13 or
// 16); 0 for 0 (the full-screen toggle) and for counts above 16.
int layoutForWindowCount(std::uint32_t windowCount);

// Layout command identifiers of the grid: 188 -> 1, 307 -> 3, 189 -> 4,
// 290 -> 6, 190 -> 8, 191 -> 9, 291 -> 13, 192 -> 16; 0 for any other.
int layoutForCommandId(int commandId);
// The command identifier of a layout count; 0 when there is no such layout.
int commandIdForLayout(int count);

// The rectangles of slots 0..count-1 of a layout inside a grid's client
// rectangle (the area is the client shrunk by 1 pixel on each side). Empty
// for a count that is no layout.
std::vector<QRect> layoutRects(int count, const QRect& client);

// The first position a layout of count windows really starts at: always 0
// for 16 windows; otherwise the first position, kept so that the layout
// does not run past position 15.
int layoutStart(int count, int firstPosition);

// Paging over positions 0..total-1, count positions a page. Next wraps to 0
// after the last page and keeps the last page full; Previous wraps from 0 to
// the last page. Both return the new first position.
int nextPageFirst(int firstPosition, int count, int total);
int previousPageFirst(int firstPosition, int count, int total);

// What the layout shows and what the single view returns to.
struct GridView {
    int layoutCount = 4;
    int firstPosition = 0;
    int savedCount = 4;
    int savedFirstPosition = 0;
    bool singleView = false;
};

// Double click on window index k: on (or already a one-window layout)
// returns to the saved view; off saves the view and shows window k alone.
void toggleSingleView(GridView& view, int windowIndex, const WindowOrder& order);

// Exchanges the positions of windows a and b in the order. False (nothing
// changed) when they are equal, out of 0..15, or not both in the order.
bool swapWindows(WindowOrder& order, int a, int b);
// The position of a window in the order, or -1.
int positionOf(const WindowOrder& order, int windowIndex);

}  // namespace preview
