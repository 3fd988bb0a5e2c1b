// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/ScrollBarLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace widgets {

int roundHalfTowardZero(double value)
{
    double whole = std::trunc(value);
    const double fraction = value - whole;
    if (fraction > 0.5)
        whole += 1.0;
    else if (fraction < -0.5)
        whole -= 1.0;
    whole = std::clamp(whole, static_cast<double>(std::numeric_limits<int>::min()),
                       static_cast<double>(std::numeric_limits<int>::max()));
    return static_cast<int>(whole);
}

// --- ScrollRange -----------------------------------------------------------

int ScrollRange::maxPosition() const
{
    if (m_page == 0)
        return m_maximum;
    // page <= maximum - minimum + 1, so this stays within minimum..maximum.
    return static_cast<int>(static_cast<std::int64_t>(m_maximum) - m_page + 1);
}

int ScrollRange::clampPosition(int pos) const
{
    return std::clamp(pos, m_minimum, std::max(m_minimum, maxPosition()));
}

bool ScrollRange::pageLeavesScroll() const
{
    return static_cast<std::int64_t>(m_page) < static_cast<std::int64_t>(m_maximum) - m_minimum;
}

int ScrollRange::setPosition(int pos)
{
    const int old = m_position;
    m_position = clampPosition(pos);
    return old;
}

int ScrollRange::setRange(int minimum, int maximum)
{
    const int old = m_position;
    m_minimum = minimum;
    m_maximum = maximum;
    normalise();
    return m_position != old ? old : 0;
}

void ScrollRange::apply(std::uint32_t mask, int minimum, int maximum, std::uint32_t page, int pos)
{
    constexpr std::uint32_t kRange = 0x1, kPage = 0x2, kPos = 0x4;
    if (mask & kRange) {
        m_minimum = minimum;
        m_maximum = maximum;
    }
    if (mask & kPage)
        m_page = page;
    if (mask & kPos)
        m_position = pos;
    normalise();
}

void ScrollRange::normalise()
{
    m_maximum = std::max(m_maximum, m_minimum);
    const std::int64_t rangePlusOne = static_cast<std::int64_t>(m_maximum) - m_minimum + 1;
    if (static_cast<std::int64_t>(m_page) > rangePlusOne)
        m_page = static_cast<std::uint32_t>(rangePlusOne);
    m_position = clampPosition(m_position);
}

// --- ScrollBarLayout -------------------------------------------------------

ScrollBarLayout::ScrollBarLayout(QSize client, bool horizontal, bool enabled, const ScrollRange& range,
                                 int arrowLength, int minThumbLength)
    : m_horizontal(horizontal), m_range(range)
{
    m_barLength = std::max(0, horizontal ? client.width() : client.height());
    m_thickness = std::max(0, horizontal ? client.height() : client.width());
    m_arrowLength = std::min(arrowLength > 0 ? arrowLength : m_thickness, m_barLength / 2);
    m_thumbStart = trackStart();

    const int track = trackLength();
    if (!enabled || range.maximum() <= range.minimum() || track <= minThumbLength)
        return;
    const double units = static_cast<double>(std::abs(static_cast<std::int64_t>(range.maximum()) - range.minimum())) + 1.0;
    m_pixelsPerUnit = track / units;
    int start = roundHalfTowardZero((static_cast<double>(range.position()) - range.minimum()) * m_pixelsPerUnit);
    int length = roundHalfTowardZero(m_pixelsPerUnit * range.page());
    if (length < minThumbLength) {
        // A short thumb grows to the minimum; moving its start back by the
        // same share of its way keeps it reaching the track's end at the
        // maximum position.
        start -= roundHalfTowardZero(static_cast<double>(minThumbLength - length) / track * start);
        length = minThumbLength;
    }
    length = std::min(length, track);
    start = std::clamp(start, 0, track - length);
    m_thumbStart = trackStart() + start;
    m_thumbLength = length;
}

QRect ScrollBarLayout::span(int from, int to) const
{
    if (to <= from)
        return {};
    return m_horizontal ? QRect(from, 0, to - from, m_thickness) : QRect(0, from, m_thickness, to - from);
}

QRect ScrollBarLayout::clientRect() const
{
    return span(0, m_barLength);
}

QRect ScrollBarLayout::partRect(ScrollPart part) const
{
    switch (part) {
    case ScrollPart::FirstArrow:
        return span(0, m_arrowLength);
    case ScrollPart::SecondArrow:
        return span(trackEnd(), m_barLength);
    case ScrollPart::TrackBefore:
        return hasThumb() ? span(trackStart(), thumbStart()) : span(trackStart(), trackEnd());
    case ScrollPart::TrackAfter:
        return hasThumb() ? span(thumbEnd(), trackEnd()) : QRect();
    case ScrollPart::Thumb:
        return hasThumb() ? span(thumbStart(), thumbEnd()) : QRect();
    case ScrollPart::None:
        break;
    }
    return {};
}

ScrollPart ScrollBarLayout::hitTest(QPoint point) const
{
    if (!clientRect().contains(point))
        return ScrollPart::None;
    for (ScrollPart part : {ScrollPart::Thumb, ScrollPart::FirstArrow, ScrollPart::SecondArrow,
                            ScrollPart::TrackBefore, ScrollPart::TrackAfter}) {
        if (partRect(part).contains(point))
            return part;
    }
    return ScrollPart::None;
}

int ScrollBarLayout::dragPosition(int pointerAlong, int grabOffset) const
{
    if (m_pixelsPerUnit <= 0.0)
        return m_range.position();
    const double offset = static_cast<double>(pointerAlong) - grabOffset - trackStart();
    const double pos = m_range.minimum() + static_cast<double>(roundHalfTowardZero(offset / m_pixelsPerUnit));
    return m_range.clampPosition(static_cast<int>(std::clamp(
        pos, static_cast<double>(std::numeric_limits<int>::min()), static_cast<double>(std::numeric_limits<int>::max()))));
}

int ScrollBarLayout::scrollHerePosition(int pointAlong) const
{
    if (m_pixelsPerUnit <= 0.0)
        return m_range.position();
    const double offset = std::max(0.0, static_cast<double>(pointAlong) - trackStart());
    const double pos = m_range.minimum() + static_cast<double>(roundHalfTowardZero(offset / m_pixelsPerUnit));
    return m_range.clampPosition(static_cast<int>(std::min(pos, static_cast<double>(std::numeric_limits<int>::max()))));
}

void ScrollBarLayout::moveThumbTo(int startAlong)
{
    if (!hasThumb())
        return;
    m_thumbStart = std::clamp(startAlong, trackStart(), trackEnd() - m_thumbLength);
}

}  // namespace widgets
