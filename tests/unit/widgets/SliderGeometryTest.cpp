// SPDX-License-Identifier: GPL-3.0-or-later
// Slider geometry: pixels of positions and back, drag clamping and offsets,
// each checked on a horizontal slider and on the same slider turned upright.
#include "widgets/SliderGeometry.h"

#include <gtest/gtest.h>

namespace {

using widgets::SliderGeometry;

// A horizontal slider described once; the vertical form swaps the axes.
SliderGeometry make(bool vertical, int length, int thumb, int marginStart, int marginEnd, int min, int max)
{
    SliderGeometry g;
    g.min = min;
    g.max = max;
    g.vertical = vertical;
    // Across the axis the sizes are different, so a mixed-up axis shows.
    (vertical ? g.height : g.width) = length;
    (vertical ? g.width : g.height) = 7;
    (vertical ? g.thumbHeight : g.thumbWidth) = thumb;
    (vertical ? g.thumbWidth : g.thumbHeight) = 3;
    (vertical ? g.marginTop : g.marginLeft) = marginStart;
    (vertical ? g.marginBottom : g.marginRight) = marginEnd;
    (vertical ? g.marginLeft : g.marginTop) = 40;
    (vertical ? g.marginRight : g.marginBottom) = 50;
    return g;
}

class SliderGeometryOnAxis : public ::testing::TestWithParam<bool> {
protected:
    bool vertical() const { return GetParam(); }
};

TEST_P(SliderGeometryOnAxis, PixelsOfPositionsFollowTheUsableLength)
{
    // The playback bar's volume slider: 108 long, 11-pixel thumb, margins 1.
    const SliderGeometry g = make(vertical(), 108, 11, 1, 1, 0, 100);
    EXPECT_EQ(g.usableLength(), 95);
    EXPECT_EQ(g.pixelOfPos(0), 6);
    EXPECT_EQ(g.pixelOfPos(100), 101);
    EXPECT_EQ(g.pixelOfPos(50), 53);  // 47.5 truncated
    EXPECT_EQ(g.posOfPixel(53), 49);  // 49.47 truncated: not a round trip
    EXPECT_EQ(g.posOfPixel(6), 0);
    EXPECT_EQ(g.posOfPixel(101), 100);
    // Pixels outside the travel give positions outside the range.
    EXPECT_EQ(g.posOfPixel(0), -6);
    EXPECT_EQ(g.posOfPixel(108), 107);
}

TEST_P(SliderGeometryOnAxis, PositionOfAPixelIsTheExactQuotientTruncated)
{
    // 100 pixels for 100 positions: every pixel is its own position. Done
    // with a floating-point quotient, 29 / 100 * 100 came out as 28.99...
    const SliderGeometry g = make(vertical(), 110, 10, 0, 0, 0, 100);
    for (int offset = 0; offset <= 100; ++offset) {
        ASSERT_EQ(g.posOfPixel(5 + offset), offset) << "offset " << offset;
        ASSERT_EQ(g.pixelOfPos(offset), 5 + offset) << "offset " << offset;
    }
}

TEST_P(SliderGeometryOnAxis, NegativeRangesTruncateTowardZero)
{
    const SliderGeometry g = make(vertical(), 40, 0, 0, 0, -10, 10);  // 2 pixels a step
    EXPECT_EQ(g.pixelOfPos(-10), 0);
    EXPECT_EQ(g.pixelOfPos(-9), 2);
    EXPECT_EQ(g.pixelOfPos(10), 40);
    EXPECT_EQ(g.posOfPixel(3), -8);   // -8.5 toward zero
    EXPECT_EQ(g.posOfPixel(21), 0);   // 0.5 toward zero
    EXPECT_EQ(g.posOfPixel(23), 1);   // 1.5 toward zero
    EXPECT_EQ(g.posOfPixel(17), -1);  // -1.5 toward zero
}

TEST_P(SliderGeometryOnAxis, EmptyRangeOrNoTravelStaysAtTheStart)
{
    const SliderGeometry emptyRange = make(vertical(), 108, 11, 1, 1, 5, 5);
    EXPECT_EQ(emptyRange.pixelOfPos(5), 6);
    const SliderGeometry noTravel = make(vertical(), 13, 11, 1, 1, 0, 100);
    EXPECT_EQ(noTravel.usableLength(), 0);
    EXPECT_EQ(noTravel.posOfPixel(50), 0);
}

TEST_P(SliderGeometryOnAxis, DraggedThumbStaysInsideTheMargins)
{
    const SliderGeometry g = make(vertical(), 108, 11, 3, 2, 0, 100);
    EXPECT_EQ(g.clampThumbCentre(-20), 8);    // margin 3 + half a thumb
    EXPECT_EQ(g.clampThumbCentre(8), 8);
    EXPECT_EQ(g.clampThumbCentre(60), 60);
    EXPECT_EQ(g.clampThumbCentre(101), 101);  // 108 - 2 - 5
    EXPECT_EQ(g.clampThumbCentre(500), 101);
    // Too short for its thumb: the start wins.
    const SliderGeometry tiny = make(vertical(), 8, 11, 3, 2, 0, 100);
    EXPECT_EQ(tiny.clampThumbCentre(4), 8);
}

TEST_P(SliderGeometryOnAxis, PressNearTheThumbKeepsItsOffsetFartherJumps)
{
    const SliderGeometry g = make(vertical(), 110, 10, 0, 0, 0, 100);  // centre of 50 at 55
    EXPECT_EQ(g.dragOffset(55, 50), 0);
    EXPECT_EQ(g.dragOffset(58, 50), 3);
    EXPECT_EQ(g.dragOffset(50, 50), -5);  // exactly half a thumb away: on it
    EXPECT_EQ(g.dragOffset(60, 50), 5);
    EXPECT_EQ(g.dragOffset(61, 50), 0);   // farther: the thumb jumps
    EXPECT_EQ(g.dragOffset(49, 50), 0);
    // Dragging with an offset keeps the grip point under the mouse.
    EXPECT_EQ(g.dragCentre(70, 3), 67);
    EXPECT_EQ(g.dragCentre(200, 3), 105);
}

TEST_P(SliderGeometryOnAxis, AlongPicksTheAxisCoordinate)
{
    const SliderGeometry g = make(vertical(), 110, 10, 0, 0, 0, 100);
    EXPECT_EQ(g.along(12, 34), vertical() ? 34 : 12);
}

INSTANTIATE_TEST_SUITE_P(Axes, SliderGeometryOnAxis, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Vertical" : "Horizontal";
                         });

}  // namespace
