// SPDX-License-Identifier: GPL-3.0-or-later
// Range, page and position rules of a scroll bar, and its rounding.
#include "widgets/ScrollBarLayout.h"
#include "widgets/ScrollInfo.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

using widgets::roundHalfTowardZero;
using widgets::ScrollRange;

TEST(ScrollRounding, HalvesGoTowardZeroOthersToNearest)
{
    EXPECT_EQ(roundHalfTowardZero(2.5), 2);
    EXPECT_EQ(roundHalfTowardZero(-2.5), -2);
    EXPECT_EQ(roundHalfTowardZero(2.5001), 3);
    EXPECT_EQ(roundHalfTowardZero(-2.5001), -3);
    EXPECT_EQ(roundHalfTowardZero(2.4999), 2);
    EXPECT_EQ(roundHalfTowardZero(0.5), 0);
    EXPECT_EQ(roundHalfTowardZero(-0.7), -1);
    EXPECT_EQ(roundHalfTowardZero(34.8), 35);
    EXPECT_EQ(roundHalfTowardZero(1e12), INT_MAX);
    EXPECT_EQ(roundHalfTowardZero(-1e12), INT_MIN);
}

TEST(ScrollRange, StartsEmptyWithAOneUnitPage)
{
    ScrollRange r;
    EXPECT_EQ(r.minimum(), 0);
    EXPECT_EQ(r.maximum(), 0);
    EXPECT_EQ(r.page(), 1u);
    EXPECT_EQ(r.position(), 0);
    EXPECT_EQ(r.maxPosition(), 0);
}

// (minimum, maximum, page): a page beyond the range is cut to range + 1 and
// every position lands within minimum..maximum - page + 1.
class ScrollRangePage : public ::testing::TestWithParam<std::tuple<int, int, unsigned>> {};

TEST_P(ScrollRangePage, PageIsCutAndPositionStaysWithinTheLimit)
{
    const auto [minimum, maximum, page] = GetParam();
    ScrollRange r;
    r.apply(SIF_RANGE | SIF_PAGE, minimum, maximum, page, 0);
    const long long rangePlusOne = static_cast<long long>(maximum) - minimum + 1;
    EXPECT_EQ(static_cast<long long>(r.page()), std::min<long long>(page, rangePlusOne));
    const int limit = page == 0 ? maximum : static_cast<int>(maximum - static_cast<long long>(r.page()) + 1);
    EXPECT_EQ(r.maxPosition(), limit);
    for (int pos : {INT_MIN, minimum - 1, minimum, (minimum / 2 + maximum / 2), limit, limit + 1, maximum, INT_MAX}) {
        r.setPosition(pos);
        EXPECT_GE(r.position(), minimum) << pos;
        EXPECT_LE(r.position(), limit) << pos;
        if (pos >= minimum && pos <= limit) {
            EXPECT_EQ(r.position(), pos);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Ranges, ScrollRangePage,
                         ::testing::Values(std::make_tuple(0, 4, 1u), std::make_tuple(0, 4, 5u),
                                           std::make_tuple(0, 4, 9u), std::make_tuple(0, 1, 2u),
                                           std::make_tuple(-50, 50, 10u), std::make_tuple(-50, 50, 1000u),
                                           std::make_tuple(10, 10, 3u), std::make_tuple(0, 100, 0u),
                                           std::make_tuple(INT_MIN, INT_MAX, 4000000000u),
                                           std::make_tuple(INT_MIN, INT_MAX, 0u)));

TEST(ScrollRange, SetRangeRaisesAMaximumBelowTheMinimumAndClampsThePosition)
{
    ScrollRange r;
    r.setRange(-5, 5);
    r.setPosition(3);
    EXPECT_EQ(r.setRange(20, 5), 3);
    EXPECT_EQ(r.minimum(), 20);
    EXPECT_EQ(r.maximum(), 20);
    EXPECT_EQ(r.page(), 1u);
    EXPECT_EQ(r.position(), 20);
}

TEST(ScrollRange, SetRangeReturnsTheOldPositionOnlyWhenItChanged)
{
    ScrollRange r;
    r.setRange(0, 100);
    r.setPosition(70);
    EXPECT_EQ(r.setRange(0, 200), 0);  // 70 still fits
    EXPECT_EQ(r.position(), 70);
    EXPECT_EQ(r.setRange(0, 30), 70);  // 70 no longer fits
    EXPECT_EQ(r.position(), 30);
    r.apply(SIF_PAGE, 0, 0, 11, 0);
    EXPECT_EQ(r.position(), 20);
}

TEST(ScrollRange, SetPositionReturnsTheOldOne)
{
    ScrollRange r;
    r.setRange(-10, 10);
    EXPECT_EQ(r.setPosition(5), 0);
    EXPECT_EQ(r.setPosition(99), 5);
    EXPECT_EQ(r.position(), 10);
}

TEST(ScrollRange, ApplyTakesOnlyTheMaskedFields)
{
    ScrollRange r;
    r.apply(SIF_ALL, 0, 100, 10, 40);
    r.apply(SIF_POS, 500, 600, 99, 50);
    EXPECT_EQ(r.minimum(), 0);
    EXPECT_EQ(r.maximum(), 100);
    EXPECT_EQ(r.page(), 10u);
    EXPECT_EQ(r.position(), 50);
    r.apply(SIF_PAGE, 0, 0, 30, 0);
    EXPECT_EQ(r.page(), 30u);
    EXPECT_EQ(r.position(), 50);
    r.apply(SIF_PAGE, 0, 0, 80, 0);
    EXPECT_EQ(r.position(), 21);  // 100 - 80 + 1
    r.apply(SIF_RANGE, 5, 8, 0, 0);
    EXPECT_EQ(r.page(), 4u);
    EXPECT_EQ(r.position(), 5);
}

TEST(ScrollRange, PageLeavesScrollOnlyWhenShorterThanTheRange)
{
    ScrollRange r;
    r.apply(SIF_RANGE | SIF_PAGE, 0, 4, 3, 0);
    EXPECT_TRUE(r.pageLeavesScroll());
    r.apply(SIF_PAGE, 0, 0, 4, 0);
    EXPECT_FALSE(r.pageLeavesScroll());
    r.apply(SIF_RANGE | SIF_PAGE, INT_MIN, INT_MAX, 4000000000u, 0);
    EXPECT_TRUE(r.pageLeavesScroll());
}
