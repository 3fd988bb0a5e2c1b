// SPDX-License-Identifier: GPL-3.0-or-later
// The timeline's time maths without a window: the zoom table, the scale
// derived from the ruler's width, the day, the visible part of it (the
// view), the cursor, and how zooming, paging and panning move the view.
// CControlPlayer owns one and draws what it says. Plain calculations, any
// thread (but one object belongs to one thread).
#pragma once

#include "platform/DateTime.h"

#include <cstdint>

namespace timeline {

// One line of the zoom table, indexed by the zoom level (0 = whole day).
struct ZoomLevel {
    const char* label;           // shown in the zoom box
    int divisions;               // major divisions across the ruler
    int minutesPerDivision;
    int secondsPerDivision;
    int minorTicksPerDivision;
};

constexpr int kMinLevel = 0;
constexpr int kMaxLevel = 7;
const ZoomLevel& zoomLevel(int level);  // level clamped into 0..7

// The margin on both sides of the ruler and the rows before and after the
// first Refresh (which widens it by the data-tab label room: 4 pixels).
constexpr int kInitialMargin = 30;
constexpr int kRefreshedMargin = 34;

// Seconds from a to b, whole, rounded half away from zero.
inline std::int64_t seconds(const platform::DateTime& a, const platform::DateTime& b)
{
    return platform::secondsBetween(a, b);
}

class TimelineScale {
public:
    enum class Direction { Earlier, Later };

    // The day of `today` (00:00:00 .. 23:59:59) is the day and the view;
    // the cursor stands at its start.
    explicit TimelineScale(const platform::DateTime& today);

    // --- Geometry ---------------------------------------------------------
    // The client width and the margin; both recompute the scale at the
    // current level. A ruler narrower than one pixel counts as one pixel,
    // so the scale never divides by zero.
    void setClientWidth(int width);
    void setMargin(int margin);
    int margin() const { return m_margin; }
    int rulerLeft() const { return m_margin; }
    int rulerRight() const { return m_clientWidth - m_margin; }
    // Ruler right minus ruler left, at least 1.
    int rulerWidth() const;

    // --- Scale (the zoom recomputation) -----------------------------------
    int level() const { return m_level; }
    const ZoomLevel& zoom() const { return zoomLevel(m_level); }
    // Sets the level (0..7; others are ignored) and recomputes the scale.
    bool setLevel(int level);
    double pixelsPerDivision() const { return m_pixelsPerDivision; }
    double pixelsPerSecond() const { return m_pixelsPerSecond; }
    double secondsPerPixel() const { return m_secondsPerPixel; }
    // Seconds across the whole ruler at this level (the ruler width times
    // the seconds per pixel, which is exactly divisions x seconds per
    // division; kept whole so that rounding noise cannot lose a second).
    std::int64_t rulerSeconds() const;

    // --- Times ------------------------------------------------------------
    const platform::DateTime& dayStart() const { return m_dayStart; }
    const platform::DateTime& dayEnd() const { return m_dayEnd; }
    const platform::DateTime& viewStart() const { return m_viewStart; }
    const platform::DateTime& viewEnd() const { return m_viewEnd; }
    const platform::DateTime& cursorTime() const { return m_cursorTime; }
    double cursorX() const { return m_cursorX; }

    // Day and view both become [start, end]; level 0. Invalid times are ignored.
    void setDayRange(const platform::DateTime& start, const platform::DateTime& end);
    // The view becomes [start, end]; the cursor x follows its time.
    void setViewRange(const platform::DateTime& start, const platform::DateTime& end);
    void setCursorTime(const platform::DateTime& time) { if (time.isValid()) m_cursorTime = time; }
    void setCursorX(double x) { m_cursorX = x; }
    // Cursor x = the x of the cursor time.
    void placeCursorAtTime() { m_cursorX = xOfTime(m_cursorTime); }

    // x of a time: whole seconds from the view start times the pixels per
    // second, plus the margin.
    double xOfTime(const platform::DateTime& time) const;
    // Time at a position: the view start plus (x - margin) x seconds per
    // pixel, plus a half, truncated toward zero.
    platform::DateTime timeAtX(double x) const;

    // --- View moves ---------------------------------------------------------
    // Those that end with the view notice return its answer: true when the
    // parent is to be told the new view start.
    //
    // After a level change: recentre the view on the cursor so that the
    // cursor's time keeps its pixel, clamped into the day; then the view
    // notice.
    bool recentreOnCursor();
    // Shifts the view by a number of seconds, clamped at the day's ends,
    // then the view notice.
    bool shiftView(Direction direction, std::int64_t secondsToShift);
    // After the cursor time changed: pages the view so that it holds the
    // cursor (at level 0 the view is the whole day and nothing moves).
    // Returns true when the parent is to be told the new view start.
    bool keepCursorInView();
    // The view notice: at level 0 the view becomes the whole day and the
    // parent hears nothing; at other levels the parent is told the view
    // start. Returns whether to tell it.
    bool viewNotice();

private:
    void recomputeScale();

    int m_clientWidth = 0;
    int m_margin = kInitialMargin;
    int m_level = 0;
    double m_pixelsPerDivision = 0;
    double m_pixelsPerSecond = 0;
    double m_secondsPerPixel = 0;
    platform::DateTime m_dayStart, m_dayEnd, m_viewStart, m_viewEnd, m_cursorTime;
    double m_cursorX = kInitialMargin;
};

}  // namespace timeline
