// SPDX-License-Identifier: GPL-3.0-or-later
// The record spans of the timeline's rows and how they become pixels.
//
// A row keeps its spans in the order they were added (later spans paint
// over earlier ones) and an index of that order: the stretches ("runs") in
// which starts do not decrease, each with its longest span. Spans come from
// searches in time order, one channel after another, so a channel row is
// one run and the overview row one run per channel; the spans that overlap
// the view are found by two binary searches per run, in insertion order,
// without visiting the others.
//
// All spans of a row share the same top and bottom, so what a row shows is
// decided column by column by the last span covering the column. SpanRaster
// records that in one byte per column and hands back runs of equal colour:
// spans that land on the same pixels cost one fill, and nothing is
// allocated per span. Plain calculations, any thread.
#pragma once

#include "playback/TimelineGeometry.h"
#include "platform/DateTime.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace timeline {

// Whole seconds since the automation epoch (1899-12-30 00:00:00). For the
// whole-second times the timeline works with, the difference of two of
// these equals platform::secondsBetween of the two times.
std::int64_t epochSeconds(const platform::DateTime& time);

struct Span {
    std::int64_t start = 0;  // epoch seconds
    std::int64_t end = 0;
    std::uint32_t type = 0;  // 0 normal, other values alarm
};

// Colours a column can take: nothing, a normal or an alarm recording.
enum SpanColour : std::uint8_t { kNoSpan = 0, kNormalSpan = 1, kAlarmSpan = 2 };
inline SpanColour colourOfType(std::uint32_t type) { return type == 0 ? kNormalSpan : kAlarmSpan; }

class TimelineRow {
public:
    void add(const Span& span);
    void clear();
    std::size_t size() const { return m_spans.size(); }
    const std::vector<Span>& spans() const { return m_spans; }
    std::size_t runCount() const { return m_runs.size(); }

    // Calls visit(span) for each span overlapping [viewStart, viewEnd]
    // (epoch seconds, both ends included), in insertion order.
    template <typename Visit>
    void forEachInView(std::int64_t viewStart, std::int64_t viewEnd, Visit&& visit) const;

private:
    struct Run {
        std::size_t begin;
        std::size_t end;
        std::int64_t longest;  // the longest span of the run, at least 0
    };
    // [first, last) of a run's spans that may overlap the view.
    void candidates(const Run& run, std::int64_t viewStart, std::int64_t viewEnd, std::size_t& first,
                    std::size_t& last) const;

    std::vector<Span> m_spans;
    std::vector<Run> m_runs;
};

template <typename Visit>
void TimelineRow::forEachInView(std::int64_t viewStart, std::int64_t viewEnd, Visit&& visit) const
{
    for (const Run& run : m_runs) {
        std::size_t first = 0;
        std::size_t last = 0;
        candidates(run, viewStart, viewEnd, first, last);
        for (std::size_t i = first; i < last; ++i) {
            const Span& span = m_spans[i];
            if (span.start <= viewEnd && span.end >= viewStart)
                visit(span);
        }
    }
}

// What a row needs to place its spans: its rectangle, the view in epoch
// seconds and the pixels per second.
struct RowView {
    TimelineRect rect;
    std::int64_t viewStart = 0;
    std::int64_t viewEnd = 0;
    double pixelsPerSecond = 0;
};

// The columns [x1, x2) a span fills in a row: x of its start and end (row
// left + seconds from the view start x pixels per second + 1, truncated);
// a span at most 8 pixels wide becomes one pixel wide at its start; x1 is
// raised to the row's left and x2 lowered to its right. False when nothing
// is left: the span starts at or beyond the row's right, or the columns
// are empty after the clamping.
bool spanColumns(const RowView& view, const Span& span, int& x1, int& x2);

class SpanRaster {
public:
    // Starts a row: columns [left, right), all empty.
    void begin(int left, int right);
    // Colours columns [x1, x2) (already within the row), over what was there.
    void fill(int x1, int x2, SpanColour colour);
    // Calls onRun(x1, x2, colour) for each run of equal, non-empty colour,
    // left to right.
    template <typename Emit>
    void forEachRun(Emit&& onRun) const;

private:
    int m_left = 0;
    std::vector<std::uint8_t> m_columns;
};

template <typename Emit>
void SpanRaster::forEachRun(Emit&& onRun) const
{
    const std::size_t n = m_columns.size();
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t colour = m_columns[i];
        std::size_t j = i + 1;
        while (j < n && m_columns[j] == colour)
            ++j;
        if (colour != kNoSpan)
            onRun(m_left + static_cast<int>(i), m_left + static_cast<int>(j), static_cast<SpanColour>(colour));
        i = j;
    }
}

// Puts a row's spans that overlap the view into the raster, in insertion
// order. Returns how many spans were placed.
std::size_t rasterRow(const TimelineRow& row, const RowView& view, SpanRaster& raster);

}  // namespace timeline
