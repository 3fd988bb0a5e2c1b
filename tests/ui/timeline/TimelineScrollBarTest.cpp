// SPDX-License-Identifier: GPL-3.0-or-later
// The timeline's row scroll bar as a window: made hidden with its first
// range, placed at the right edge below the ruler, set by the channel
// count, and its own notifications picking the rows shown.
#include "TimelineTestRig.h"

#include "widgets/CXeScrollBar.h"

#include <QTest>

#include <gtest/gtest.h>

using timeline_test::at;
using timeline_test::TimelineRig;

namespace {

ScrollInfo infoOf(CXeScrollBar& bar)
{
    ScrollInfo info;
    info.fMask = SIF_ALL;
    EXPECT_TRUE(bar.GetScrollInfo(info));
    return info;
}

}  // namespace

TEST(TimelineScrollBarTest, MadeHiddenAndPlacedAtTheRightBelowTheRuler)
{
    CControlPlayer timeline;
    ASSERT_TRUE(timeline.Create(nullptr));
    CXeScrollBar* bar = timeline.rowScrollBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->controlId(), CControlPlayer::kRowScrollBarId);
    EXPECT_FALSE(bar->isHorizontal());
    EXPECT_TRUE(bar->isHidden());
    const ScrollInfo info = infoOf(*bar);
    EXPECT_EQ(info.nMin, 0);
    EXPECT_EQ(info.nMax, 1);
    EXPECT_EQ(info.nPage, 2u);
    EXPECT_EQ(info.nPos, 0);

    for (const QSize size : {QSize(760, 100), QSize(501, 61), QSize(1200, 160)}) {
        timeline.resize(size);
        EXPECT_EQ(bar->geometry(), QRect(size.width() - 13, 47, 13, size.height() - 47)) << size.width();
    }
    timeline.destroyWindow();
}

TEST(TimelineScrollBarTest, ChannelCountSetsTheBar)
{
    TimelineRig rig(at(12, 0, 0));
    CXeScrollBar& bar = *rig.timeline.rowScrollBar();
    struct Case {
        int channels;
        bool visible;
        int maximum;
        unsigned page;
    };
    for (const Case c : {Case{6, true, 4, 1}, Case{3, false, 4, 1}, Case{10, true, 8, 2}, Case{16, true, 12, 1},
                         Case{20, true, 12, 1}}) {
        rig.timeline.SetChannelRows(QString(), c.channels);
        EXPECT_EQ(bar.isVisible(), c.visible) << c.channels;
        const ScrollInfo info = infoOf(bar);
        EXPECT_EQ(info.nMin, 0) << c.channels;
        EXPECT_EQ(info.nMax, c.maximum) << c.channels;
        EXPECT_EQ(info.nPage, c.page) << c.channels;
        EXPECT_EQ(info.nPos, 0) << c.channels;
    }
}

TEST(TimelineScrollBarTest, TheBarsArrowsAndThumbPickTheRows)
{
    TimelineRig rig(at(12, 0, 0));
    rig.timeline.SetChannelRows(QString(), 8);
    rig.timeline.SetFirstRow(1);
    CXeScrollBar& bar = *rig.timeline.rowScrollBar();
    ASSERT_TRUE(bar.isVisible());
    const QRect r = bar.geometry();

    rig.click(QPoint(r.center().x(), r.bottom() - 3));  // the lower arrow
    EXPECT_EQ(rig.timeline.firstRow(), 2);
    EXPECT_EQ(bar.GetScrollPos(), 1);
    rig.click(QPoint(r.center().x(), r.bottom() - 3));
    EXPECT_EQ(rig.timeline.firstRow(), 3);
    rig.click(QPoint(r.center().x(), r.top() + 3));  // the upper arrow
    EXPECT_EQ(rig.timeline.firstRow(), 2);
    EXPECT_EQ(bar.GetScrollPos(), 1);
    EXPECT_EQ(rig.parent.count(platform::WM_TIMELINE_SEEK), 0) << "the bar's clicks are not the timeline's";
}
