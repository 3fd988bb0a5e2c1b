// SPDX-License-Identifier: GPL-3.0-or-later
// Range, page and position rules of a scroll bar, and its rounding.
#include "widgets/ScrollBarLayout.h"
#include "widgets/ScrollInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <tuple>

using widgets::roundHalfTowardZero;
using widgets::ScrollRange;

TEST(ScrollRounding, HalvesGoTowardZeroOthersToNearest)
{
    const std::pair<double, int> cases[] = {{2.5, 2},   {-2.5, -2}, {2.5001, 3},   {-2.5001, -3},
                                            {0.5, 0},   {-0.7, -1}, {34.8, 35},    {1e12, INT_MAX}};
    for (const auto& [value, rounded] : cases)
        EXPECT_EQ(roundHalfTowardZero(value), rounded) << value;
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
    for (int pos : {INT_MIN, minimum, minimum / 2 + maximum / 2, limit, limit + 1, INT_MAX}) {
        r.setPosition(pos);
        EXPECT_EQ(r.position(), std::clamp(pos, minimum, limit)) << pos;
    }
}

INSTANTIATE_TEST_SUITE_P(Ranges, ScrollRangePage,
                         ::testing::Values(std::make_tuple(0, 4, 1u), std::make_tuple(0, 4, 9u),
                                           std::make_tuple(0, 1, 2u), std::make_tuple(-50, 50, 1000u),
                                           std::make_tuple(10, 10, 3u), std::make_tuple(0, 100, 0u),
                                           std::make_tuple(INT_MIN, INT_MAX, 4000000000u)));

TEST(ScrollRange, SetRangeRaisesALowMaximumAndReturnsTheOldPositionOnlyWhenItMoved)
{
    ScrollRange r;
    r.setRange(0, 100);
    r.setPosition(70);
    EXPECT_EQ(r.setRange(0, 200), 0);  // 70 still fits
    EXPECT_EQ(r.setRange(0, 30), 70);
    EXPECT_EQ(r.position(), 30);
    EXPECT_EQ(r.setRange(50, 5), 30);
    EXPECT_EQ(r.maximum(), 50);
    EXPECT_EQ(r.position(), 50);
}

TEST(ScrollRange, ApplyTakesOnlyTheMaskedFieldsThenClamps)
{
    ScrollRange r;
    r.apply(SIF_ALL, 0, 100, 10, 40);
    r.apply(SIF_POS, 500, 600, 99, 50);
    EXPECT_EQ(std::make_tuple(r.minimum(), r.maximum(), r.page(), r.position()), std::make_tuple(0, 100, 10u, 50));
    r.apply(SIF_PAGE, 0, 0, 80, 0);
    EXPECT_EQ(r.position(), 21);  // 100 - 80 + 1
    r.apply(SIF_RANGE, 5, 8, 0, 0);
    EXPECT_EQ(r.page(), 4u);
    EXPECT_EQ(r.position(), 5);
}
