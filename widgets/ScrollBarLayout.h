// SPDX-License-Identifier: GPL-3.0-or-later
// The maths of a scroll bar without a window: the range, page and position
// with their clamping (ScrollRange), and where the arrows, track and thumb
// lie for a client size, which part a point hits and which position a
// pointer means (ScrollBarLayout). CXeScrollBarBase keeps one of each and
// lays out again whenever its size, enabled state, range or position
// changes. Coordinates are the bar's client pixels; "along" is x for a
// horizontal bar and y for a vertical one.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>

namespace widgets {

// Parts of a scroll bar, numbered as the hit test reports them.
enum class ScrollPart : int {
    None = 0,
    FirstArrow = 1,   // left or top
    SecondArrow = 2,  // right or bottom
    TrackBefore = 3,  // between the first arrow and the thumb
    TrackAfter = 4,   // between the thumb and the second arrow
    Thumb = 5,
};

// Nearest integer; a fraction of exactly one half goes toward zero
// (2.5 -> 2, -2.5 -> -2, 2.51 -> 3). Values beyond int are cut to int.
int roundHalfTowardZero(double value);

// Range, page and position. Every change keeps: maximum >= minimum,
// page <= range + 1, minimum <= position <= maxPosition().
class ScrollRange {
public:
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    std::uint32_t page() const { return m_page; }
    int position() const { return m_position; }

    // maximum - page + 1 with a page, else maximum.
    int maxPosition() const;
    // The position nearest to pos within minimum..maxPosition().
    int clampPosition(int pos) const;
    // True while the page is shorter than maximum - minimum: the bar has
    // something to scroll (what a scroll-info update with the
    // disable-no-scroll flag enables the bar for).
    bool pageLeavesScroll() const;

    // Clamps and stores the position; returns the old one.
    int setPosition(int pos);
    // Sets the range (a maximum below the minimum is raised to it), cuts the
    // page and clamps the position. Returns the old position when the
    // position changed, else 0.
    int setRange(int minimum, int maximum);
    // A scroll-info update: the fields that mask (SIF_RANGE, SIF_PAGE,
    // SIF_POS) names, then the same corrections as setRange.
    void apply(std::uint32_t mask, int minimum, int maximum, std::uint32_t page, int pos);

private:
    void normalise();

    int m_minimum = 0;
    int m_maximum = 0;
    std::uint32_t m_page = 1;
    int m_position = 0;
};

class ScrollBarLayout {
public:
    static constexpr int kMinThumbLength = 8;

    ScrollBarLayout() = default;
    // arrowLength 0 means the bar's thickness. Without enabled, a valid range
    // (maximum > minimum) and a track longer than the minimum thumb there is
    // no thumb, and the first track part covers the whole track.
    ScrollBarLayout(QSize client, bool horizontal, bool enabled, const ScrollRange& range, int arrowLength = 0,
                    int minThumbLength = kMinThumbLength);

    bool horizontal() const { return m_horizontal; }
    int barLength() const { return m_barLength; }
    int thickness() const { return m_thickness; }
    int arrowLength() const { return m_arrowLength; }
    int trackStart() const { return m_arrowLength; }
    int trackEnd() const { return m_barLength - m_arrowLength; }
    int trackLength() const { return trackEnd() - trackStart(); }
    // Track pixels per unit of the range; 0 without a thumb.
    double pixelsPerUnit() const { return m_pixelsPerUnit; }

    bool hasThumb() const { return m_thumbLength > 0; }
    // Along the axis in client pixels (start inclusive, end exclusive).
    int thumbStart() const { return m_thumbStart; }
    int thumbEnd() const { return m_thumbStart + m_thumbLength; }
    int thumbLength() const { return m_thumbLength; }

    QRect clientRect() const;
    // An empty rectangle for a part that is not there.
    QRect partRect(ScrollPart part) const;

    // The part under a point: thumb, first arrow, second arrow, track
    // before, track after; None outside the client.
    ScrollPart hitTest(QPoint point) const;
    // The coordinate of a point along the bar's axis.
    int along(QPoint point) const { return m_horizontal ? point.x() : point.y(); }

    // The position a thumb drag means: the thumb's start at
    // pointer - grabOffset, converted back to units (halves toward zero) and
    // clamped to the range. The current position without a thumb.
    int dragPosition(int pointerAlong, int grabOffset) const;
    // The position "Scroll Here" at a point along the axis means: the
    // distance past the first arrow (never negative) in units, clamped.
    int scrollHerePosition(int pointAlong) const;
    // Puts the thumb's start at startAlong, kept inside the track (a dragged
    // thumb follows the pointer); the track parts follow. No-op without a
    // thumb.
    void moveThumbTo(int startAlong);

private:
    QRect span(int from, int to) const;

    bool m_horizontal = true;
    int m_barLength = 0;
    int m_thickness = 0;
    int m_arrowLength = 0;
    double m_pixelsPerUnit = 0.0;
    int m_thumbStart = 0;
    int m_thumbLength = 0;
    ScrollRange m_range;
};

}  // namespace widgets
