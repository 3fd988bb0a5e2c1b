// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/TimelineGeometry.h"

#include <algorithm>

namespace timeline {

namespace {
constexpr int kOverviewHeight = 10;
constexpr int kSeparatorTop = 13;
constexpr int kSeparatorHeight = 2;
constexpr int kZoomBoxTop = 39;
constexpr int kZoomBoxBottomGap = 25;
}  // namespace

TimelineGeometry::TimelineGeometry(int clientWidth, int clientHeight, int margin)
{
    client = {0, 0, clientWidth, clientHeight};
    ruler = {margin, 0, clientWidth - margin, kRulerBottom};
    rows = {margin, kRulerBottom, clientWidth - margin, clientHeight};
    overviewRow = {rows.left - 1, rows.top, rows.right + 1, rows.top + kOverviewHeight};
    separator = {0, rows.top + kSeparatorTop, clientWidth, rows.top + kSeparatorTop + kSeparatorHeight};
    // Four rows of a quarter of the band each, edges truncated to pixels.
    const double bandTop = rows.top + kChannelBandTop;
    const double rowHeight = (rows.bottom - bandTop) * 0.25;
    for (int j = 0; j < kVisibleRows; ++j) {
        const double top = bandTop + j * rowHeight;
        channelRows[j] = {rows.left - 1, static_cast<int>(top), rows.right + 1, static_cast<int>(top + rowHeight)};
    }
}

TimelineRect TimelineGeometry::numberBand(int row) const
{
    const TimelineRect& r = channelRows[std::clamp(row, 0, kVisibleRows - 1)];
    return {0, r.top, rows.left, r.bottom};
}

TimelineRect TimelineGeometry::channelBand() const
{
    return {rows.left, rows.top + kChannelBandTop, rows.right, rows.bottom};
}

TimelineRect TimelineGeometry::zoomBox(int textWidth) const
{
    const int inset = (rows.width() - textWidth - 5) / 2;
    return {rows.left + inset, client.top + kZoomBoxTop, rows.right - inset, rows.bottom - kZoomBoxBottomGap};
}

TimelineRect TimelineGeometry::scrollBar() const
{
    return {client.right - kScrollBarWidth, client.top + kScrollBarTop, client.right, client.bottom};
}

int TimelineGeometry::cursorLabelLeft(int cursorX, int textWidth) const
{
    int left = cursorX - textWidth / 2;
    if (left < 0)
        left = 1;
    if (left + textWidth > ruler.right)
        left = client.right - textWidth;
    return left;
}

std::optional<RowScrollSetting> rowScrollSetting(int rowCount)
{
    if (rowCount <= 4)
        return RowScrollSetting{};  // hidden; range and page stay as they are
    if (rowCount <= 8)
        return RowScrollSetting{true, 0, 4, 1};
    if (rowCount <= 12)
        return RowScrollSetting{true, 0, 8, 2};
    if (rowCount <= 16)
        return RowScrollSetting{true, 0, 12, 1};
    return std::nullopt;
}

int firstRowFor(int requested, int current)
{
    return requested >= 1 ? std::min(requested, kMaxFirstRow) : current;
}

}  // namespace timeline
