// SPDX-License-Identifier: GPL-3.0-or-later
// The scroll-bar control messages, sent to the bar's handle as an owner
// sends them.
#include "ScrollBarUiSupport.h"

#include <climits>

using namespace scrollbar_test;
using platform::sendMessage;
using widgets::ScrollPart;

namespace {

platform::LPARAM ptr(void* p)
{
    return reinterpret_cast<platform::LPARAM>(p);
}

}  // namespace

TEST_F(ScrollBarFixture, PositionAndRangeMessages)
{
    createBar(WS_VISIBLE, QRect(10, 10, 200, 13));
    const platform::WindowHandle h = bar->handle();
    EXPECT_EQ(sendMessage(h, platform::SBM_SETRANGE, 0, 100), 0);
    EXPECT_EQ(sendMessage(h, platform::SBM_SETPOS, 60, 1), 0);  // returns the old position
    EXPECT_EQ(sendMessage(h, platform::SBM_SETPOS, static_cast<platform::WPARAM>(-5), 1), 60);
    EXPECT_EQ(sendMessage(h, platform::SBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(sendMessage(h, platform::SBM_SETPOS, 500, 1), 0);
    EXPECT_EQ(sendMessage(h, platform::SBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(sendMessage(h, platform::SBM_SETRANGEREDRAW, 0, 40), 100);  // the position moved to 40
    EXPECT_EQ(sendMessage(h, platform::SBM_SETRANGE, -10, 50), 0);  // 40 still fits
    int minimum = 0, maximum = 0;
    sendMessage(h, platform::SBM_GETRANGE, reinterpret_cast<platform::WPARAM>(&minimum), ptr(&maximum));
    EXPECT_EQ(minimum, -10);
    EXPECT_EQ(maximum, 50);
    EXPECT_EQ(bar->GetScrollLimit(), 50);  // page 1
}

TEST_F(ScrollBarFixture, ScrollInfoMessagesCheckTheRecordSize)
{
    createBar(WS_VISIBLE, QRect(10, 10, 200, 13));
    const platform::WindowHandle h = bar->handle();
    ScrollInfo info;
    info.fMask = SIF_ALL;
    info.nMin = 0;
    info.nMax = 9;
    info.nPage = 30;
    info.nPos = 7;
    EXPECT_EQ(sendMessage(h, platform::SBM_SETSCROLLINFO, 1, ptr(&info)), 0);  // page cut to 10
    ScrollInfo out;
    out.fMask = SIF_ALL;
    ASSERT_EQ(sendMessage(h, platform::SBM_GETSCROLLINFO, 0, ptr(&out)), 1);
    EXPECT_EQ(out.nMin, 0);
    EXPECT_EQ(out.nMax, 9);
    EXPECT_EQ(out.nPage, 10u);
    EXPECT_EQ(out.nPos, 0);

    info.nPage = 3;
    EXPECT_EQ(sendMessage(h, platform::SBM_SETSCROLLINFO, 1, ptr(&info)), 7);

    ScrollInfo wrong = info;
    wrong.cbSize = 20;
    wrong.nPos = 1;
    EXPECT_EQ(sendMessage(h, platform::SBM_SETSCROLLINFO, 1, ptr(&wrong)), 0);
    EXPECT_EQ(sendMessage(h, platform::SBM_GETSCROLLINFO, 0, ptr(&wrong)), 0);
    EXPECT_EQ(bar->GetScrollPos(), 7);
}

TEST_F(ScrollBarFixture, DisableNoScrollDisablesUntilThePageLeavesScrollOrAPositionIsSet)
{
    createBar(WS_VISIBLE, QRect(10, 10, 200, 13));
    ScrollInfo info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL;
    info.nMin = 0;
    info.nMax = 4;
    info.nPage = 4;  // not shorter than 4 - 0
    bar->SetScrollInfo(info);
    EXPECT_FALSE(bar->isEnabled());
    EXPECT_FALSE(bar->layout().hasThumb());
    info.nPage = 3;
    bar->SetScrollInfo(info);
    EXPECT_TRUE(bar->isEnabled());
    EXPECT_TRUE(bar->layout().hasThumb());

    info.nPage = 5;
    bar->SetScrollInfo(info);
    ASSERT_FALSE(bar->isEnabled());
    bar->SetScrollPos(0);  // re-enables a bar disabled this way
    EXPECT_TRUE(bar->isEnabled());

    // A bar disabled otherwise stays disabled.
    bar->EnableScrollBar(ESB_DISABLE_LTUP);
    bar->SetScrollPos(0);
    EXPECT_FALSE(bar->isEnabled());
}

TEST_F(ScrollBarFixture, EnableArrowsAndTheDisabledStyle)
{
    createBar(WS_VISIBLE | WS_DISABLED, QRect(10, 10, 200, 13));
    setRange(0, 100, 10, 50);
    EXPECT_FALSE(bar->layout().hasThumb());
    const platform::WindowHandle h = bar->handle();
    for (std::uint32_t flags : {ESB_DISABLE_LTUP, ESB_DISABLE_RTDN, ESB_DISABLE_BOTH}) {
        EXPECT_EQ(sendMessage(h, platform::SBM_ENABLE_ARROWS, ESB_ENABLE_BOTH, 0), 1);
        EXPECT_TRUE(bar->layout().hasThumb());
        sendMessage(h, platform::SBM_ENABLE_ARROWS, flags, 0);
        EXPECT_FALSE(bar->isEnabled()) << flags;
    }
}

TEST_F(ScrollBarFixture, ScrollBarInfoReportsPlaceThumbAndPartStates)
{
    createBar(SBS_VERT | WS_VISIBLE, QRect(20, 30, 13, 200));
    setRange(0, 4, 1, 0);
    ScrollBarInfo info;
    ASSERT_EQ(sendMessage(bar->handle(), platform::SBM_GETSCROLLBARINFO, 0, ptr(&info)), 1);
    const QPoint topLeft = parent->mapToGlobal(QPoint(20, 30));
    EXPECT_EQ(info.rcScrollBar.left, topLeft.x());
    EXPECT_EQ(info.rcScrollBar.top, topLeft.y());
    EXPECT_EQ(info.rcScrollBar.right, topLeft.x() + 13);
    EXPECT_EQ(info.rcScrollBar.bottom, topLeft.y() + 200);
    EXPECT_EQ(info.dxyLineButton, 13);
    EXPECT_EQ(info.xyThumbTop, 13);
    EXPECT_EQ(info.xyThumbBottom, 13 + 35);
    EXPECT_EQ(info.rgstate[0], 0u);
    EXPECT_EQ(info.rgstate[1], 0u);
    EXPECT_EQ(info.rgstate[2], STATE_SYSTEM_INVISIBLE);  // no track before the thumb at 0
    EXPECT_EQ(info.rgstate[3], 0u);
    EXPECT_EQ(info.rgstate[4], 0u);
    EXPECT_EQ(info.rgstate[5], 0u);

    // The pressed part.
    const QPoint thumb = centreOf(ScrollPart::Thumb);
    mousePress(bar.get(), thumb);
    ASSERT_TRUE(bar->GetScrollBarInfo(info));
    EXPECT_EQ(info.rgstate[3], STATE_SYSTEM_PRESSED);
    mouseRelease(bar.get(), thumb);
    const QPoint second = centreOf(ScrollPart::SecondArrow);
    mousePress(bar.get(), second);
    ASSERT_TRUE(bar->GetScrollBarInfo(info));
    EXPECT_EQ(info.rgstate[5], STATE_SYSTEM_PRESSED);
    EXPECT_EQ(info.rgstate[3], 0u);
    mouseRelease(bar.get(), second);

    // Disabled: every part unavailable, the thumb gone.
    bar->EnableScrollBar(ESB_DISABLE_BOTH);
    ASSERT_TRUE(bar->GetScrollBarInfo(info));
    EXPECT_EQ(info.xyThumbTop, 0);
    EXPECT_EQ(info.xyThumbBottom, 0);
    EXPECT_EQ(info.rgstate[0], STATE_SYSTEM_UNAVAILABLE);
    EXPECT_EQ(info.rgstate[2], STATE_SYSTEM_UNAVAILABLE);
    EXPECT_EQ(info.rgstate[3], STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_INVISIBLE);
    EXPECT_EQ(info.rgstate[4], STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_INVISIBLE);

    ScrollBarInfo wrong;
    wrong.cbSize = 56;
    EXPECT_EQ(sendMessage(bar->handle(), platform::SBM_GETSCROLLBARINFO, 0, ptr(&wrong)), 0);
}

TEST_F(ScrollBarFixture, ResizingLaysOutAgain)
{
    createBar(WS_VISIBLE, QRect(10, 10, 200, 13));
    setRange(0, 4, 1, 0);
    bar->resize(300, 17);
    EXPECT_EQ(bar->layout().trackLength(), 266);
    bar->SetArrowLength(20);
    EXPECT_EQ(bar->layout().trackLength(), 260);
    EXPECT_EQ(bar->layout().thumbLength(), 52);
}
