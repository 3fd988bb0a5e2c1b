// SPDX-License-Identifier: GPL-3.0-or-later
// Where a scroll bar's parts lie, which part a point hits and which
// position a pointer means, for several sizes, orientations and ranges.
#include "widgets/ScrollBarLayout.h"
#include "widgets/ScrollInfo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

using widgets::roundHalfTowardZero;
using widgets::ScrollBarLayout;
using widgets::ScrollPart;
using widgets::ScrollRange;

namespace {

ScrollRange makeRange(int minimum, int maximum, unsigned page, int pos)
{
    ScrollRange r;
    r.apply(SIF_ALL, minimum, maximum, page, pos);
    return r;
}

// A bar of the given length along its axis and thickness across it.
ScrollBarLayout makeLayout(bool horizontal, int length, int thickness, const ScrollRange& range, bool enabled = true)
{
    const QSize size = horizontal ? QSize(length, thickness) : QSize(thickness, length);
    return ScrollBarLayout(size, horizontal, enabled, range);
}

QPoint pointAt(const ScrollBarLayout& l, int along)
{
    const int across = l.thickness() / 2;
    return l.horizontal() ? QPoint(along, across) : QPoint(across, along);
}

}  // namespace

// (horizontal, length, thickness)
class ScrollBarSizes : public ::testing::TestWithParam<std::tuple<bool, int, int>> {};

TEST_P(ScrollBarSizes, FiveUnitsWithAOneUnitPageGiveAFifthOfTheTrack)
{
    const auto [horizontal, length, thickness] = GetParam();
    const ScrollBarLayout l = makeLayout(horizontal, length, thickness, makeRange(0, 4, 1, 0));
    EXPECT_EQ(l.arrowLength(), thickness);
    EXPECT_EQ(l.trackLength(), length - 2 * thickness);
    ASSERT_TRUE(l.hasThumb());
    EXPECT_EQ(l.thumbLength(), roundHalfTowardZero(l.trackLength() / 5.0));
    EXPECT_EQ(l.thumbStart(), l.trackStart());
}

TEST_P(ScrollBarSizes, ThumbStartFollowsThePositionAndTheLastReachesTheTrackEnd)
{
    const auto [horizontal, length, thickness] = GetParam();
    for (int pos = 0; pos <= 4; ++pos) {
        const ScrollBarLayout l = makeLayout(horizontal, length, thickness, makeRange(0, 4, 1, pos));
        const double ppu = l.trackLength() / 5.0;
        EXPECT_DOUBLE_EQ(l.pixelsPerUnit(), ppu);
        EXPECT_EQ(l.thumbStart(), l.trackStart() + roundHalfTowardZero(pos * ppu)) << pos;
        EXPECT_LE(l.thumbEnd(), l.trackEnd());
    }
}

TEST_P(ScrollBarSizes, ThePartsTileTheBarWithoutGapsOrOverlaps)
{
    const auto [horizontal, length, thickness] = GetParam();
    const ScrollBarLayout l = makeLayout(horizontal, length, thickness, makeRange(-20, 80, 10, 33));
    const ScrollPart order[] = {ScrollPart::FirstArrow, ScrollPart::TrackBefore, ScrollPart::Thumb,
                                ScrollPart::TrackAfter, ScrollPart::SecondArrow};
    int next = 0;
    for (ScrollPart part : order) {
        const QRect r = l.partRect(part);
        ASSERT_FALSE(r.isEmpty()) << static_cast<int>(part);
        EXPECT_EQ(l.along(r.topLeft()), next);
        EXPECT_EQ(horizontal ? r.height() : r.width(), thickness);
        next = l.along(r.bottomRight()) + 1;
    }
    EXPECT_EQ(next, length);
}

// Every boundary pixel between two parts belongs to the part after it.
TEST_P(ScrollBarSizes, HitTestAtPartBoundaries)
{
    const auto [horizontal, length, thickness] = GetParam();
    const ScrollBarLayout l = makeLayout(horizontal, length, thickness, makeRange(0, 99, 10, 40));
    ASSERT_TRUE(l.hasThumb());
    const auto hit = [&](int along) { return l.hitTest(pointAt(l, along)); };
    EXPECT_EQ(hit(-1), ScrollPart::None);
    EXPECT_EQ(hit(0), ScrollPart::FirstArrow);
    EXPECT_EQ(hit(l.arrowLength() - 1), ScrollPart::FirstArrow);
    EXPECT_EQ(hit(l.trackStart()), ScrollPart::TrackBefore);
    EXPECT_EQ(hit(l.thumbStart() - 1), ScrollPart::TrackBefore);
    EXPECT_EQ(hit(l.thumbStart()), ScrollPart::Thumb);
    EXPECT_EQ(hit(l.thumbEnd() - 1), ScrollPart::Thumb);
    EXPECT_EQ(hit(l.thumbEnd()), ScrollPart::TrackAfter);
    EXPECT_EQ(hit(l.trackEnd() - 1), ScrollPart::TrackAfter);
    EXPECT_EQ(hit(l.trackEnd()), ScrollPart::SecondArrow);
    EXPECT_EQ(hit(length - 1), ScrollPart::SecondArrow);
    EXPECT_EQ(hit(length), ScrollPart::None);
    // Across the axis: the last row or column is inside, the next is not.
    const QPoint inside = horizontal ? QPoint(l.thumbStart(), thickness - 1) : QPoint(thickness - 1, l.thumbStart());
    const QPoint outside = horizontal ? QPoint(l.thumbStart(), thickness) : QPoint(thickness, l.thumbStart());
    EXPECT_EQ(l.hitTest(inside), ScrollPart::Thumb);
    EXPECT_EQ(l.hitTest(outside), ScrollPart::None);
}

TEST_P(ScrollBarSizes, DraggingPastTheTrackEndsKeepsTheLimits)
{
    const auto [horizontal, length, thickness] = GetParam();
    const ScrollRange range = makeRange(-30, 70, 20, 10);
    const ScrollBarLayout l = makeLayout(horizontal, length, thickness, range);
    const int grab = l.thumbLength() / 2;
    EXPECT_EQ(l.dragPosition(length + 500, grab), range.maxPosition());
    EXPECT_EQ(l.dragPosition(l.trackEnd() - l.thumbLength() + grab, grab), range.maxPosition());
    EXPECT_EQ(l.dragPosition(-500, grab), -30);
    // Grabbed and not moved: the position stays.
    EXPECT_EQ(l.dragPosition(l.thumbStart() + grab, grab), 10);
}

INSTANTIATE_TEST_SUITE_P(Bars, ScrollBarSizes,
                         ::testing::Values(std::make_tuple(false, 200, 13), std::make_tuple(true, 200, 13),
                                           std::make_tuple(false, 301, 17), std::make_tuple(true, 640, 10),
                                           std::make_tuple(true, 97, 13)));

TEST(ScrollBarLayout, ArrowsTakeTheThicknessOrTheSetLengthButAtMostHalfTheBar)
{
    const ScrollRange range = makeRange(0, 10, 1, 0);
    EXPECT_EQ(ScrollBarLayout(QSize(200, 13), true, true, range).arrowLength(), 13);
    EXPECT_EQ(ScrollBarLayout(QSize(200, 13), true, true, range, 30).arrowLength(), 30);
    EXPECT_EQ(ScrollBarLayout(QSize(13, 200), false, true, range, 30).arrowLength(), 30);
    const ScrollBarLayout tiny(QSize(21, 13), true, true, range);
    EXPECT_EQ(tiny.arrowLength(), 10);
    EXPECT_EQ(tiny.trackLength(), 1);
    EXPECT_FALSE(tiny.hasThumb());
    EXPECT_EQ(tiny.hitTest(QPoint(10, 5)), ScrollPart::TrackBefore);
    EXPECT_EQ(tiny.hitTest(QPoint(11, 5)), ScrollPart::SecondArrow);
}

TEST(ScrollBarLayout, ATrackOfTheMinimumThumbOrShorterHasNoThumb)
{
    const ScrollRange range = makeRange(0, 10, 1, 0);
    EXPECT_FALSE(ScrollBarLayout(QSize(13 * 2 + 8, 13), true, true, range).hasThumb());
    const ScrollBarLayout nine(QSize(13 * 2 + 9, 13), true, true, range);
    ASSERT_TRUE(nine.hasThumb());
    EXPECT_EQ(nine.thumbLength(), 8);
}

TEST(ScrollBarLayout, NoThumbWhenDisabledOrWithoutARange)
{
    for (const auto& [enabled, range] : {std::make_pair(false, makeRange(0, 10, 1, 5)),
                                          std::make_pair(true, makeRange(7, 7, 1, 7))}) {
        const ScrollBarLayout l(QSize(13, 200), false, enabled, range);
        EXPECT_FALSE(l.hasThumb());
        EXPECT_EQ(l.pixelsPerUnit(), 0.0);
        EXPECT_EQ(l.partRect(ScrollPart::TrackBefore), QRect(0, 13, 13, 174));
        EXPECT_TRUE(l.partRect(ScrollPart::TrackAfter).isEmpty());
        EXPECT_TRUE(l.partRect(ScrollPart::Thumb).isEmpty());
        EXPECT_EQ(l.hitTest(QPoint(6, 100)), ScrollPart::TrackBefore);
        EXPECT_EQ(l.dragPosition(150, 0), range.position());
        EXPECT_EQ(l.scrollHerePosition(150), range.position());
    }
}

// A thumb shorter than the minimum grows to it, and its start moves back by
// the grown share of its way: it starts at the track's start for the
// minimum and ends at the track's end for the maximum position.
class ShortThumb : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(ShortThumb, GrowsToTheMinimumAndStaysInsideTheTrack)
{
    const auto [length, maximum] = GetParam();
    for (int pos : {0, 1, maximum / 3, maximum / 2, maximum - 1, maximum}) {
        const ScrollBarLayout l(QSize(13, length), false, true, makeRange(0, maximum, 1, pos));
        ASSERT_TRUE(l.hasThumb());
        const double ppu = l.trackLength() / (maximum + 1.0);
        const int natural = roundHalfTowardZero(ppu);
        ASSERT_LT(natural, 8);
        EXPECT_EQ(l.thumbLength(), 8);
        const int start = roundHalfTowardZero(pos * ppu);
        const int corrected = start - roundHalfTowardZero((8.0 - natural) / l.trackLength() * start);
        EXPECT_EQ(l.thumbStart() - l.trackStart(), std::min(corrected, l.trackLength() - 8)) << pos;
        EXPECT_GE(l.thumbStart(), l.trackStart());
        EXPECT_LE(l.thumbEnd(), l.trackEnd());
    }
    const ScrollBarLayout last(QSize(13, length), false, true, makeRange(0, maximum, 1, maximum));
    EXPECT_EQ(last.thumbEnd(), last.trackEnd());
}

INSTANTIATE_TEST_SUITE_P(Lengths, ShortThumb,
                         ::testing::Values(std::make_tuple(200, 999), std::make_tuple(200, 40),
                                           std::make_tuple(60, 20), std::make_tuple(1000, 100000)));

TEST(ScrollBarLayout, DragPositionRoundsHalvesTowardZero)
{
    // 46 pixels with 13-pixel arrows: a 20-pixel track, 2 pixels a unit.
    const ScrollBarLayout l(QSize(46, 13), true, true, makeRange(0, 9, 1, 0));
    ASSERT_DOUBLE_EQ(l.pixelsPerUnit(), 2.0);
    const int grab = 1;
    const int at = l.trackStart() + grab;  // the thumb's start on the track's start
    EXPECT_EQ(l.dragPosition(at + 1, grab), 0);  // half a unit
    EXPECT_EQ(l.dragPosition(at + 2, grab), 1);
    EXPECT_EQ(l.dragPosition(at + 3, grab), 1);  // one and a half
    EXPECT_EQ(l.dragPosition(at + 5, grab), 2);  // two and a half
    EXPECT_EQ(l.dragPosition(at + 6, grab), 3);
    EXPECT_EQ(l.dragPosition(at + 18, grab), 9);
    EXPECT_EQ(l.dragPosition(at + 19, grab), 9);
}

TEST(ScrollBarLayout, DragPositionCountsFromANegativeMinimum)
{
    const ScrollBarLayout l(QSize(13, 46), false, true, makeRange(-5, 4, 3, 0));
    ASSERT_DOUBLE_EQ(l.pixelsPerUnit(), 2.0);
    EXPECT_EQ(l.dragPosition(l.trackStart() + 4, 0), -3);
    EXPECT_EQ(l.dragPosition(l.trackStart() + 18, 0), 2);  // max position 4 - 3 + 1
}

TEST(ScrollBarLayout, ScrollHereCountsFromTheFirstArrowsEnd)
{
    const ScrollRange range = makeRange(100, 199, 10, 150);
    const ScrollBarLayout l(QSize(213, 13), true, true, range);  // 187-pixel track, 1.87 a unit
    EXPECT_EQ(l.scrollHerePosition(0), 100);
    EXPECT_EQ(l.scrollHerePosition(l.trackStart()), 100);
    EXPECT_EQ(l.scrollHerePosition(l.trackStart() + 20), 100 + roundHalfTowardZero(20 / 1.87));
    EXPECT_EQ(l.scrollHerePosition(l.trackStart() + 150), 100 + roundHalfTowardZero(150 / 1.87));
    EXPECT_EQ(l.scrollHerePosition(l.trackEnd() - 1), range.maxPosition());
    EXPECT_EQ(l.scrollHerePosition(500), range.maxPosition());
}

TEST(ScrollBarLayout, AMovedThumbStaysInTheTrackAndTheTrackPartsFollow)
{
    ScrollBarLayout l(QSize(13, 200), false, true, makeRange(0, 4, 1, 0));
    l.moveThumbTo(100);
    EXPECT_EQ(l.thumbStart(), 100);
    EXPECT_EQ(l.partRect(ScrollPart::TrackBefore), QRect(0, 13, 13, 87));
    EXPECT_EQ(l.partRect(ScrollPart::TrackAfter), QRect(0, 135, 13, 52));
    l.moveThumbTo(1000);
    EXPECT_EQ(l.thumbEnd(), l.trackEnd());
    EXPECT_TRUE(l.partRect(ScrollPart::TrackAfter).isEmpty());
    l.moveThumbTo(-5);
    EXPECT_EQ(l.thumbStart(), l.trackStart());
    EXPECT_TRUE(l.partRect(ScrollPart::TrackBefore).isEmpty());
}
