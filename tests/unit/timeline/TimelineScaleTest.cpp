// SPDX-License-Identifier: GPL-3.0-or-later
// The timeline's scale: time <-> x, zoom recentring and its clamping at the
// day's ends, shifting the view, and paging to keep the cursor in view.
#include "playback/TimelineScale.h"

#include <gtest/gtest.h>

#include <cmath>

using platform::DateTime;
using timeline::TimelineScale;

namespace {

DateTime at(int hour, int minute, int second)
{
    return DateTime::fromParts(2024, 3, 15, hour, minute, second);
}

TimelineScale scaleOfWidth(int clientWidth)
{
    TimelineScale s(at(9, 30, 0));
    s.setClientWidth(clientWidth);
    return s;
}

// Zooms in one level the way the timeline does: level, recentre, then the
// refresh's wider margin and the cursor placed again.
bool zoomIn(TimelineScale& s)
{
    s.setLevel(s.level() + 1);
    const bool told = s.recentreOnCursor();
    s.placeCursorAtTime();
    s.setMargin(timeline::kRefreshedMargin);
    s.placeCursorAtTime();
    return told;
}

}  // namespace

TEST(TimelineScaleTest, StartsWithTheWholeDayOfTheGivenDate)
{
    const TimelineScale s(at(9, 30, 0));
    EXPECT_EQ(s.dayStart(), at(0, 0, 0));
    EXPECT_EQ(s.dayEnd(), at(23, 59, 59));
    EXPECT_EQ(s.viewStart(), s.dayStart());
    EXPECT_EQ(s.viewEnd(), s.dayEnd());
    EXPECT_EQ(s.cursorTime(), s.dayStart());
    EXPECT_EQ(s.level(), 0);
    EXPECT_DOUBLE_EQ(s.cursorX(), 30.0);
}

TEST(TimelineScaleTest, ScaleFollowsRulerWidthAndLevel)
{
    for (const int width : {960, 961, 1333}) {
        TimelineScale s = scaleOfWidth(width);
        for (int level = 0; level <= 7; ++level) {
            ASSERT_TRUE(s.setLevel(level));
            const timeline::ZoomLevel& z = s.zoom();
            const double w = width - 60;
            EXPECT_NEAR(s.pixelsPerDivision(), w / z.divisions, 1e-9);
            // The ruler holds divisions x minutes per division.
            EXPECT_NEAR(s.secondsPerPixel() * w, z.divisions * z.minutesPerDivision * 60.0, 1e-6);
            EXPECT_NEAR(s.pixelsPerSecond() * s.secondsPerPixel(), 1.0, 1e-12);
            EXPECT_EQ(s.rulerSeconds(), std::int64_t(z.divisions) * z.minutesPerDivision * 60);
        }
    }
    TimelineScale s = scaleOfWidth(960);
    s.setLevel(7);
    EXPECT_FALSE(s.setLevel(8));
    EXPECT_FALSE(s.setLevel(-1));
    EXPECT_EQ(s.level(), 7);
}

TEST(TimelineScaleTest, ANarrowerThanMarginsWindowStillHasAFiniteScale)
{
    for (const int width : {0, 10, 59, 60, 61}) {
        TimelineScale s = scaleOfWidth(width);
        EXPECT_GE(s.rulerWidth(), 1) << width;
        EXPECT_TRUE(std::isfinite(s.pixelsPerSecond())) << width;
        EXPECT_TRUE(std::isfinite(s.secondsPerPixel())) << width;
        EXPECT_TRUE(s.timeAtX(s.xOfTime(at(12, 0, 0))) == at(12, 0, 0)) << width;
    }
}

TEST(TimelineScaleTest, XOfTimeStartsAtTheMarginAndEndsAtTheRulerRight)
{
    for (const int margin : {timeline::kInitialMargin, timeline::kRefreshedMargin}) {
        TimelineScale s = scaleOfWidth(1000);
        s.setMargin(margin);
        EXPECT_DOUBLE_EQ(s.xOfTime(s.viewStart()), margin);
        EXPECT_NEAR(s.xOfTime(s.viewStart().addSeconds(86400)), s.rulerRight(), 1e-9);
        EXPECT_EQ(s.timeAtX(margin), s.viewStart());
    }
}

TEST(TimelineScaleTest, TimeToXToTimeRoundTripsAtWidthsAndLevels)
{
    for (const int width : {61, 62, 67, 97, 639, 960, 1001, 1920}) {
        for (int level = 0; level <= 7; ++level) {
            TimelineScale s = scaleOfWidth(width);
            s.setLevel(level);
            s.setViewRange(at(8, 0, 0), at(8, 0, 0).addSeconds(s.rulerSeconds() - 1));
            for (const std::int64_t offset : {std::int64_t(0), std::int64_t(1), std::int64_t(7), std::int64_t(299),
                                              s.rulerSeconds() / 3, s.rulerSeconds() - 1}) {
                const DateTime t = s.viewStart().addSeconds(offset);
                EXPECT_EQ(s.timeAtX(s.xOfTime(t)), t) << "width " << width << " level " << level << " +" << offset;
            }
        }
    }
}

TEST(TimelineScaleTest, XToTimeToXStaysWithinHalfASecondOfPixels)
{
    for (const int width : {61, 97, 960, 1001}) {
        for (const int level : {0, 3, 7}) {
            TimelineScale s = scaleOfWidth(width);
            s.setLevel(level);
            s.setViewRange(at(8, 0, 0), at(8, 0, 0).addSeconds(s.rulerSeconds() - 1));
            for (double x = s.rulerLeft(); x <= s.rulerRight(); x += 0.75) {
                const double back = s.xOfTime(s.timeAtX(x));
                EXPECT_LE(std::abs(back - x), s.pixelsPerSecond() / 2 + 1e-9)
                    << "width " << width << " level " << level << " x " << x;
            }
        }
    }
}

TEST(TimelineScaleTest, ZoomingInAtNoonFromTheWholeDayKeepsTheCursorPixel)
{
    for (const int width : {960, 777, 1301, 100}) {
        TimelineScale s = scaleOfWidth(width);
        s.setCursorTime(at(12, 0, 0));
        s.placeCursorAtTime();
        const double before = s.cursorX();
        EXPECT_TRUE(zoomIn(s)) << "level 1 tells the parent";
        EXPECT_EQ(s.level(), 1);
        EXPECT_LT(std::abs(s.cursorX() - before), 0.5) << width;
        // Six hours either side, to a second of rounding.
        EXPECT_LE(std::llabs(timeline::seconds(at(6, 0, 0), s.viewStart())), 1) << width;
        EXPECT_LE(std::llabs(timeline::seconds(at(17, 59, 59), s.viewEnd())), 1) << width;
    }
}

TEST(TimelineScaleTest, ZoomingNearMidnightClampsTheViewToTheDay)
{
    for (const int width : {960, 1001}) {
        for (int level = 0; level < 7; ++level) {
            TimelineScale early = scaleOfWidth(width);
            early.setLevel(level);
            early.setCursorTime(at(0, 0, 20));
            early.placeCursorAtTime();
            early.setCursorX(early.rulerRight() - 1);  // far right: the start would fall before midnight
            zoomIn(early);
            EXPECT_EQ(early.viewStart(), at(0, 0, 0)) << "level " << level + 1;
            EXPECT_EQ(early.viewEnd(), at(0, 0, 0).addSeconds(early.rulerSeconds()));

            TimelineScale late = scaleOfWidth(width);
            late.setLevel(level);
            late.setCursorTime(at(23, 59, 40));
            late.setCursorX(late.rulerLeft() + 1);  // far left: the end would pass the day's end
            zoomIn(late);
            EXPECT_EQ(late.viewEnd(), at(23, 59, 59)) << "level " << level + 1;
            EXPECT_EQ(late.viewStart(), at(23, 59, 59).addSeconds(-late.rulerSeconds()));
        }
    }
}

TEST(TimelineScaleTest, ZoomingOutToTheWholeDayShowsTheDayAndTellsNobody)
{
    TimelineScale s = scaleOfWidth(960);
    s.setCursorTime(at(15, 0, 0));
    s.placeCursorAtTime();
    zoomIn(s);
    ASSERT_EQ(s.level(), 1);
    s.setLevel(0);
    EXPECT_FALSE(s.recentreOnCursor());
    EXPECT_EQ(s.viewStart(), s.dayStart());
    EXPECT_EQ(s.viewEnd(), s.dayEnd());
}

TEST(TimelineScaleTest, ShiftingClampsAtBothEndsOfTheDay)
{
    TimelineScale s = scaleOfWidth(960);
    s.setLevel(4);  // one hour
    s.setViewRange(at(0, 30, 0), at(1, 29, 59));
    EXPECT_TRUE(s.shiftView(TimelineScale::Direction::Earlier, 600));
    EXPECT_EQ(s.viewStart(), at(0, 20, 0));
    EXPECT_EQ(s.viewEnd(), at(1, 19, 59));
    s.shiftView(TimelineScale::Direction::Earlier, 3600);
    EXPECT_EQ(s.viewStart(), at(0, 0, 0));
    EXPECT_EQ(s.viewEnd(), at(1, 0, 0));

    s.setViewRange(at(22, 30, 0), at(23, 29, 59));
    s.shiftView(TimelineScale::Direction::Later, 60);
    EXPECT_EQ(s.viewStart(), at(22, 31, 0));
    s.shiftView(TimelineScale::Direction::Later, 7200);
    EXPECT_EQ(s.viewEnd(), at(23, 59, 59));
    EXPECT_EQ(s.viewStart(), at(22, 59, 59));
}

TEST(TimelineScaleTest, AtTheWholeDayAShiftLeavesTheDayShown)
{
    TimelineScale s = scaleOfWidth(960);
    for (const auto direction : {TimelineScale::Direction::Earlier, TimelineScale::Direction::Later}) {
        EXPECT_FALSE(s.shiftView(direction, 500));
        EXPECT_EQ(s.viewStart(), s.dayStart());
        EXPECT_EQ(s.viewEnd(), s.dayEnd());
    }
}

TEST(TimelineScaleTest, PlayingPastTheViewPagesItAlong)
{
    TimelineScale s = scaleOfWidth(960);
    s.setLevel(2);  // six hours
    s.setViewRange(at(6, 0, 0), at(11, 59, 59));

    s.setCursorTime(at(12, 0, 5));
    EXPECT_TRUE(s.keepCursorInView());
    EXPECT_EQ(s.viewEnd(), at(12, 0, 5));
    EXPECT_EQ(s.viewStart(), at(6, 0, 6));

    s.setCursorTime(at(5, 0, 0));
    s.placeCursorAtTime();
    EXPECT_TRUE(s.keepCursorInView());
    EXPECT_EQ(s.viewStart(), at(5, 0, 0));
    EXPECT_DOUBLE_EQ(s.cursorX(), s.rulerLeft());

    // Inside the view, or outside the day: nothing moves.
    s.setCursorTime(at(7, 0, 0));
    EXPECT_FALSE(s.keepCursorInView());
    s.setCursorTime(DateTime::fromParts(2024, 3, 16, 0, 0, 10));
    EXPECT_FALSE(s.keepCursorInView());
    EXPECT_EQ(s.viewStart(), at(5, 0, 0));
}

TEST(TimelineScaleTest, DayRangeResetsViewAndLevel)
{
    TimelineScale s = scaleOfWidth(960);
    s.setLevel(5);
    const DateTime start = DateTime::fromParts(2025, 1, 2, 0, 0, 0);
    const DateTime end = DateTime::fromParts(2025, 1, 2, 23, 59, 59);
    s.setDayRange(start, end);
    EXPECT_EQ(s.level(), 0);
    EXPECT_EQ(s.viewStart(), start);
    EXPECT_EQ(s.viewEnd(), end);
    s.setDayRange(DateTime(), end);  // invalid: ignored
    EXPECT_EQ(s.dayStart(), start);
}
