// SPDX-License-Identifier: GPL-3.0-or-later
// Mouse, wheel and keys on a scroll bar, and the notifications its parent
// receives for them.
#include "ScrollBarUiSupport.h"

#include <QApplication>

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
constexpr int kTop = platform::SB_TOP;
constexpr int kBottom = platform::SB_BOTTOM;
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
    EXPECT_EQ(bar->pressedPart(), part);
    // The first repeat comes after the longer delay, then the quick ones.
    ASSERT_TRUE(waitFor([&] { return parent->count(code) >= 4; }));
    EXPECT_TRUE(bar->hasTimer(TestBar::kTimerRepeat));
    EXPECT_FALSE(bar->hasTimer(TestBar::kTimerFirstRepeat));
    mouseRelease(bar.get(), at);
    EXPECT_EQ(parent->codes().back(), kEndScroll);
    EXPECT_EQ(parent->count(kEndScroll), 1);
    EXPECT_FALSE(bar->hasTimer(TestBar::kTimerRepeat));
    EXPECT_FALSE(bar->hasTimer(TestBar::kTimerFirstRepeat));
    EXPECT_EQ(bar->pressedPart(), ScrollPart::None);
}

INSTANTIATE_TEST_SUITE_P(Parts, ScrollBarPress,
                         ::testing::Values(std::make_tuple(false, ScrollPart::FirstArrow, kLineUp),
                                           std::make_tuple(false, ScrollPart::SecondArrow, kLineDown),
                                           std::make_tuple(false, ScrollPart::TrackBefore, kPageUp),
                                           std::make_tuple(false, ScrollPart::TrackAfter, kPageDown),
                                           std::make_tuple(true, ScrollPart::FirstArrow, kLineUp),
                                           std::make_tuple(true, ScrollPart::TrackAfter, kPageDown)));

TEST_F(ScrollBarFixture, RepeatPausesWhileThePointerIsOffThePressedPart)
{
    createBar(WS_VISIBLE, QRect(10, 10, 200, 13));
    setRange(0, 100, 10, 40);
    const QPoint arrow = centreOf(ScrollPart::FirstArrow);
    mousePress(bar.get(), arrow);
    ASSERT_EQ(parent->count(kLineUp), 1);
    mouseMove(bar.get(), centreOf(ScrollPart::TrackAfter));
    bar->onTimer(TestBar::kTimerFirstRepeat);
    bar->onTimer(TestBar::kTimerRepeat);
    EXPECT_EQ(parent->count(kLineUp), 1);
    EXPECT_EQ(bar->hoverPart(), ScrollPart::TrackAfter);
    mouseMove(bar.get(), arrow);
    bar->onTimer(TestBar::kTimerRepeat);
    EXPECT_EQ(parent->count(kLineUp), 2);
    mouseRelease(bar.get(), arrow);
}

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
    EXPECT_TRUE(bar->layout().partRect(ScrollPart::Thumb).contains(at));
    bar->onTimer(TestBar::kTimerRepeat);
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
    EXPECT_EQ(bar->pressedPart(), ScrollPart::Thumb);

    mouseMove(bar.get(), grab + QPoint(0, 1));  // the first move reports even without a change
    ASSERT_EQ(parent->codes(), std::vector<int>{kThumbTrack});
    EXPECT_EQ(parent->received.back().pos, 0);

    mouseMove(bar.get(), grab + QPoint(0, 70));  // two units
    EXPECT_EQ(parent->received.back().code, kThumbTrack);
    EXPECT_EQ(parent->received.back().pos, 2);
    EXPECT_EQ(bar->layout().thumbStart(), 13 + 70);  // the thumb follows the pointer
    EXPECT_EQ(bar->GetScrollPos(), 0);  // the owner sets the position, not the bar
    ScrollInfo info;
    ASSERT_TRUE(bar->GetScrollInfo(info));
    EXPECT_EQ(info.nTrackPos, 2);

    const std::size_t before = parent->received.size();
    mouseMove(bar.get(), grab + QPoint(0, 71));  // same unit: nothing new
    EXPECT_EQ(parent->received.size(), before);

    mouseMove(bar.get(), grab + QPoint(0, 400));  // past the track's end
    EXPECT_EQ(parent->received.back().pos, 4);
    EXPECT_EQ(bar->layout().thumbEnd(), bar->layout().trackEnd());

    mouseRelease(bar.get(), grab + QPoint(0, 400));
    const std::vector<Notification>& r = parent->received;
    ASSERT_GE(r.size(), 2u);
    EXPECT_EQ(r[r.size() - 2].code, kThumbPosition);
    EXPECT_EQ(r[r.size() - 2].pos, 4);
    EXPECT_EQ(r.back().code, kEndScroll);
    // Not set by the owner: the thumb goes back to the position.
    EXPECT_EQ(bar->layout().thumbStart(), bar->layout().trackStart());
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
    EXPECT_EQ(parent->codes(), (std::vector<int>{kThumbTrack, kThumbPosition, kEndScroll}));
}

// (delta, codes)
class ScrollBarWheel : public ScrollBarFixture,
                       public ::testing::WithParamInterface<std::tuple<int, std::vector<int>>> {};

TEST_P(ScrollBarWheel, OnAVerticalBarScrollsALineForEachFullNotch)
{
    const auto& [delta, codes] = GetParam();
    createBar(SBS_VERT | WS_VISIBLE, QRect(10, 10, 13, 200));
    setRange(0, 100, 10, 50);
    wheel(bar.get(), along(100), delta);
    EXPECT_EQ(parent->codes(), codes);
}

TEST_P(ScrollBarWheel, OnAHorizontalBarDoesNothing)
{
    const int delta = std::get<0>(GetParam());
    createBar(WS_VISIBLE, QRect(10, 10, 200, 13));
    setRange(0, 100, 10, 50);
    wheel(bar.get(), along(100), delta);
    EXPECT_TRUE(parent->received.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Deltas, ScrollBarWheel,
    ::testing::Values(std::make_tuple(120, std::vector<int>{kLineUp, kEndScroll}),
                      std::make_tuple(240, std::vector<int>{kLineUp, kLineUp, kEndScroll}),
                      std::make_tuple(-120, std::vector<int>{kLineDown, kEndScroll}),
                      std::make_tuple(-240, std::vector<int>{kLineDown, kLineDown, kEndScroll}),
                      std::make_tuple(300, std::vector<int>{kLineUp, kLineUp, kEndScroll}),
                      std::make_tuple(119, std::vector<int>{}), std::make_tuple(-60, std::vector<int>{})));

// (key, code)
class ScrollBarKey : public ScrollBarFixture, public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(ScrollBarKey, SendsItsCodeAndEndsScrollOnRelease)
{
    const auto [keyCode, code] = GetParam();
    createBar(SBS_VERT | WS_VISIBLE | WS_TABSTOP, QRect(10, 10, 13, 200));
    setRange(0, 100, 10, 50);
    // A click takes the focus for a tab-stop bar.
    mousePress(bar.get(), along(100));
    mouseRelease(bar.get(), along(100));
    ASSERT_TRUE(bar->hasFocus());
    parent->received.clear();
    sendKey(QEvent::KeyPress, keyCode);
    sendKey(QEvent::KeyRelease, keyCode, true);  // a held key repeats...
    sendKey(QEvent::KeyPress, keyCode, true);
    sendKey(QEvent::KeyRelease, keyCode);  // ...and ends once
    EXPECT_EQ(parent->codes(), (std::vector<int>{code, code, kEndScroll}));
}

INSTANTIATE_TEST_SUITE_P(Keys, ScrollBarKey,
                         ::testing::Values(std::make_tuple(int(Qt::Key_PageUp), kPageUp),
                                           std::make_tuple(int(Qt::Key_PageDown), kPageDown),
                                           std::make_tuple(int(Qt::Key_Home), kTop),
                                           std::make_tuple(int(Qt::Key_End), kBottom),
                                           std::make_tuple(int(Qt::Key_Left), kLineUp),
                                           std::make_tuple(int(Qt::Key_Up), kLineUp),
                                           std::make_tuple(int(Qt::Key_Right), kLineDown),
                                           std::make_tuple(int(Qt::Key_Down), kLineDown)));

TEST_F(ScrollBarFixture, OtherKeysAreLeftToTheParentAndABarWithoutTabStopTakesNoFocus)
{
    createBar(WS_VISIBLE, QRect(10, 10, 200, 13));
    setRange(0, 100, 10, 50);
    mousePress(bar.get(), along(100));
    mouseRelease(bar.get(), along(100));
    EXPECT_FALSE(bar->hasFocus());

    auto& tabStop = *new TestBar();  // owned by the parent
    ASSERT_TRUE(tabStop.Create(WS_VISIBLE | WS_TABSTOP, QRect(10, 40, 200, 13), parent.get(), 78));
    tabStop.setFocus();
    ASSERT_TRUE(waitFor([&] { return tabStop.hasFocus(); }));
    parent->received.clear();
    sendKey(QEvent::KeyPress, Qt::Key_A);
    sendKey(QEvent::KeyRelease, Qt::Key_A);
    EXPECT_TRUE(parent->received.empty());
}

TEST_F(ScrollBarFixture, FocusStartsTheBlinkAndLosingItStopsIt)
{
    createBar(WS_VISIBLE | WS_TABSTOP, QRect(10, 10, 200, 13));
    setRange(0, 100, 10, 50);
    bar->setFocus();
    ASSERT_TRUE(waitFor([&] { return bar->hasFocus(); }));
    EXPECT_TRUE(bar->hasTimer(TestBar::kTimerBlink));
    EXPECT_FALSE(bar->focusBlink());
    ASSERT_TRUE(waitFor([&] { return bar->focusBlink(); }));
    bar->clearFocus();
    EXPECT_FALSE(bar->hasTimer(TestBar::kTimerBlink));
    EXPECT_FALSE(bar->focusBlink());
}

TEST_F(ScrollBarFixture, HoverFollowsThePointerAndClearsWhenItLeaves)
{
    createBar(WS_VISIBLE, QRect(10, 10, 200, 13));
    setRange(0, 100, 10, 50);
    mouseMove(bar.get(), centreOf(ScrollPart::Thumb));
    EXPECT_EQ(bar->hoverPart(), ScrollPart::Thumb);
    mouseMove(bar.get(), centreOf(ScrollPart::SecondArrow));
    EXPECT_EQ(bar->hoverPart(), ScrollPart::SecondArrow);
    mouseMove(bar.get(), QPoint(100, 100));  // in the parent, off the bar
    EXPECT_EQ(bar->hoverPart(), ScrollPart::None);
}

TEST_F(ScrollBarFixture, DisablingOrHidingDuringAPressEndsIt)
{
    createBar(WS_VISIBLE, QRect(10, 10, 200, 13));
    setRange(0, 100, 10, 50);
    for (bool hide : {false, true}) {
        parent->received.clear();
        const QPoint arrow = centreOf(ScrollPart::SecondArrow);
        mousePress(bar.get(), arrow);
        ASSERT_EQ(parent->codes(), std::vector<int>{kLineDown});
        if (hide)
            bar->setVisible(false);
        else
            bar->EnableScrollBar(ESB_DISABLE_BOTH);
        EXPECT_EQ(parent->codes(), (std::vector<int>{kLineDown, kEndScroll}));
        EXPECT_FALSE(bar->hasTimer(TestBar::kTimerFirstRepeat));
        EXPECT_EQ(bar->pressedPart(), ScrollPart::None);
        mouseRelease(bar.get(), arrow);
        bar->EnableScrollBar(ESB_ENABLE_BOTH);
        bar->setVisible(true);
    }
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

TEST_F(ScrollBarFixture, NothingIsSentOnceTheParentIsNoLongerAWindow)
{
    createBar(WS_VISIBLE, QRect(10, 10, 200, 13));
    setRange(0, 100, 10, 50);
    parent->destroyWindow();
    const QPoint arrow = centreOf(ScrollPart::FirstArrow);
    mousePress(bar.get(), arrow);
    mouseRelease(bar.get(), arrow);
    EXPECT_TRUE(parent->received.empty());
}
