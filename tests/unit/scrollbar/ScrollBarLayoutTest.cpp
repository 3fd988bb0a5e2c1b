// SPDX-License-Identifier: GPL-3.0-or-later
// Where a scroll bar's parts lie, which part a point hits and which
// position a pointer means, for several sizes, orientations and ranges.
#include "widgets/ScrollBarLayout.h"
#include "widgets/ScrollInfo.h"

#include <gtest/gtest.h>

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
ScrollBarLayout makeLayout(bool horizontal, int length, int thickness, const ScrollRange& range)
{
    return ScrollBarLayout(horizontal ? QSize(length, thickness) : QSize(thickness, length), horizontal, true, range);
}

}  // namespace

// (horizontal, length, thickness)
class ScrollBarSizes : public ::testing::TestWithParam<std::tuple<bool, int, int>> {};

TEST_P(ScrollBarSizes, FiveUnitsWithAOneUnitPageGiveAFifthOfTheTrackPerStep)
{
    const auto [horizontal, length, thickness] = GetParam();
    for (int pos = 0; pos <= 4; ++pos) {
        const ScrollBarLayout l = makeLayout(horizontal, length, thickness, makeRange(0, 4, 1, pos));
        EXPECT_EQ(l.arrowLength(), thickness);
        ASSERT_EQ(l.trackLength(), length - 2 * thickness);
        EXPECT_EQ(l.thumbLength(), roundHalfTowardZero(l.trackLength() / 5.0));
        EXPECT_EQ(l.thumbStart(), l.trackStart() + roundHalfTowardZero(pos * l.trackLength() / 5.0)) << pos;
        EXPECT_LE(l.thumbEnd(), l.trackEnd());
    }
}

// Every boundary pixel between two parts belongs to the part after it.
TEST_P(ScrollBarSizes, HitTestAtPartBoundaries)
{
    const auto [horizontal, length, thickness] = GetParam();
    const ScrollBarLayout l = makeLayout(horizontal, length, thickness, makeRange(0, 99, 10, 40));
    ASSERT_TRUE(l.hasThumb());
    const auto hit = [&](int along, int across) {
        return l.hitTest(horizontal ? QPoint(along, across) : QPoint(across, along));
    };
    const int mid = thickness / 2;
    const std::tuple<int, ScrollPart> cases[] = {
        {-1, ScrollPart::None},
        {0, ScrollPart::FirstArrow},
        {l.arrowLength() - 1, ScrollPart::FirstArrow},
        {l.trackStart(), ScrollPart::TrackBefore},
        {l.thumbStart() - 1, ScrollPart::TrackBefore},
        {l.thumbStart(), ScrollPart::Thumb},
        {l.thumbEnd() - 1, ScrollPart::Thumb},
        {l.thumbEnd(), ScrollPart::TrackAfter},
        {l.trackEnd() - 1, ScrollPart::TrackAfter},
        {l.trackEnd(), ScrollPart::SecondArrow},
        {length - 1, ScrollPart::SecondArrow},
        {length, ScrollPart::None},
    };
    for (const auto& [along, part] : cases)
        EXPECT_EQ(hit(along, mid), part) << along;
    EXPECT_EQ(hit(l.thumbStart(), thickness - 1), ScrollPart::Thumb);
    EXPECT_EQ(hit(l.thumbStart(), thickness), ScrollPart::None);
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
    EXPECT_EQ(l.dragPosition(l.thumbStart() + grab, grab), 10);  // grabbed, not moved
}

INSTANTIATE_TEST_SUITE_P(Bars, ScrollBarSizes,
                         ::testing::Values(std::make_tuple(false, 200, 13), std::make_tuple(true, 200, 13),
                                           std::make_tuple(false, 301, 17), std::make_tuple(true, 640, 10),
                                           std::make_tuple(true, 97, 13)));

TEST(ScrollBarLayout, ArrowsAtMostHalfTheBarAndNoThumbOnAShortTrackOrWhenDisabled)
{
    const ScrollRange range = makeRange(0, 10, 1, 5);
    EXPECT_EQ(ScrollBarLayout(QSize(13, 200), false, true, range, 30).arrowLength(), 30);
    const ScrollBarLayout tiny(QSize(21, 13), true, true, range);
    EXPECT_EQ(tiny.arrowLength(), 10);
    EXPECT_EQ(tiny.hitTest(QPoint(10, 5)), ScrollPart::TrackBefore);
    EXPECT_FALSE(ScrollBarLayout(QSize(13 * 2 + 8, 13), true, true, range).hasThumb());
    EXPECT_EQ(ScrollBarLayout(QSize(13 * 2 + 9, 13), true, true, range).thumbLength(), 8);
    for (const ScrollBarLayout& l : {ScrollBarLayout(QSize(13, 200), false, false, range),
                                     ScrollBarLayout(QSize(13, 200), false, true, makeRange(7, 7, 1, 7))}) {
        EXPECT_FALSE(l.hasThumb());
        EXPECT_EQ(l.partRect(ScrollPart::TrackBefore), QRect(0, 13, 13, 174));  // the whole track
        EXPECT_TRUE(l.partRect(ScrollPart::TrackAfter).isEmpty());
        EXPECT_EQ(l.dragPosition(150, 0), l.scrollHerePosition(150));  // both stay put
    }
}

// A thumb shorter than the minimum grows to it, and its start moves back by
// the grown share of its way, so that it ends at the track's end at the
// maximum position.
class ShortThumb : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(ShortThumb, GrowsToTheMinimumAndStaysInsideTheTrack)
{
    const auto [length, maximum] = GetParam();
    for (int pos : {0, 1, maximum / 3, maximum / 2, maximum - 1, maximum}) {
        const ScrollBarLayout l(QSize(13, length), false, true, makeRange(0, maximum, 1, pos));
        const double ppu = l.trackLength() / (maximum + 1.0);
        const int natural = roundHalfTowardZero(ppu);
        ASSERT_LT(natural, 8);
        EXPECT_EQ(l.thumbLength(), 8);
        const int start = roundHalfTowardZero(pos * ppu);
        const int corrected = start - roundHalfTowardZero((8.0 - natural) / l.trackLength() * start);
        EXPECT_EQ(l.thumbStart() - l.trackStart(), std::min(corrected, l.trackLength() - 8)) << pos;
        if (pos == maximum) {
            EXPECT_EQ(l.thumbEnd(), l.trackEnd());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, ShortThumb,
                         ::testing::Values(std::make_tuple(200, 999), std::make_tuple(200, 40),
                                           std::make_tuple(60, 20), std::make_tuple(1000, 100000)));

// 46 pixels with 13-pixel arrows: a 20-pixel track, 2 pixels a unit.
TEST(ScrollBarLayout, DragPositionRoundsHalvesTowardZeroFromTheMinimum)
{
    for (const int minimum : {0, -5}) {
        const ScrollBarLayout l(QSize(46, 13), true, true, makeRange(minimum, minimum + 9, 1, minimum));
        ASSERT_DOUBLE_EQ(l.pixelsPerUnit(), 2.0);
        const int at = l.trackStart() + 1;  // grabbed 1 pixel in, thumb on the track's start
        const std::pair<int, int> moves[] = {{1, 0}, {2, 1}, {3, 1}, {5, 2}, {6, 3}, {19, 9}};
        for (const auto& [pixels, units] : moves)
            EXPECT_EQ(l.dragPosition(at + pixels, 1), minimum + units) << pixels;
    }
}

TEST(ScrollBarLayout, ScrollHereCountsFromTheFirstArrowsEnd)
{
    const ScrollRange range = makeRange(100, 199, 10, 150);
    const ScrollBarLayout l(QSize(213, 13), true, true, range);  // 187-pixel track, 1.87 a unit
    EXPECT_EQ(l.scrollHerePosition(0), 100);
    EXPECT_EQ(l.scrollHerePosition(l.trackStart() + 20), 111);   // 10.7
    EXPECT_EQ(l.scrollHerePosition(l.trackStart() + 150), 180);  // 80.2
    EXPECT_EQ(l.scrollHerePosition(500), range.maxPosition());
}
