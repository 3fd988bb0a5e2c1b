// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/TimelineScale.h"

#include <algorithm>
#include <cmath>

namespace timeline {

namespace {

constexpr ZoomLevel kZoomTable[kMaxLevel + 1] = {
    {"24H", 12, 120, 7200, 2}, {"12H", 12, 60, 3600, 6}, {"6H", 6, 60, 3600, 6}, {"3H", 9, 20, 1200, 10},
    {"1H", 10, 6, 360, 6},     {"30M", 10, 3, 180, 6},   {"10M", 10, 1, 60, 6},  {"5M", 5, 1, 30, 6},
};

// The day holding a moment: 00:00:00 and 23:59:59 of its date.
void dayOf(const platform::DateTime& time, platform::DateTime& start, platform::DateTime& end)
{
    const platform::SystemTime t = time.toSystemTime();
    start = platform::DateTime::fromParts(t.year, t.month, t.day, 0, 0, 0);
    end = platform::DateTime::fromParts(t.year, t.month, t.day, 23, 59, 59);
}

bool before(const platform::DateTime& a, const platform::DateTime& b)
{
    return seconds(a, b) > 0;
}

}  // namespace

const ZoomLevel& zoomLevel(int level)
{
    return kZoomTable[std::clamp(level, kMinLevel, kMaxLevel)];
}

TimelineScale::TimelineScale(const platform::DateTime& today)
{
    dayOf(today, m_dayStart, m_dayEnd);
    m_viewStart = m_dayStart;
    m_viewEnd = m_dayEnd;
    m_cursorTime = m_dayStart;
    recomputeScale();
}

void TimelineScale::setClientWidth(int width)
{
    m_clientWidth = width;
    recomputeScale();
}

void TimelineScale::setMargin(int margin)
{
    m_margin = margin;
    recomputeScale();
}

int TimelineScale::rulerWidth() const
{
    return std::max(1, rulerRight() - rulerLeft());
}

bool TimelineScale::setLevel(int level)
{
    if (level < kMinLevel || level > kMaxLevel)
        return false;
    m_level = level;
    recomputeScale();
    return true;
}

void TimelineScale::recomputeScale()
{
    const ZoomLevel& z = zoom();
    m_pixelsPerDivision = static_cast<double>(rulerWidth()) / z.divisions;
    m_pixelsPerSecond = m_pixelsPerDivision / (z.minutesPerDivision * 60);
    m_secondsPerPixel = (z.minutesPerDivision * 60) / m_pixelsPerDivision;
}

std::int64_t TimelineScale::rulerSeconds() const
{
    return static_cast<std::int64_t>(zoom().divisions) * zoom().minutesPerDivision * 60;
}

void TimelineScale::setDayRange(const platform::DateTime& start, const platform::DateTime& end)
{
    if (!start.isValid() || !end.isValid())
        return;
    m_dayStart = m_viewStart = start;
    m_dayEnd = m_viewEnd = end;
    setLevel(0);
}

void TimelineScale::setViewRange(const platform::DateTime& start, const platform::DateTime& end)
{
    if (!start.isValid() || !end.isValid())
        return;
    m_viewStart = start;
    m_viewEnd = end;
    placeCursorAtTime();
}

double TimelineScale::xOfTime(const platform::DateTime& time) const
{
    return static_cast<double>(seconds(m_viewStart, time)) * m_pixelsPerSecond + m_margin;
}

platform::DateTime TimelineScale::timeAtX(double x) const
{
    const double offset = std::trunc((x - m_margin) * m_secondsPerPixel + 0.5);
    return m_viewStart.addSeconds(static_cast<std::int64_t>(offset));
}

bool TimelineScale::recentreOnCursor()
{
    const auto left = static_cast<std::int64_t>(std::trunc((m_cursorX - m_margin) * m_secondsPerPixel));
    const auto right = static_cast<std::int64_t>(std::trunc((rulerRight() - m_cursorX) * m_secondsPerPixel));
    platform::DateTime start = m_cursorTime.addSeconds(-left);
    platform::DateTime end = m_cursorTime.addSeconds(right - 1);
    if (before(start, m_dayStart)) {
        start = m_dayStart;
        end = m_dayStart.addSeconds(rulerSeconds());
    } else if (before(m_dayEnd, end)) {
        end = m_dayEnd;
        start = m_dayEnd.addSeconds(-rulerSeconds());
    }
    if (start.isValid() && end.isValid()) {
        m_viewStart = start;
        m_viewEnd = end;
    }
    return viewNotice();
}

bool TimelineScale::shiftView(Direction direction, std::int64_t secondsToShift)
{
    if (direction == Direction::Earlier) {
        m_viewStart = m_viewStart.addSeconds(-secondsToShift);
        m_viewEnd = m_viewEnd.addSeconds(-secondsToShift);
        if (before(m_viewStart, m_dayStart)) {
            m_viewStart = m_dayStart;
            m_viewEnd = m_viewStart.addSeconds(rulerSeconds());
        }
    } else {
        m_viewStart = m_viewStart.addSeconds(secondsToShift);
        m_viewEnd = m_viewEnd.addSeconds(secondsToShift);
        if (before(m_dayEnd, m_viewEnd)) {
            m_viewEnd = m_dayEnd;
            m_viewStart = m_viewEnd.addSeconds(-rulerSeconds());
        }
    }
    return viewNotice();
}

bool TimelineScale::keepCursorInView()
{
    if (before(m_viewEnd, m_cursorTime) && !before(m_dayEnd, m_cursorTime))
        return shiftView(Direction::Later, seconds(m_viewEnd, m_cursorTime));
    if (before(m_cursorTime, m_viewStart) && !before(m_cursorTime, m_dayStart)) {
        const bool notify = shiftView(Direction::Earlier, seconds(m_cursorTime, m_viewStart));
        m_cursorX = rulerLeft();
        return notify;
    }
    return false;
}

bool TimelineScale::viewNotice()
{
    if (m_level == 0) {
        m_viewStart = m_dayStart;
        m_viewEnd = m_dayEnd;
        return false;
    }
    return true;
}

}  // namespace timeline
