// SPDX-License-Identifier: GPL-3.0-or-later
// The timeline driven as a user drives it: clicks and drags of the cursor
// and the seek they send, auto-scroll past the ends, right-button panning,
// the wheel, the keys, and the row scroll bar's notifications.
#include "TimelineTestRig.h"

#include "platform/Messages.h"

#include <QTest>

#include <gtest/gtest.h>

using platform::DateTime;
using platform::SystemTime;
using timeline_test::at;
using timeline_test::TimelineRig;

namespace {

constexpr int kRowsY = 70;   // inside the channel rows
constexpr int kRulerY = 10;  // on the ruler

DateTime timeOf(const SystemTime& t)
{
    return DateTime::fromSystemTime(t);
}

}  // namespace

TEST(TimelineInputTest, ClickAnywhereSendsASeekToTheTimeUnderTheCursor)
{
    for (const QPoint point : {QPoint(100, kRowsY), QPoint(401, kRowsY), QPoint(729, 95), QPoint(250, kRulerY)}) {
        TimelineRig rig(at(10, 0, 0));
        rig.click(point);
        ASSERT_EQ(rig.parent.count(platform::WM_TIMELINE_SEEK), 1) << point.x();
        const DateTime sought = timeOf(rig.parent.last(platform::WM_TIMELINE_SEEK).time);
        EXPECT_EQ(sought, rig.timeline.scale().timeAtX(point.x())) << point.x();
        EXPECT_EQ(rig.timeline.GetCursorTime(), sought);
        EXPECT_FALSE(rig.timeline.isDragging());
    }
}

TEST(TimelineInputTest, ClickOutsideTheRulerSeeksTheUnmovedCursor)
{
    for (const QPoint point : {QPoint(5, kRowsY), QPoint(755, kRowsY), QPoint(3, kRulerY)}) {
        TimelineRig rig(at(10, 0, 0));
        rig.click(point);
        ASSERT_EQ(rig.parent.count(platform::WM_TIMELINE_SEEK), 1) << point.x();
        EXPECT_EQ(timeOf(rig.parent.last(platform::WM_TIMELINE_SEEK).time), at(10, 0, 0)) << point.x();
    }
}

TEST(TimelineInputTest, PlaybackDoesNotMoveTheCursorWhileItIsHeld)
{
    TimelineRig rig(at(10, 0, 0));
    rig.press(QPoint(300, kRowsY));
    EXPECT_TRUE(rig.timeline.isDragging());
    rig.timeline.SetPlayTime(at(20, 0, 0));
    EXPECT_NE(rig.timeline.GetCursorTime(), at(20, 0, 0));
    rig.move(QPoint(320, kRowsY));
    EXPECT_DOUBLE_EQ(rig.timeline.scale().cursorX(), 320);
    rig.release(QPoint(320, kRowsY));
    EXPECT_EQ(rig.timeline.GetCursorTime(), rig.timeline.scale().timeAtX(320));
    rig.timeline.SetPlayTime(at(20, 0, 0));
    EXPECT_EQ(rig.timeline.GetCursorTime(), at(20, 0, 0));
}

TEST(TimelineInputTest, APressOnTheRulerDoesNotDragTheCursor)
{
    TimelineRig rig(at(10, 0, 0));
    rig.press(QPoint(300, kRulerY));
    rig.move(QPoint(500, kRowsY));
    EXPECT_DOUBLE_EQ(rig.timeline.scale().cursorX(), 300);
    rig.release(QPoint(500, kRowsY));
    EXPECT_EQ(timeOf(rig.parent.last(platform::WM_TIMELINE_SEEK).time), rig.timeline.scale().timeAtX(300));
}

TEST(TimelineInputTest, DraggingPastTheEndsScrollsTheView)
{
    // Pixels past the ruler's end; negative: past its left end.
    for (const int beyond : {20, 3, -15}) {
        TimelineRig rig(at(12, 0, 0));
        rig.timeline.ZoomIn();
        rig.timeline.ZoomIn();  // six hours
        const DateTime startBefore = rig.timeline.scale().viewStart();
        rig.parent.messages.clear();

        rig.press(QPoint(400, kRowsY));
        const int x = beyond > 0 ? rig.timeline.scale().rulerRight() + beyond : rig.timeline.scale().rulerLeft() + beyond;
        rig.move(QPoint(x, kRowsY));
        EXPECT_DOUBLE_EQ(rig.timeline.scale().cursorX(),
                         beyond > 0 ? rig.timeline.scale().rulerRight() : rig.timeline.scale().rulerLeft());
        // The view moves by the distance past the end, in seconds, every 10 ms.
        const auto moved = [&] {
            const std::int64_t s = timeline::seconds(startBefore, rig.timeline.scale().viewStart());
            return beyond > 0 ? s >= 5 * beyond : s <= 5 * beyond;
        };
        EXPECT_TRUE(QTest::qWaitFor(moved, 5000)) << beyond;
        EXPECT_GE(rig.parent.count(platform::WM_TIMELINE_VIEW), 5);
        EXPECT_EQ(timeOf(rig.parent.last(platform::WM_TIMELINE_VIEW).time), rig.timeline.scale().viewStart());

        // Back inside, the scrolling stops.
        rig.move(QPoint(400, kRowsY));
        const DateTime stopped = rig.timeline.scale().viewStart();
        QTest::qWait(60);
        EXPECT_EQ(rig.timeline.scale().viewStart(), stopped);
        rig.release(QPoint(400, kRowsY));
        EXPECT_EQ(timeOf(rig.parent.last(platform::WM_TIMELINE_SEEK).time), rig.timeline.scale().timeAtX(400));
    }
}

TEST(TimelineInputTest, AutoScrollGoesOnWhileTheMouseKeepsMovingPastTheEnd)
{
    TimelineRig rig(at(12, 0, 0));
    for (int i = 0; i < 4; ++i)
        rig.timeline.ZoomIn();
    const DateTime start = rig.timeline.scale().viewStart();
    rig.press(QPoint(400, kRowsY));
    // Moves closer together than the timer's 10 ms must not hold it off.
    for (int i = 0; i < 60; ++i) {
        rig.move(QPoint(rig.timeline.scale().rulerRight() + 10 + i % 2, kRowsY));
        QTest::qWait(3);
    }
    EXPECT_GE(timeline::seconds(start, rig.timeline.scale().viewStart()), 10);
    rig.release(QPoint(400, kRowsY));
}

TEST(TimelineInputTest, AutoScrollStopsAtTheEndOfTheDayAndOnRelease)
{
    TimelineRig rig(at(23, 0, 0));
    for (int i = 0; i < 7; ++i)
        rig.timeline.ZoomIn();  // five minutes
    rig.press(QPoint(400, kRowsY));
    const QPoint past(rig.timeline.scale().rulerRight() + 30, kRowsY);  // 30 s a tick
    rig.move(past);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.timeline.scale().viewEnd() == at(23, 59, 59); }, 10000));
    rig.release(past);
    EXPECT_FALSE(rig.timeline.hasTimer(CControlPlayer::kAutoScrollTimer));
    // The seek goes to the time at the ruler's right end.
    EXPECT_EQ(timeOf(rig.parent.last(platform::WM_TIMELINE_SEEK).time),
              rig.timeline.scale().timeAtX(rig.timeline.scale().rulerRight()));
}

TEST(TimelineInputTest, RightButtonPansTheZoomedView)
{
    for (const int distance : {100, 7}) {
        TimelineRig rig(at(12, 0, 0));
        for (int i = 0; i < 4; ++i)
            rig.timeline.ZoomIn();  // one hour
        const DateTime start = rig.timeline.scale().viewStart();
        const double secondsPerPixel = rig.timeline.scale().secondsPerPixel();
        const auto expected = static_cast<std::int64_t>(secondsPerPixel * distance + 0.5);
        rig.parent.messages.clear();

        rig.press(QPoint(400, kRowsY), Qt::RightButton);
        rig.move(QPoint(400 - distance, kRowsY));  // picture dragged left: later times
        EXPECT_EQ(timeline::seconds(start, rig.timeline.scale().viewStart()), expected) << distance;
        rig.move(QPoint(400, kRowsY));  // and back
        EXPECT_EQ(rig.timeline.scale().viewStart(), start) << distance;
        EXPECT_EQ(rig.parent.count(platform::WM_TIMELINE_VIEW), 2);
        rig.release(QPoint(400, kRowsY), Qt::RightButton);
        EXPECT_EQ(rig.parent.count(platform::WM_TIMELINE_SEEK), 0) << "a pan does not seek";
        EXPECT_FALSE(rig.timeline.isDragging());
        EXPECT_EQ(rig.timeline.GetCursorTime(), at(12, 0, 0));
    }
}

TEST(TimelineInputTest, AfterAPanTheCursorLineStandsAtItsTime)
{
    TimelineRig rig(at(12, 0, 0));
    for (int i = 0; i < 4; ++i)
        rig.timeline.ZoomIn();
    rig.press(QPoint(400, kRowsY), Qt::RightButton);
    rig.move(QPoint(300, kRowsY));
    rig.release(QPoint(300, kRowsY), Qt::RightButton);
    const auto& scale = rig.timeline.scale();
    EXPECT_DOUBLE_EQ(scale.cursorX(), scale.xOfTime(at(12, 0, 0)));
}

TEST(TimelineInputTest, WheelZoomsOnlyByWholeNotches)
{
    TimelineRig rig(at(12, 0, 0));
    const QPoint over(400, kRowsY);
    rig.wheel(over, 120);
    EXPECT_EQ(rig.timeline.scale().level(), 1);
    rig.wheel(over, 120);
    EXPECT_EQ(rig.timeline.scale().level(), 2);
    for (const int delta : {60, -60, 240, -119, 121})
        rig.wheel(over, delta);
    EXPECT_EQ(rig.timeline.scale().level(), 2);
    rig.wheel(over, -120);
    EXPECT_EQ(rig.timeline.scale().level(), 1);
    rig.wheel(over, -120);
    rig.wheel(over, -120);
    EXPECT_EQ(rig.timeline.scale().level(), 0);
    for (int i = 0; i < 9; ++i)
        rig.wheel(over, 120);
    EXPECT_EQ(rig.timeline.scale().level(), 7);
}

TEST(TimelineInputTest, ZoomShowsItsLabelForHalfASecond)
{
    TimelineRig rig(at(12, 0, 0));
    rig.timeline.ZoomIn();
    EXPECT_TRUE(rig.timeline.zoomLabelShown());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !rig.timeline.zoomLabelShown(); }, 3000));
    EXPECT_FALSE(rig.timeline.hasTimer(CControlPlayer::kZoomLabelTimer));
}

TEST(TimelineInputTest, KeysStepZoomAndPlay)
{
    TimelineRig rig(at(12, 0, 0));
    rig.click(QPoint(rig.timeline.scale().xOfTime(at(12, 0, 0)), kRowsY));  // focus
    ASSERT_TRUE(rig.timeline.hasFocus());
    const DateTime cursor = rig.timeline.GetCursorTime();

    rig.key(Qt::Key_Right);
    rig.key(Qt::Key_Right);
    EXPECT_EQ(rig.timeline.GetCursorTime(), cursor.addSeconds(2));
    rig.key(Qt::Key_Left);
    EXPECT_EQ(rig.timeline.GetCursorTime(), cursor.addSeconds(1));
    rig.key(Qt::Key_Up);
    rig.key(Qt::Key_Up);
    EXPECT_EQ(rig.timeline.scale().level(), 2);
    rig.key(Qt::Key_Down);
    EXPECT_EQ(rig.timeline.scale().level(), 1);

    rig.parent.messages.clear();
    rig.key(Qt::Key_Space);
    EXPECT_EQ(rig.parent.count(platform::WM_KEYDOWN), 0) << "posted, not sent";
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.parent.count(platform::WM_KEYDOWN) == 1; }, 3000));
    EXPECT_EQ(rig.parent.last(platform::WM_KEYDOWN).wParam, 0u);
}

TEST(TimelineInputTest, ZoomInTellsTheParentTheViewStart)
{
    TimelineRig rig(at(12, 0, 0));
    rig.timeline.ZoomIn();
    ASSERT_EQ(rig.parent.count(platform::WM_TIMELINE_VIEW), 1);
    EXPECT_EQ(timeOf(rig.parent.last(platform::WM_TIMELINE_VIEW).time), rig.timeline.scale().viewStart());
    rig.timeline.ZoomOut();
    EXPECT_EQ(rig.parent.count(platform::WM_TIMELINE_VIEW), 1) << "the whole day is not told";
}
