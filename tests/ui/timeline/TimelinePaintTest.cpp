// SPDX-License-Identifier: GPL-3.0-or-later
// What the timeline paints: span colours at their x extents in the overview
// and channel rows (only once the spans are ready), later spans over
// earlier ones, the rows shown from the first row, a span reaching back
// before the view, the cursor line and the ruler.
#include "TimelineTestRig.h"

#include <QImage>
#include <QPixmap>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

using timeline_test::at;
using timeline_test::TimelineRig;

namespace {

const QColor kNormal(8, 156, 8);
const QColor kAlarm(255, 41, 39);
const QColor kCursor(50, 255, 22);
const QColor kChannelRow(82, 82, 82);
const QColor kRowFrame(51, 52, 50);
const QColor kRulerInk(120, 120, 120);

// Rows of the 760 x 100 timeline: span pixels run from a row's top + 2 to
// its bottom - 2.
constexpr int kOverviewY = 37;  // row 32..42
constexpr int kRow0Y = 56;      // row 50..62
constexpr int kRow1Y = 68;      // row 62..75

QImage picture(CControlPlayer& timeline)
{
    return timeline.grab().toImage();
}

std::string colourAt(const QImage& image, int x, int y)
{
    const QColor c = image.pixelColor(x, y);
    return std::to_string(c.red()) + "," + std::to_string(c.green()) + "," + std::to_string(c.blue());
}

std::string text(const QColor& c)
{
    return std::to_string(c.red()) + "," + std::to_string(c.green()) + "," + std::to_string(c.blue());
}

// Expects [x1, x2) of row y in the colour, and the columns just outside not.
void expectRun(const QImage& image, int y, int x1, int x2, const QColor& colour)
{
    for (int x = x1; x < x2; ++x)
        ASSERT_EQ(colourAt(image, x, y), text(colour)) << "x " << x << " y " << y;
    EXPECT_NE(colourAt(image, x1 - 1, y), text(colour)) << "left of " << x1 << " y " << y;
    EXPECT_NE(colourAt(image, x2, y), text(colour)) << "right of " << x2 << " y " << y;
}

// At level 0 on the 760-pixel timeline a second is 700 / 86400 pixels;
// the times below avoid whole-pixel edges.
void addTestSpans(CControlPlayer& timeline)
{
    timeline.AddSpan(QString(), 0, at(6, 1, 0), at(9, 1, 0), 0);    // x 205..291
    timeline.AddSpan(QString(), 1, at(12, 1, 0), at(14, 1, 0), 5);  // x 380..437
}

}  // namespace

TEST(TimelinePaintTest, SpansAreHiddenUntilTheyAreReady)
{
    TimelineRig rig(at(23, 59, 59));
    addTestSpans(rig.timeline);
    const QImage before = picture(rig.timeline);
    for (int x = 0; x < before.width(); ++x) {
        for (const int y : {kOverviewY, kRow0Y, kRow1Y}) {
            ASSERT_NE(colourAt(before, x, y), text(kNormal)) << x;
            ASSERT_NE(colourAt(before, x, y), text(kAlarm)) << x;
        }
    }
    EXPECT_EQ(colourAt(before, 250, kRow0Y), text(kChannelRow));

    rig.timeline.spansReady = true;
    rig.timeline.Invalidate();
    const QImage after = picture(rig.timeline);
    expectRun(after, kOverviewY, 205, 292, kNormal);
    expectRun(after, kOverviewY, 380, 438, kAlarm);
    expectRun(after, kRow0Y, 205, 292, kNormal);
    expectRun(after, kRow1Y, 380, 438, kAlarm);
    EXPECT_EQ(colourAt(after, 400, kRow0Y), text(kChannelRow)) << "channel 1's span is not in channel 0's row";
    // Spans leave the rows' top and bottom lines to the frame and its gap.
    EXPECT_EQ(colourAt(after, 250, 50), text(kRowFrame));
    EXPECT_EQ(colourAt(after, 250, 51), text(kChannelRow));
    EXPECT_EQ(colourAt(after, 250, 52), text(kNormal));
    EXPECT_EQ(colourAt(after, 250, 60), text(kNormal));
    EXPECT_EQ(colourAt(after, 250, 61), text(kRowFrame));
}

TEST(TimelinePaintTest, LaterSpansPaintOverEarlierOnes)
{
    TimelineRig rig(at(23, 59, 59));
    addTestSpans(rig.timeline);
    rig.timeline.AddSpan(QString(), 0, at(7, 1, 0), at(8, 1, 0), 1);  // x 234..262, over the green
    rig.timeline.spansReady = true;
    const QImage image = picture(rig.timeline);
    expectRun(image, kRow0Y, 234, 263, kAlarm);
    expectRun(image, kRow0Y, 205, 234, kNormal);
    expectRun(image, kRow0Y, 263, 292, kNormal);
    expectRun(image, kOverviewY, 234, 263, kAlarm);
}

TEST(TimelinePaintTest, RowsAreShownFromTheFirstRow)
{
    TimelineRig rig(at(23, 59, 59));
    rig.timeline.SetChannelRows(QString(), 6);
    addTestSpans(rig.timeline);
    rig.timeline.AddSpan(QString(), 5, at(3, 1, 0), at(4, 1, 0), 0);  // channel 6: x 117..146
    rig.timeline.spansReady = true;
    EXPECT_EQ(rig.timeline.SetFirstRow(2), 2);
    QImage image = picture(rig.timeline);
    expectRun(image, kRow0Y, 380, 438, kAlarm);  // key 2 on top
    EXPECT_EQ(colourAt(image, 250, kRow0Y), text(kChannelRow));

    EXPECT_EQ(rig.timeline.SetFirstRow(3), 3);
    image = picture(rig.timeline);
    expectRun(image, 93, 117, 147, kNormal);  // key 6 in the fourth row (87..100)
    EXPECT_EQ(rig.timeline.SetFirstRow(0), 3) << "below 1 is ignored";
}

TEST(TimelinePaintTest, ASpanFromBeforeTheViewStartsAtTheRowLeft)
{
    TimelineRig rig(at(12, 0, 0));  // the cursor outside the view below
    addTestSpans(rig.timeline);
    rig.timeline.spansReady = true;
    for (int i = 0; i < 4; ++i)
        rig.timeline.ZoomIn();  // one hour; the margins are now 34
    rig.timeline.SetViewRange(at(7, 0, 0), at(7, 59, 59));
    // The zoom label covers the rows' middle for half a second.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.timeline.zoomLabelShown(); }, 3000));
    const QImage image = picture(rig.timeline);
    // The row runs from 33 to 727 with its frame on both; the span covers
    // everything between.
    EXPECT_EQ(colourAt(image, 33, kRow0Y), text(kRowFrame));
    expectRun(image, kRow0Y, 34, 726, kNormal);
    EXPECT_EQ(colourAt(image, 726, kRow0Y), text(kRowFrame));
}

TEST(TimelinePaintTest, CursorLineStandsAtTheCursorTime)
{
    for (const int minute : {0, 17, 44}) {
        TimelineRig rig(at(10, minute, 30));
        addTestSpans(rig.timeline);
        rig.timeline.spansReady = true;
        const int x = static_cast<int>(rig.timeline.scale().xOfTime(at(10, minute, 30)));
        const QImage image = picture(rig.timeline);
        for (const int y : {23, 44, kRow0Y, kRow1Y, 99})
            EXPECT_EQ(colourAt(image, x, y), text(kCursor)) << "x " << x << " y " << y;
        EXPECT_NE(colourAt(image, x, 22), text(kCursor));
        EXPECT_NE(colourAt(image, x - 1, kRow0Y), text(kCursor));
        EXPECT_NE(colourAt(image, x + 1, kRow0Y), text(kCursor));
    }
}

TEST(TimelinePaintTest, CursorOutsideTheViewIsNotDrawn)
{
    TimelineRig rig(at(12, 0, 0));
    for (int i = 0; i < 4; ++i)
        rig.timeline.ZoomIn();
    rig.timeline.SetViewRange(at(15, 0, 0), at(15, 59, 59));  // the cursor stays at noon
    const QImage image = picture(rig.timeline);
    for (int x = 0; x < image.width(); ++x)
        ASSERT_NE(colourAt(image, x, kRow0Y), text(kCursor)) << x;
}

TEST(TimelinePaintTest, RulerTicksAtTheDivisions)
{
    TimelineRig rig(at(11, 11, 11));  // the cursor line away from the ticks
    const QImage image = picture(rig.timeline);
    const double division = 700.0 / 12;
    for (int k = 0; k <= 12; ++k) {
        const int x = 30 + static_cast<int>(k * division + 1e-6);
        // Major ticks 10 pixels high above the ruler's bottom (32), minor
        // ones 5; the base line at 31.
        const bool tickNear = colourAt(image, x, 26) == text(kRulerInk) || colourAt(image, x - 1, 26) == text(kRulerInk);
        EXPECT_TRUE(tickNear) << "tick " << k << " at " << x;
    }
    EXPECT_EQ(colourAt(image, 100, 31), text(kRulerInk));
    EXPECT_NE(colourAt(image, 100, 26), text(kRulerInk)) << "between ticks";
}
