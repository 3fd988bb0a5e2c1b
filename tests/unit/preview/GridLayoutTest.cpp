// SPDX-License-Identifier: GPL-3.0-or-later
// The grid's maths: the eight layouts' rectangles, paging, the single view
// and swapping windows in the order.
#include "preview/GridLayout.h"

#include <gtest/gtest.h>

using namespace preview;

namespace {

// A client of 642 x 482: the area is (1, 1) .. (641, 481), 640 x 480, so
// quarter cells are 160 x 120, third cells 213 x 160 and half cells 320 x 240.
const QRect kClient(0, 0, 642, 482);

QRect ltrb(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

}  // namespace

TEST(GridLayout, OneThreeAndFourWindows)
{
    EXPECT_EQ(layoutRects(1, kClient), std::vector<QRect>{ltrb(1, 1, 641, 481)});
    EXPECT_EQ(layoutRects(3, kClient),
              (std::vector<QRect>{ltrb(1, 1, 321, 481), ltrb(321, 1, 641, 241), ltrb(321, 241, 641, 481)}));
    EXPECT_EQ(layoutRects(4, kClient), (std::vector<QRect>{ltrb(1, 1, 321, 241), ltrb(321, 1, 641, 241),
                                                           ltrb(1, 241, 321, 481), ltrb(321, 241, 641, 481)}));
}

TEST(GridLayout, SixAndEightWindowsAroundOneLargeWindow)
{
    EXPECT_EQ(layoutRects(6, kClient),
              (std::vector<QRect>{ltrb(1, 1, 428, 321), ltrb(428, 1, 641, 161), ltrb(428, 161, 641, 321),
                                  ltrb(1, 321, 214, 481), ltrb(214, 321, 428, 481), ltrb(428, 321, 641, 481)}));
    EXPECT_EQ(layoutRects(8, kClient),
              (std::vector<QRect>{ltrb(1, 1, 481, 361), ltrb(481, 1, 641, 121), ltrb(481, 121, 641, 241),
                                  ltrb(481, 241, 641, 361), ltrb(1, 361, 161, 481), ltrb(161, 361, 321, 481),
                                  ltrb(321, 361, 481, 481), ltrb(481, 361, 641, 481)}));
}

TEST(GridLayout, NineWindowsGiveTheMiddleWhatRemains)
{
    // 643 x 483: thirds of 214 x 161; the middle column and row take 215 and 161.
    const std::vector<QRect> rects = layoutRects(9, QRect(0, 0, 645, 485));
    ASSERT_EQ(rects.size(), 9u);
    EXPECT_EQ(rects[0], ltrb(1, 1, 215, 162));
    EXPECT_EQ(rects[4], ltrb(215, 162, 430, 323));
    EXPECT_EQ(rects[8], ltrb(430, 323, 644, 484));
}

TEST(GridLayout, ThirteenWindowsAroundACentreBlock)
{
    const std::vector<QRect> rects = layoutRects(13, kClient);
    ASSERT_EQ(rects.size(), 13u);
    EXPECT_EQ(rects[0], QRect(1, 1, 160, 120));
    EXPECT_EQ(rects[3], QRect(481, 1, 159, 120));     // right column one pixel narrower
    EXPECT_EQ(rects[4], QRect(1, 121, 160, 120));
    EXPECT_EQ(rects[5], QRect(161, 121, 320, 240));   // the 2 x 2 block
    EXPECT_EQ(rects[6], QRect(481, 121, 159, 120));
    EXPECT_EQ(rects[7], QRect(1, 241, 160, 120));
    EXPECT_EQ(rects[8], QRect(481, 241, 159, 120));
    EXPECT_EQ(rects[9], QRect(1, 361, 160, 119));     // bottom row one pixel lower
    EXPECT_EQ(rects[12], QRect(481, 361, 159, 119));
}

TEST(GridLayout, SixteenWindowsGiveTheLastColumnAndRowTheRest)
{
    // 643 x 483: quarter cells of 161 x 121; the last column 160, the last row 120.
    const std::vector<QRect> rects = layoutRects(16, QRect(0, 0, 645, 485));
    ASSERT_EQ(rects.size(), 16u);
    EXPECT_EQ(rects[0], QRect(1, 1, 161, 121));
    EXPECT_EQ(rects[3], QRect(484, 1, 160, 121));
    EXPECT_EQ(rects[12], QRect(1, 364, 161, 120));
    EXPECT_EQ(rects[15], QRect(484, 364, 160, 120));
}

TEST(GridLayout, CountsAndCommandIdentifiers)
{
    for (int count : {1, 3, 4, 6, 8, 9, 13, 16}) {
        EXPECT_TRUE(isLayoutCount(count)) << count;
        EXPECT_EQ(layoutForCommandId(commandIdForLayout(count)), count);
        EXPECT_EQ(layoutRects(count, kClient).size(), static_cast<std::size_t>(count));
    }
    EXPECT_TRUE(layoutRects(5, kClient).empty());
    EXPECT_EQ(layoutForCommandId(187), 0);

    // ShowChannels: counts without a layout of their own show one window.
    const int expected[18] = {0, 1, 1, 3, 4, 1, 6, 1, 8, 9, 1, 1, 1, 13, 1, 1, 16, 0};
    for (std::uint32_t n = 0; n < 18; ++n)
        EXPECT_EQ(layoutForWindowCount(n), expected[n]) << n;
    EXPECT_EQ(layoutForWindowCount(0xFFFFFFFFu), 0);
}

TEST(GridLayout, SixteenAlwaysStartsAtZeroAndOthersStayInsideTheGrid)
{
    EXPECT_EQ(layoutStart(16, 12), 0);
    EXPECT_EQ(layoutStart(4, 12), 12);
    EXPECT_EQ(layoutStart(4, 14), 12);
    EXPECT_EQ(layoutStart(9, 10), 7);
    EXPECT_EQ(layoutStart(1, 15), 15);
}

TEST(GridPaging, WrapsAtBothEnds)
{
    // total 16, four a page: 12 -> 0 and 0 -> 12.
    EXPECT_EQ(nextPageFirst(12, 4, 16), 0);
    EXPECT_EQ(previousPageFirst(0, 4, 16), 12);
    EXPECT_EQ(nextPageFirst(0, 4, 16), 4);
    EXPECT_EQ(previousPageFirst(4, 4, 16), 0);
}

TEST(GridPaging, TheLastPageIsAlwaysFull)
{
    // total 10, four a page: 4 -> 6 -> 0, and back 0 -> 6 -> 2 -> 0.
    EXPECT_EQ(nextPageFirst(4, 4, 10), 6);
    EXPECT_EQ(nextPageFirst(6, 4, 10), 0);
    EXPECT_EQ(previousPageFirst(0, 4, 10), 6);
    EXPECT_EQ(previousPageFirst(6, 4, 10), 2);
    EXPECT_EQ(previousPageFirst(2, 4, 10), 0);
}

TEST(GridPaging, NothingToPageWhenOnePageHoldsAll)
{
    EXPECT_EQ(nextPageFirst(0, 16, 16), 0);
    EXPECT_EQ(nextPageFirst(0, 9, 4), 0);
    EXPECT_EQ(previousPageFirst(0, 4, 4), 0);
    // one window a page walks through every position
    EXPECT_EQ(nextPageFirst(3, 1, 4), 0);
    EXPECT_EQ(previousPageFirst(0, 1, 4), 3);
}

TEST(SingleView, DoubleClickShowsTheWindowAloneAndComesBack)
{
    WindowOrder order = defaultWindowOrder();
    std::swap(order[5], order[6]);  // window 6 at position 5
    GridView view;
    view.layoutCount = 4;
    view.firstPosition = 4;

    toggleSingleView(view, 6, order);
    EXPECT_TRUE(view.singleView);
    EXPECT_EQ(view.layoutCount, 1);
    EXPECT_EQ(view.firstPosition, 5);
    EXPECT_EQ(view.savedCount, 4);
    EXPECT_EQ(view.savedFirstPosition, 4);

    toggleSingleView(view, 6, order);
    EXPECT_FALSE(view.singleView);
    EXPECT_EQ(view.layoutCount, 4);
    EXPECT_EQ(view.firstPosition, 4);
}

TEST(SingleView, ADoubleClickInAOneWindowLayoutReturnsToTheSavedView)
{
    GridView view;
    view.layoutCount = 1;
    view.firstPosition = 3;
    view.savedCount = 9;
    view.savedFirstPosition = 0;
    toggleSingleView(view, 3, defaultWindowOrder());
    EXPECT_EQ(view.layoutCount, 9);
    EXPECT_EQ(view.firstPosition, 0);
    EXPECT_TRUE(view.singleView);  // the flag flips; the next double click enters the single view
}

TEST(SwapWindows, ExchangesPositionsAndRefusesNonsense)
{
    WindowOrder order = defaultWindowOrder();
    EXPECT_TRUE(swapWindows(order, 0, 3));
    EXPECT_EQ(order[0], 3);
    EXPECT_EQ(order[3], 0);
    EXPECT_TRUE(isPermutation(order));
    EXPECT_FALSE(swapWindows(order, 2, 2));
    EXPECT_FALSE(swapWindows(order, 2, 16));
    EXPECT_FALSE(swapWindows(order, -1, 2));
    EXPECT_EQ(positionOf(order, 0), 3);
}

TEST(SwapWindows, FromAnOrderThatIsNotTheIdentityExchangesTheWindowsNotThePositions)
{
    // Window indices and positions differ everywhere: swapping positions a
    // and b would give another order than swapping windows a and b.
    WindowOrder order{};
    for (int p = 0; p < kGridWindows; ++p)
        order[static_cast<std::size_t>(p)] = (p * 5 + 3) % kGridWindows;  // 3 8 13 2 7 12 1 6 11 0 5 10 15 4 9 14
    ASSERT_TRUE(isPermutation(order));
    const WindowOrder before = order;
    const int windows[][2] = {{3, 8}, {0, 15}, {2, 6}, {14, 1}};
    for (const auto& [a, b] : windows) {
        const int pa = positionOf(order, a);
        const int pb = positionOf(order, b);
        ASSERT_NE(pa, a);
        WindowOrder expected = order;
        expected[static_cast<std::size_t>(pa)] = b;
        expected[static_cast<std::size_t>(pb)] = a;
        ASSERT_TRUE(swapWindows(order, a, b)) << a << " " << b;
        EXPECT_EQ(order, expected) << a << " " << b;
        EXPECT_EQ(positionOf(order, a), pb);
        EXPECT_EQ(positionOf(order, b), pa);
    }
    // Swapping the same pairs back in reverse order restores the start.
    for (int i = 3; i >= 0; --i)
        ASSERT_TRUE(swapWindows(order, windows[i][0], windows[i][1]));
    EXPECT_EQ(order, before);
}
