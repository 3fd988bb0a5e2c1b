// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/TimelineSpans.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>

namespace timeline {

namespace {

// Runs this short are scanned whole: two binary searches would cost more.
constexpr std::size_t kScanWholeRun = 16;
// A span at most this many pixels wide is drawn one pixel wide.
constexpr std::int64_t kThinSpanPixels = 8;

const platform::DateTime& epoch()
{
    static const platform::DateTime e(0.0);
    return e;
}

}  // namespace

std::int64_t epochSeconds(const platform::DateTime& time)
{
    return platform::secondsBetween(epoch(), time);
}

void TimelineRow::add(const Span& span)
{
    const std::int64_t length = std::max<std::int64_t>(span.end - span.start, 0);
    if (m_runs.empty() || span.start < m_spans.back().start) {
        m_runs.push_back({m_spans.size(), m_spans.size() + 1, length});
    } else {
        Run& run = m_runs.back();
        run.end = m_spans.size() + 1;
        run.longest = std::max(run.longest, length);
    }
    m_spans.push_back(span);
}

void TimelineRow::clear()
{
    m_spans.clear();
    m_runs.clear();
}

void TimelineRow::candidates(const Run& run, std::int64_t viewStart, std::int64_t viewEnd, std::size_t& first,
                             std::size_t& last) const
{
    first = run.begin;
    last = run.end;
    if (last - first <= kScanWholeRun)
        return;
    const auto begin = m_spans.begin() + static_cast<std::ptrdiff_t>(run.begin);
    const auto end = m_spans.begin() + static_cast<std::ptrdiff_t>(run.end);
    // A span that ends at or after the view start starts no earlier than
    // the view start minus the run's longest span.
    const std::int64_t earliest = viewStart - run.longest;
    const auto from = std::lower_bound(begin, end, earliest,
                                       [](const Span& s, std::int64_t t) { return s.start < t; });
    const auto to = std::upper_bound(from, end, viewEnd, [](std::int64_t t, const Span& s) { return t < s.start; });
    first = static_cast<std::size_t>(from - m_spans.begin());
    last = static_cast<std::size_t>(to - m_spans.begin());
}

bool spanColumns(const RowView& view, const Span& span, int& x1, int& x2)
{
    const double left = view.rect.left;
    auto columnOf = [&](std::int64_t time) {
        return static_cast<std::int64_t>(
            std::trunc(left + static_cast<double>(time - view.viewStart) * view.pixelsPerSecond + 1));
    };
    std::int64_t a = columnOf(span.start);
    std::int64_t b = columnOf(span.end);
    if (std::llabs(a - b) <= kThinSpanPixels)
        b = a + 1;
    a = std::max<std::int64_t>(a, view.rect.left);
    if (a >= view.rect.right)
        return false;
    b = std::min<std::int64_t>(b, view.rect.right);
    if (b <= a)
        return false;
    x1 = static_cast<int>(a);
    x2 = static_cast<int>(b);
    return true;
}

void SpanRaster::begin(int left, int right)
{
    m_left = left;
    m_columns.assign(static_cast<std::size_t>(std::max(right - left, 0)), kNoSpan);
}

void SpanRaster::fill(int x1, int x2, SpanColour colour)
{
    const int from = std::max(x1 - m_left, 0);
    const int to = std::min(x2 - m_left, static_cast<int>(m_columns.size()));
    if (to > from)
        std::memset(m_columns.data() + from, colour, static_cast<std::size_t>(to - from));
}

std::size_t rasterRow(const TimelineRow& row, const RowView& view, SpanRaster& raster)
{
    raster.begin(view.rect.left, view.rect.right);
    std::size_t placed = 0;
    row.forEachInView(view.viewStart, view.viewEnd, [&](const Span& span) {
        int x1 = 0;
        int x2 = 0;
        if (spanColumns(view, span, x1, x2)) {
            raster.fill(x1, x2, colourOfType(span.type));
            ++placed;
        }
    });
    return placed;
}

}  // namespace timeline
