// SPDX-License-Identifier: GPL-3.0-or-later
// The bar's zoom pages and the channel selection's rows.
#include "playback/BarTimelineZoom.h"
#include "playback/PlaybackChannels.h"

#include <gtest/gtest.h>

namespace {

using platform::DateTime;

std::string text(const DateTime& time)
{
    return time.toText();
}

TEST(BarTimelineZoom, PagesPerDayHalveOrThirdAsTheBarZoomsOut)
{
    const int expected[] = {288, 144, 48, 24, 8, 4, 2, 1};
    for (int level = 0; level <= 7; ++level)
        EXPECT_EQ(bar_zoom::pageCount(level), expected[level]) << level;
    // Out of range levels stay at the ends.
    EXPECT_EQ(bar_zoom::pageCount(-1), 288);
    EXPECT_EQ(bar_zoom::pageCount(9), 1);
}

TEST(BarTimelineZoom, ScrollPositionsPageThroughTheDay)
{
    const DateTime day = DateTime::fromParts(2026, 12, 8);
    // Zoomed in twice from the whole day: four pages of six hours.
    auto view = bar_zoom::viewAtScrollPosition(day, 1, 5);
    EXPECT_EQ(text(view.start), "2026-12-08 06:00:00");
    EXPECT_EQ(text(view.end), "2026-12-08 11:59:59");
    // Five minutes: the last of 288 pages.
    view = bar_zoom::viewAtScrollPosition(day, 287, 0);
    EXPECT_EQ(text(view.start), "2026-12-08 23:55:00");
    EXPECT_EQ(text(view.end), "2026-12-08 23:59:59");
    // The last page of three hours ends with the day.
    view = bar_zoom::viewAtScrollPosition(day, 7, 4);
    EXPECT_EQ(text(view.start), "2026-12-08 21:00:00");
    EXPECT_EQ(text(view.end), "2026-12-08 23:59:59");
    // The whole day, and a leap day's date kept.
    view = bar_zoom::viewAtScrollPosition(DateTime::fromParts(2028, 2, 29), 0, 7);
    EXPECT_EQ(text(view.start), "2028-02-29 00:00:00");
    EXPECT_EQ(text(view.end), "2028-02-29 23:59:59");
}

TEST(BarTimelineZoom, ViewStartGivesTheScrollPositionRoundedDown)
{
    EXPECT_EQ(bar_zoom::scrollPositionOf({2026, 12, 2, 8, 6, 0, 0, 0}, 4), 1);
    EXPECT_EQ(bar_zoom::scrollPositionOf({2026, 12, 2, 8, 5, 59, 59, 0}, 4), 0);
    EXPECT_EQ(bar_zoom::scrollPositionOf({2026, 12, 2, 8, 23, 59, 59, 0}, 288), 287);
    EXPECT_EQ(bar_zoom::scrollPositionOf({2026, 12, 2, 8, 0, 0, 0, 0}, 288), 0);
    // Round trip at every level: the position of a page's own start.
    const DateTime day = DateTime::fromParts(2026, 12, 8);
    for (int level = 0; level < 7; ++level) {
        const int pages = bar_zoom::pageCount(level);
        for (int position = 0; position < pages; position += std::max(1, pages / 7)) {
            const auto view = bar_zoom::viewAtScrollPosition(day, position, level);
            EXPECT_EQ(bar_zoom::scrollPositionOf(view.start.toSystemTime(), pages), position) << level;
        }
    }
}

TEST(PlaybackChannels, RowsFollowTheHighestSelectedChannel)
{
    struct Case {
        std::uint32_t mask;
        int count, rows, timelineRows;
    };
    const Case cases[] = {
        {0, 0, 0, 4},        {1, 1, 1, 4},        {0x2, 1, 4, 4},         {0xF, 4, 4, 4},
        {0x10, 1, 6, 8},     {0x3F, 6, 6, 8},     {0x40, 1, 8, 8},        {0x100, 1, 9, 16},
        {0x1FF, 9, 9, 16},   {0x200, 1, 13, 16},  {0x1FFF, 13, 13, 16},   {0x2000, 1, 16, 16},   {0xFFFF, 16, 16, 16},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(playback_channels::channelCount(c.mask), c.count) << std::hex << c.mask;
        EXPECT_EQ(playback_channels::rowsFor(c.mask), c.rows) << std::hex << c.mask;
        EXPECT_EQ(playback_channels::timelineRowsFor(c.mask), c.timelineRows) << std::hex << c.mask;
    }
}

}  // namespace
