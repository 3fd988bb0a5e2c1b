// SPDX-License-Identifier: GPL-3.0-or-later
// Grid geometry and dragging, without a window: the grid of the schedule
// page is 580 x 235 pixels, so cells are 10 x 30.
#include "schedule/GridDrag.h"
#include "schedule/GridGeometry.h"

#include <gtest/gtest.h>

using namespace schedule;

namespace {

const GridGeometry kGrid(QSize(580, 235), 7, 48);

// The centre of the cell of a day and a time of day.
QPoint cellPoint(int day, int hour, int minute = 0)
{
    const int column = (hour * 60 + minute) / 30;
    return {100 + column * 10 + 5, 25 + day * 30 + 15};
}

}  // namespace

TEST(GridGeometry, CellsAndPixels)
{
    EXPECT_EQ(kGrid.columnWidth(), 10);
    EXPECT_EQ(kGrid.rowHeight(), 30);
    EXPECT_EQ(kGrid.columnAt(101), 0);
    EXPECT_EQ(kGrid.columnAt(110), 1);
    EXPECT_EQ(kGrid.rowAt(26), 0);
    EXPECT_EQ(kGrid.rowAt(55), 1);
    // Runs of seconds map onto whole cells: 08:00-08:29:59 is x 260..269.
    EXPECT_EQ(kGrid.xOfSecond(8 * 3600), 260);
    EXPECT_EQ(kGrid.xOfSecond(8 * 3600 + 1799), 269);
    EXPECT_EQ(kGrid.cellsRect({16, 1, 21, 3}), QRect(260, 55, 50, 60));
    EXPECT_FALSE(GridGeometry::inCellArea({100, 30}));
    EXPECT_FALSE(GridGeometry::inCellArea({150, 25}));
    EXPECT_TRUE(GridGeometry::inCellArea({101, 26}));
}

TEST(GridGeometry, TheStripBeyondTheLastCellsCountsAsTheLastCell)
{
    // 590 wide: 10-pixel cells end at 580, 10 pixels are left over; 245 high
    // likewise leaves 10 pixels below the last row.
    const GridGeometry g(QSize(590, 245), 7, 48);
    EXPECT_EQ(g.columnAt(585), 47);
    EXPECT_EQ(g.rowAt(240), 6);
    // Too small for cells: no division by zero, nothing to hit.
    const GridGeometry tiny(QSize(120, 30), 7, 48);
    EXPECT_FALSE(tiny.hasCells());
    EXPECT_EQ(tiny.columnAt(110), 0);
}

TEST(GridDrag, DragFromTuesdayTenToMondayEightSpansBothDaysWithTheFarCell)
{
    GridDrag drag;
    drag.press(cellPoint(2, 10), kGrid);
    ASSERT_TRUE(drag.isDragging());
    EXPECT_TRUE(drag.span().isEmpty());
    drag.move(cellPoint(1, 8), true, kGrid);
    EXPECT_EQ(drag.span(), (CellSpan{16, 1, 21, 3}));  // 08:00-10:30, Monday and Tuesday
    const auto applied = drag.finish();
    ASSERT_TRUE(applied);
    EXPECT_EQ(*applied, (CellSpan{16, 1, 21, 3}));
    EXPECT_FALSE(drag.isDragging());
    EXPECT_TRUE(drag.span().isEmpty());
}

TEST(GridDrag, PressOutsideTheCellsStartsNothing)
{
    GridDrag drag;
    drag.press({50, 100}, kGrid);  // on the day labels
    EXPECT_FALSE(drag.isDragging());
    drag.press({300, 10}, kGrid);  // on the hour header
    EXPECT_FALSE(drag.isDragging());
    EXPECT_FALSE(drag.finish());
}

TEST(GridDrag, MovingOutsideEmptiesTheSpanAndComingBackRestoresIt)
{
    GridDrag drag;
    drag.press(cellPoint(0, 0), kGrid);
    drag.move(cellPoint(0, 1), true, kGrid);
    EXPECT_EQ(drag.span(), (CellSpan{0, 0, 3, 1}));
    drag.move({40, 40}, true, kGrid);
    EXPECT_TRUE(drag.span().isEmpty());
    // Beyond the right and bottom edges: clipped to the last cells.
    drag.move({2000, 2000}, true, kGrid);
    EXPECT_EQ(drag.span(), (CellSpan{0, 0, 48, 7}));
}

TEST(GridDrag, AMoveWithTheButtonUpEndsTheDragWithoutApplying)
{
    GridDrag drag;
    drag.press(cellPoint(3, 5), kGrid);
    drag.move(cellPoint(3, 7), true, kGrid);
    drag.move(cellPoint(3, 8), false, kGrid);
    EXPECT_FALSE(drag.isDragging());
    EXPECT_TRUE(drag.span().isEmpty());
    EXPECT_FALSE(drag.finish());
}
