// SPDX-License-Identifier: GPL-3.0-or-later
// Where the timeline's parts lie, the cursor label's placement at the ends,
// and the row scroll bar's setting by the number of channel rows.
#include "playback/TimelineGeometry.h"

#include <gtest/gtest.h>

using timeline::RowScrollSetting;
using timeline::TimelineGeometry;
using timeline::TimelineRect;

TEST(TimelineGeometryTest, PartsOfA960By100Timeline)
{
    const TimelineGeometry g(960, 100, 30);
    EXPECT_EQ(g.ruler, (TimelineRect{30, 0, 930, 32}));
    EXPECT_EQ(g.rows, (TimelineRect{30, 32, 930, 100}));
    EXPECT_EQ(g.overviewRow, (TimelineRect{29, 32, 931, 42}));
    EXPECT_EQ(g.separator, (TimelineRect{0, 45, 960, 47}));
    // The band 50..100 in four rows of 12.5 pixels, edges truncated.
    EXPECT_EQ(g.channelRows[0], (TimelineRect{29, 50, 931, 62}));
    EXPECT_EQ(g.channelRows[1], (TimelineRect{29, 62, 931, 75}));
    EXPECT_EQ(g.channelRows[2], (TimelineRect{29, 75, 931, 87}));
    EXPECT_EQ(g.channelRows[3], (TimelineRect{29, 87, 931, 100}));
    EXPECT_EQ(g.numberBand(2), (TimelineRect{0, 75, 30, 87}));
    EXPECT_EQ(g.scrollBar(), (TimelineRect{947, 47, 960, 100}));
}

TEST(TimelineGeometryTest, ChannelRowsTileTheBandAtAnyHeight)
{
    for (const int height : {40, 41, 99, 100, 101, 157}) {
        for (const int margin : {30, 34}) {
            const TimelineGeometry g(777, height, margin);
            EXPECT_EQ(g.channelRows[0].top, g.rows.top + 18);
            for (int j = 1; j < timeline::kVisibleRows; ++j)
                EXPECT_EQ(g.channelRows[j].top, g.channelRows[j - 1].bottom) << height;
            EXPECT_LE(g.channelRows[3].bottom, height);
            EXPECT_GE(g.channelRows[3].bottom, height - 1);
            EXPECT_EQ(g.channelRows[0].left, margin - 1);
            EXPECT_EQ(g.channelRows[0].right, 777 - margin + 1);
        }
    }
}

TEST(TimelineGeometryTest, CursorLabelIsCentredUnlessAnEndIsNear)
{
    const TimelineGeometry g(960, 100, 34);
    EXPECT_EQ(g.cursorLabelLeft(480, 120), 420);
    EXPECT_EQ(g.cursorLabelLeft(40, 120), 1) << "would start left of 0";
    EXPECT_EQ(g.cursorLabelLeft(60, 120), 0) << "starts at 0: stays";
    EXPECT_EQ(g.cursorLabelLeft(880, 120), 960 - 120) << "would pass the ruler's right: ends at the client's";
    EXPECT_EQ(g.cursorLabelLeft(866, 120), 806) << "ends exactly at the ruler's right: stays";
}

TEST(TimelineGeometryTest, ZoomBoxIsCentredOnTheRows)
{
    const TimelineGeometry g(960, 100, 34);
    const TimelineRect box = g.zoomBox(31);
    EXPECT_EQ(box.top, 39);
    EXPECT_EQ(box.bottom, 75);
    EXPECT_EQ(box.left - g.rows.left, g.rows.right - box.right);
    EXPECT_EQ(box.left, 34 + 428) << "(892 - 31 - 5) / 2 either side";
    EXPECT_EQ(box.width(), 31 + 5);
}

TEST(TimelineGeometryTest, RowScrollBarBySetChannelRowCount)
{
    for (int n = 0; n <= 4; ++n) {
        const auto s = timeline::rowScrollSetting(n);
        ASSERT_TRUE(s.has_value());
        EXPECT_FALSE(s->visible) << n;
    }
    for (int n = 5; n <= 16; ++n) {
        const auto s = timeline::rowScrollSetting(n);
        ASSERT_TRUE(s.has_value());
        const RowScrollSetting expected = n <= 8 ? RowScrollSetting{true, 0, 4, 1}
                                          : n <= 12 ? RowScrollSetting{true, 0, 8, 2}
                                                    : RowScrollSetting{true, 0, 12, 1};
        EXPECT_EQ(*s, expected) << n;
    }
    EXPECT_EQ(timeline::rowScrollSetting(6), (RowScrollSetting{true, 0, 4, 1}));
    EXPECT_FALSE(timeline::rowScrollSetting(3)->visible);
    EXPECT_FALSE(timeline::rowScrollSetting(17).has_value());
    EXPECT_FALSE(timeline::rowScrollSetting(64).has_value());
}

TEST(TimelineGeometryTest, FirstRowIsOneToTwentyNine)
{
    EXPECT_EQ(timeline::firstRowFor(1, 5), 1);
    EXPECT_EQ(timeline::firstRowFor(13, 1), 13);
    EXPECT_EQ(timeline::firstRowFor(29, 1), 29);
    EXPECT_EQ(timeline::firstRowFor(30, 1), 29);
    EXPECT_EQ(timeline::firstRowFor(0, 7), 7);
    EXPECT_EQ(timeline::firstRowFor(-3, 7), 7);
}
