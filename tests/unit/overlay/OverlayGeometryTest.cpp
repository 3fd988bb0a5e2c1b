// SPDX-License-Identifier: GPL-3.0-or-later
#include "overlay/OverlayGeometry.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>

using namespace overlay;

TEST(OverlayGeometry, MotionTextPacksEightCellsPerByteLowestBitFirst)
{
    MotionCells cells{};
    EXPECT_EQ(motionText(cells), QString(64, '0'));
    cells[0] = 1;
    EXPECT_EQ(motionText(cells), QStringLiteral("01") + QString(62, '0'));
    cells[0] = 0;
    cells[179] = 1;
    EXPECT_EQ(motionText(cells), QString(44, '0') + QStringLiteral("08") + QString(18, '0'));
    cells[8] = 1;  // byte 1, bit 0
    cells[15] = 1; // byte 1, bit 7
    EXPECT_EQ(motionText(cells).mid(2, 2), QStringLiteral("81"));

    const QString text = QStringLiteral("A5") + QString(40, '0') + QStringLiteral("FF0F") + QString(18, '0');
    const std::optional<MotionCells> read = motionCells(text);
    ASSERT_TRUE(read);
    EXPECT_EQ((*read)[0], 1);
    EXPECT_EQ((*read)[1], 0);
    EXPECT_EQ((*read)[2], 1);
    EXPECT_EQ((*read)[7], 1);
    EXPECT_EQ((*read)[179], 1);
    EXPECT_EQ(motionText(*read), text);
}

TEST(OverlayGeometry, MotionTextsOfOtherLengthsOrCharactersAreRefused)
{
    EXPECT_FALSE(motionCells(QString(63, '0')));
    EXPECT_FALSE(motionCells(QString(65, '0')));
    EXPECT_FALSE(motionCells(QString()));
    EXPECT_FALSE(motionCells(QString(63, '0') + QLatin1Char('a')));  // lower case
    EXPECT_FALSE(motionCells(QString(63, '0') + QLatin1Char('G')));
    EXPECT_FALSE(motionCells(QString(63, '0') + QChar(0x0660)));      // an Arabic-Indic zero
    EXPECT_TRUE(motionCells(QString(64, 'F')));
    // Bits past cell 179 have no cell: they read as nothing and are written as 0.
    const std::optional<MotionCells> all = motionCells(QString(64, 'F'));
    EXPECT_EQ(motionText(*all), QString(44, 'F') + QStringLiteral("0F") + QString(18, '0'));
}

TEST(OverlayGeometry, CellSizeCoversTheWindowAndIsNeverZero)
{
    struct Case {
        int w, h, pictureHeight, cw, ch;
    } cases[] = {
        {960, 540, 576, 64, 45}, {704, 576, 576, 47, 48}, {705, 577, 576, 47, 49}, {15, 12, 576, 1, 1},
        {16, 13, 576, 2, 2},     {1, 1, 576, 1, 1},       {0, 0, 576, 1, 1},       {-5, -5, 576, 1, 1},
        {704, 480, 480, 47, 48}, {704, 481, 240, 47, 49}, {704, 480, 288, 47, 40},
    };
    for (const Case& c : cases) {
        const CellSize size = cellSize(c.w, c.h, c.pictureHeight);
        EXPECT_EQ(size.width, c.cw) << c.w << "x" << c.h;
        EXPECT_EQ(size.height, c.ch) << c.w << "x" << c.h;
        // Every pixel of the window lies in one of the 15 columns and the rows.
        const int rows = motionRows(c.pictureHeight);
        if (c.w > 0) {
            EXPECT_LE((c.w - 1) / size.width, kCellColumns - 1);
        }
        if (c.h > 0) {
            EXPECT_LE((c.h - 1) / size.height, rows - 1);
        }
    }
    EXPECT_EQ(motionRows(480), 10);
    EXPECT_EQ(motionRows(240), 10);
    EXPECT_EQ(motionRows(576), 12);
    EXPECT_EQ(motionRows(288), 12);
}

TEST(OverlayGeometry, TheCellUnderAPointIsAlwaysOneOfTheGrid)
{
    const CellSize size = cellSize(960, 540, 576);  // 64 × 45
    EXPECT_EQ(cellIndexAt({0, 0}, size, 12), 0);
    EXPECT_EQ(cellIndexAt({63, 44}, size, 12), 0);
    EXPECT_EQ(cellIndexAt({64, 45}, size, 12), 16);
    EXPECT_EQ(cellIndexAt({959, 539}, size, 12), 179);
    // Outside the window: the nearest cell, never an index outside the array.
    EXPECT_EQ(cellIndexAt({-100, -100}, size, 12), 0);
    EXPECT_EQ(cellIndexAt({5000, 5000}, size, 12), 179);
    EXPECT_EQ(cellIndexAt({INT_MAX, INT_MIN}, size, 12), 14);
    EXPECT_EQ(cellIndexAt({INT_MIN, INT_MAX}, size, 12), 165);
    // Ten rows (NTSC): the last row is 9.
    EXPECT_EQ(cellIndexAt({0, 100000}, cellSize(704, 480, 480), 10), 135);
    // A window of no size: cells of 1 pixel, still inside.
    const CellSize tiny = cellSize(0, 0, 576);
    for (const QPoint p : {QPoint(0, 0), QPoint(1, 1), QPoint(100, 100), QPoint(-1, 7)}) {
        const int i = cellIndexAt(p, tiny, 12);
        EXPECT_GE(i, 0);
        EXPECT_LT(i, kCellCount);
    }
}

TEST(OverlayGeometry, CellsBetweenTwoPointsFormTheirRectangle)
{
    const CellSize size = cellSize(150, 120, 576);  // 10 × 10
    std::set<int> visited;
    forEachCellBetween({35, 25}, {12, 41}, size, 12, [&](int i) { visited.insert(i); });
    EXPECT_EQ(visited, (std::set<int>{31, 32, 33, 46, 47, 48, 61, 62, 63}));
    visited.clear();
    forEachCellBetween({-50, -50}, {10000, 10000}, size, 12, [&](int i) { visited.insert(i); });
    EXPECT_EQ(visited.size(), 180u);
    EXPECT_EQ(*visited.rbegin(), 179);
}

TEST(OverlayGeometry, SnappingRoundsToMultiplesOfTheStep)
{
    EXPECT_EQ(snapStep(8), 4);  // the page shifts by 8 itself
    EXPECT_EQ(snapStep(16), 16);
    EXPECT_EQ(snapStep(1), 1);
    EXPECT_EQ(snapStep(0), 1);
    for (int step : {1, 3, 4, 16}) {
        for (int v : {0, 1, 5, 15, 16, 17, 703, -1, -5}) {
            const int down = snapDown(v, step);
            const int up = snapUp(v, step);
            EXPECT_EQ(down % step, 0) << v << "/" << step;
            EXPECT_EQ(up % step, 0) << v << "/" << step;
            EXPECT_LE(down, v);
            EXPECT_GT(down, v - step);
            EXPECT_GE(up, v);
            EXPECT_LT(up, v + step);
        }
    }
    EXPECT_EQ(snapDown(7, 0), 7);  // a step of 0 counts as 1
}

TEST(OverlayGeometry, ScalingNeverDividesByZeroOrOverflows)
{
    EXPECT_EQ(scale(352, 960, 704), 480);
    EXPECT_EQ(scale(10, 960, 0), 10);
    EXPECT_EQ(scale(10, 960, -4), 10);
    EXPECT_EQ(scale(65535, 65535, 1), kMaxScaled);
    EXPECT_EQ(scale(-65535, 65535, 1), -kMaxScaled);
    const Box b = scaleBox({16, 32, 136, 112}, 960, 704, 540, 576);
    EXPECT_EQ(b, (Box{21, 30, 185, 105}));
}

TEST(OverlayGeometry, ABoxTouchesTheEllipseInsideAnotherBoxOnlyInsideItsCurve)
{
    const Box other{100, 100, 200, 160};  // centre (150, 130), radii 50 and 30
    EXPECT_TRUE(touchesEllipse({140, 120, 160, 140}, other));   // in the middle
    EXPECT_TRUE(touchesEllipse({0, 125, 101, 135}, other));     // the left tip
    EXPECT_FALSE(touchesEllipse({0, 0, 104, 104}, other));      // the corner of the box, outside the curve
    EXPECT_FALSE(touchesEllipse({190, 150, 260, 200}, other));  // the other corner
    EXPECT_FALSE(touchesEllipse({0, 0, 99, 99}, other));
    EXPECT_TRUE(touchesEllipse({0, 0, 1000, 1000}, other));     // around it
    EXPECT_FALSE(touchesEllipse({140, 120, 160, 140}, Box{100, 100, 100, 160}));  // no area
}

TEST(OverlayGeometry, KeepingABoxInsideTheWindow)
{
    EXPECT_EQ(keepInside(10, 10, 50, 20, 960, 540), (Box{10, 10, 60, 30}));
    EXPECT_EQ(keepInside(-30, -5, 50, 20, 960, 540), (Box{0, 0, 50, 20}));
    EXPECT_EQ(keepInside(950, 530, 50, 20, 960, 540), (Box{910, 520, 960, 540}));
    EXPECT_EQ(keepInside(950, 530, 2000, 20, 960, 540), (Box{0, 520, 2000, 540}));
    EXPECT_EQ(keepInside(5, 5, 50, 20, 0, 0), (Box{0, 0, 50, 20}));
}
