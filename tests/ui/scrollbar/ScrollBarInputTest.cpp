// SPDX-License-Identifier: GPL-3.0-or-later
// Mouse, wheel and keys on a scroll bar, and the notifications its parent
// receives for them.
#include "ScrollBarUiSupport.h"

#include <tuple>

using namespace scrollbar_test;
using widgets::ScrollPart;

namespace {

constexpr int kLineUp = platform::SB_LINEUP;
constexpr int kLineDown = platform::SB_LINEDOWN;
constexpr int kPageUp = platform::SB_PAGEUP;
constexpr int kPageDown = platform::SB_PAGEDOWN;
constexpr int kThumbPosition = platform::SB_THUMBPOSITION;
constexpr int kThumbTrack = platform::SB_THUMBTRACK;
constexpr int kEndScroll = platform::SB_ENDSCROLL;

}  // namespace

// (vertical, part, code)
class ScrollBarPress : public ScrollBarFixture,
                       public ::testing::WithParamInterface<std::tuple<bool, ScrollPart, int>> {};

TEST_P(ScrollBarPress, SendsItsCodeAtOnceRepeatsWhileHeldAndEndsOnRelease)
{
    const auto [vertical, part, code] = GetParam();
    createBar(vertical ? SBS_VERT | WS_VISIBLE : WS_VISIBLE, vertical ? QRect(10, 10, 13, 200) : QRect(10, 10, 200, 13));
    setRange(0, 100, 10, 40);
    const QPoint at = centreOf(part);
    mousePress(bar.get(), at);
    ASSERT_EQ(parent->codes(), std::vector<int>{code});
    const Notification& first = parent->received.front();
    EXPECT_EQ(first.msg, vertical ? platform::WM_VSCROLL : platform::WM_HSCROLL);
    EXPECT_EQ(first.bar, static_cast<platform::LPARAM>(bar->handle()));
    EXPECT_EQ(first.pos, 40);
    // The first repeat comes after the longer delay, then the quick ones.
    ASSERT_TRUE(waitFor([&] { return parent->count(code) >= 4; }));
    EXPECT_TRUE(bar->hasTimer(TestBar::kTimerRepeat));
    EXPECT_FALSE(bar->hasTimer(TestBar::kTimerFirstRepeat));
    mouseRelease(bar.get(), at);
    EXPECT_EQ(parent->codes().back(), kEndScroll);
    EXPECT_EQ(parent->count(kEndScroll), 1);
    EXPECT_FALSE(bar->hasTimer(TestBar::kTimerRepeat));
}

INSTANTIATE_TEST_SUITE_P(Parts, ScrollBarPress,
                         ::testing::Values(std::make_tuple(false, ScrollPart::FirstArrow, kLineUp),
                                           std::make_tuple(false, ScrollPart::SecondArrow, kLineDown),
                                           std::make_tuple(false, ScrollPart::TrackBefore, kPageUp),
                                           std::make_tuple(false, ScrollPart::TrackAfter, kPageDown),
                                           std::make_tuple(true, ScrollPart::FirstArrow, kLineUp),
                                           std::make_tuple(true, ScrollPart::TrackAfter, kPageDown)));

TEST_F(ScrollBarFixture, PagingStopsWhenTheThumbReachesThePointer)
{
    createBar(SBS_VERT | WS_VISIBLE, QRect(10, 10, 13, 300));
    setRange(0, 99, 10, 0);
    // An owner that scrolls by a page for each page-down.
    parent->onNotify = [this](const Notification& n) {
        if (n.code == kPageDown)
            bar->SetScrollPos(bar->GetScrollPos() + 10);
    };
    const QPoint at = along(200);
    mousePress(bar.get(), at);
    ASSERT_TRUE(waitFor([&] { return bar->hoverPart() == ScrollPart::Thumb; }));
    const int pages = parent->count(kPageDown);
    bar->onTimer(TestBar::kTimerRepeat);
    EXPECT_EQ(parent->count(kPageDown), pages);
    mouseRelease(bar.get(), at);
    EXPECT_EQ(parent->codes().back(), kEndScroll);
}

// A 13 x 200 vertical bar over 0..4 with a page of 1: a 174-pixel track,
// 34.8 pixels a unit, a 35-pixel thumb.
TEST_F(ScrollBarFixture, ThumbDragTracksThenSetsThePositionAndEnds)
{
    createBar(SBS_VERT | WS_VISIBLE, QRect(10, 10, 13, 200));
    setRange(0, 4, 1, 0);
    ASSERT_EQ(bar->layout().thumbLength(), 35);
    const QPoint grab = centreOf(ScrollPart::Thumb);
    mousePress(bar.get(), grab);
    EXPECT_TRUE(parent->received.empty());
    mouseMove(bar.get(), grab + QPoint(0, 1));  // the first move reports even without a change
    mouseMove(bar.get(), grab + QPoint(0, 70));  // two units
    EXPECT_EQ(bar->layout().thumbStart(), 13 + 70);  // the thumb follows the pointer
    ScrollInfo info;
    ASSERT_TRUE(bar->GetScrollInfo(info));
    EXPECT_EQ(info.nTrackPos, 2);
    EXPECT_EQ(info.nPos, 0);  // the owner sets the position, not the bar
    mouseMove(bar.get(), grab + QPoint(0, 71));  // same unit: nothing new
    mouseMove(bar.get(), grab + QPoint(0, 400));  // past the track's end
    EXPECT_EQ(bar->layout().thumbEnd(), bar->layout().trackEnd());
    mouseRelease(bar.get(), grab + QPoint(0, 400));
    EXPECT_EQ(parent->codes(), (std::vector<int>{kThumbTrack, kThumbTrack, kThumbTrack, kThumbPosition, kEndScroll}));
    std::vector<int> positions;
    for (const Notification& n : parent->received)
        positions.push_back(n.pos);
    EXPECT_EQ(positions, (std::vector<int>{0, 2, 4, 4, 0}));
    EXPECT_EQ(bar->layout().thumbStart(), bar->layout().trackStart());  // back at the unchanged position
}

TEST_F(ScrollBarFixture, ADraggedThumbStaysWithThePointerWhenTheOwnerSetsThePosition)
{
    createBar(WS_VISIBLE, QRect(10, 10, 300, 13));
    setRange(0, 99, 10, 0);
    parent->onNotify = [this](const Notification& n) {
        if (n.code == kThumbTrack || n.code == kThumbPosition)
            bar->SetScrollPos(n.pos);
    };
    // 274 track pixels, 2.74 a unit: 100 pixels are 36.5 units, position
    // 36, whose own thumb start would be 98.64 -> 99.
    const QPoint grab = centreOf(ScrollPart::Thumb);
    mousePress(bar.get(), grab);
    mouseMove(bar.get(), grab + QPoint(100, 0));
    EXPECT_EQ(bar->GetScrollPos(), 36);
    EXPECT_EQ(bar->layout().thumbStart(), 13 + 100);
    mouseRelease(bar.get(), grab + QPoint(100, 0));
    EXPECT_EQ(bar->GetScrollPos(), 36);
    EXPECT_EQ(bar->layout().thumbStart(), 13 + 99);
}

TEST_F(ScrollBarFixture, NegativePositionsTravelInTheHighWord)
{
    createBar(WS_VISIBLE, QRect(10, 10, 213, 13));
    setRange(-300, -101, 10, -250);
    mousePress(bar.get(), centreOf(ScrollPart::FirstArrow));
    mouseRelease(bar.get(), centreOf(ScrollPart::FirstArrow));
    const QPoint grab = centreOf(ScrollPart::Thumb);
    mousePress(bar.get(), grab);
    mouseMove(bar.get(), grab + QPoint(1000, 0));
    mouseRelease(bar.get(), grab + QPoint(1000, 0));
    std::vector<int> positions;
    for (const Notification& n : parent->received)
        positions.push_back(n.pos);
    EXPECT_EQ(parent->codes(), (std::vector<int>{kLineUp, kEndScroll, kThumbTrack, kThumbPosition, kEndScroll}));
    EXPECT_EQ(positions, (std::vector<int>{-250, -250, -110, -110, -250}));
}

TEST_F(ScrollBarFixture, WheelScrollsAVerticalBarALineForEachFullNotch)
{
    const std::pair<int, std::vector<int>> cases[] = {
        {120, {kLineUp, kEndScroll}},   {240, {kLineUp, kLineUp, kEndScroll}},
        {-120, {kLineDown, kEndScroll}}, {-240, {kLineDown, kLineDown, kEndScroll}},
        {300, {kLineUp, kLineUp, kEndScroll}}, {119, {}}, {-60, {}},
    };
    for (const bool vertical : {true, false}) {
        createBar(vertical ? SBS_VERT | WS_VISIBLE : WS_VISIBLE,
                  vertical ? QRect(10, 10, 13, 200) : QRect(10, 10, 200, 13));
        setRange(0, 100, 10, 50);
        for (const auto& [delta, codes] : cases) {
            parent->received.clear();
            wheel(bar.get(), along(100), delta);
            EXPECT_EQ(parent->codes(), vertical ? codes : std::vector<int>{}) << delta << " vertical " << vertical;
        }
    }
}

TEST_F(ScrollBarFixture, KeysOfAFocusedBarScrollAndTheirReleaseEnds)
{
    createBar(SBS_VERT | WS_VISIBLE | WS_TABSTOP, QRect(10, 10, 13, 200));
    setRange(0, 100, 10, 50);
    // A click takes the focus for a tab-stop bar.
    mousePress(bar.get(), along(100));
    mouseRelease(bar.get(), along(100));
    ASSERT_TRUE(bar->hasFocus());
    const std::pair<int, int> keys[] = {
        {Qt::Key_PageUp, kPageUp},       {Qt::Key_PageDown, kPageDown}, {Qt::Key_Home, platform::SB_TOP},
        {Qt::Key_End, platform::SB_BOTTOM}, {Qt::Key_Left, kLineUp},      {Qt::Key_Up, kLineUp},
        {Qt::Key_Right, kLineDown},      {Qt::Key_Down, kLineDown},     {Qt::Key_A, -1},
    };
    for (const auto& [keyCode, code] : keys) {
        parent->received.clear();
        sendKey(QEvent::KeyPress, keyCode);
        sendKey(QEvent::KeyRelease, keyCode, true);  // a held key repeats...
        sendKey(QEvent::KeyPress, keyCode, true);
        sendKey(QEvent::KeyRelease, keyCode);  // ...and ends once
        const std::vector<int> expected = code < 0 ? std::vector<int>{} : std::vector<int>{code, code, kEndScroll};
        EXPECT_EQ(parent->codes(), expected) << keyCode;
    }
    // Without the tab stop a click leaves the focus where it is.
    TestBar other;
    ASSERT_TRUE(other.Create(WS_VISIBLE, QRect(40, 10, 13, 200), parent.get(), 78));
    mousePress(&other, QPoint(6, 100));
    mouseRelease(&other, QPoint(6, 100));
    EXPECT_TRUE(bar->hasFocus());
}

TEST_F(ScrollBarFixture, DisablingOrHidingDuringAPressEndsIt)
{
    createBar(WS_VISIBLE, QRect(10, 10, 200, 13));
    setRange(0, 100, 10, 50);
    for (bool hide : {false, true}) {
        parent->received.clear();
        const QPoint arrow = centreOf(ScrollPart::SecondArrow);
        mousePress(bar.get(), arrow);
        if (hide)
            bar->setVisible(false);
        else
            bar->EnableScrollBar(ESB_DISABLE_BOTH);
        EXPECT_EQ(parent->codes(), (std::vector<int>{kLineDown, kEndScroll}));
        EXPECT_FALSE(bar->hasTimer(TestBar::kTimerFirstRepeat));
        mouseRelease(bar.get(), arrow);
        bar->EnableScrollBar(ESB_ENABLE_BOTH);
        bar->setVisible(true);
    }
}

TEST_F(ScrollBarFixture, NothingIsSentOnceTheParentIsNoLongerAWindow)
{
    createBar(WS_VISIBLE, QRect(10, 10, 200, 13));
    setRange(0, 100, 10, 50);
    parent->destroyWindow();
    mousePress(bar.get(), centreOf(ScrollPart::FirstArrow));
    mouseRelease(bar.get(), centreOf(ScrollPart::FirstArrow));
    EXPECT_TRUE(parent->received.empty());
}
