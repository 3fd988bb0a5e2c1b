// SPDX-License-Identifier: GPL-3.0-or-later
// The scroll bar's context menu: its items for each orientation and the
// notifications its commands send.
#include "ScrollBarUiSupport.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

#include <tuple>

using namespace scrollbar_test;
using widgets::ScrollPart;

namespace {

QStringList itemTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

QAction* findItem(QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

}  // namespace

class ScrollBarMenu : public ScrollBarFixture {
protected:
    // Right-clicks the bar and waits for its menu.
    QMenu* openMenu(QPoint at)
    {
        mousePress(bar.get(), at, Qt::RightButton);
        mouseRelease(bar.get(), at, Qt::RightButton);
        if (!waitFor([&] { return bar->contextMenu() != nullptr && bar->contextMenu()->isVisible(); }))
            return nullptr;
        return bar->contextMenu();
    }
};

TEST_F(ScrollBarMenu, HorizontalAndVerticalItems)
{
    createBar(WS_VISIBLE, QRect(10, 10, 200, 13));
    setRange(0, 100, 10, 50);
    QMenu* menu = openMenu(along(30));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(itemTexts(menu), (QStringList{"Scroll Here", "-", "Left Edge", "Right Edge", "Page Left", "Page Right",
                                            "Scroll Left", "Scroll Right"}));
    menu->close();

    createBar(SBS_VERT | WS_VISIBLE, QRect(10, 10, 13, 200));
    setRange(0, 100, 10, 50);
    menu = openMenu(along(30));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(itemTexts(menu),
              (QStringList{"Scroll Here", "-", "Top", "Bottom", "Page Up", "Page Down", "Scroll Up", "Scroll Down"}));
    const std::vector<int> commands = {TestBar::kCmdScrollHere, TestBar::kCmdTop,      TestBar::kCmdBottom,
                                       TestBar::kCmdPageUp,     TestBar::kCmdPageDown, TestBar::kCmdLineUp,
                                       TestBar::kCmdLineDown};
    std::vector<int> data;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator())
            data.push_back(action->data().toInt());
    }
    EXPECT_EQ(data, commands);
}

// (item, code)
class ScrollBarMenuCommand : public ScrollBarMenu, public ::testing::WithParamInterface<std::tuple<const char*, int>> {};

TEST_P(ScrollBarMenuCommand, SendsItsCodeThenEndScroll)
{
    const auto [text, code] = GetParam();
    createBar(WS_VISIBLE, QRect(10, 10, 200, 13));
    setRange(0, 100, 10, 50);
    QMenu* menu = openMenu(along(100));
    ASSERT_NE(menu, nullptr);
    QAction* item = findItem(menu, QString::fromLatin1(text));
    ASSERT_NE(item, nullptr);
    item->trigger();
    EXPECT_EQ(parent->codes(), (std::vector<int>{code, platform::SB_ENDSCROLL}));
}

INSTANTIATE_TEST_SUITE_P(Items, ScrollBarMenuCommand,
                         ::testing::Values(std::make_tuple("Left Edge", int(platform::SB_TOP)),
                                           std::make_tuple("Right Edge", int(platform::SB_BOTTOM)),
                                           std::make_tuple("Page Left", int(platform::SB_PAGEUP)),
                                           std::make_tuple("Page Right", int(platform::SB_PAGEDOWN)),
                                           std::make_tuple("Scroll Left", int(platform::SB_LINEUP)),
                                           std::make_tuple("Scroll Right", int(platform::SB_LINEDOWN))));

// (distance along the bar, expected position): a 213-pixel bar over
// 100..199 with a page of 10 has a 187-pixel track, 1.87 pixels a unit.
class ScrollHere : public ScrollBarMenu, public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(ScrollHere, SetsThePositionUnderThePoint)
{
    const auto [distance, expected] = GetParam();
    createBar(WS_VISIBLE, QRect(10, 10, 213, 13));
    setRange(100, 199, 10, 150);
    QMenu* menu = openMenu(along(distance));
    ASSERT_NE(menu, nullptr);
    // Chosen with the mouse, as a user does.
    QAction* item = findItem(menu, QStringLiteral("Scroll Here"));
    ASSERT_NE(item, nullptr);
    const QPoint itemCentre = menu->actionGeometry(item).center();
    mouseMove(menu, itemCentre);
    mousePress(menu, itemCentre);
    mouseRelease(menu, itemCentre);
    ASSERT_TRUE(waitFor([&] { return parent->received.size() >= 2; }));
    ASSERT_EQ(parent->codes(), (std::vector<int>{platform::SB_THUMBPOSITION, platform::SB_ENDSCROLL}));
    EXPECT_EQ(parent->received.front().pos, expected);
    EXPECT_TRUE(waitFor([&] { return bar->contextMenu() == nullptr; }));
}

INSTANTIATE_TEST_SUITE_P(Points, ScrollHere,
                         ::testing::Values(std::make_tuple(5, 100),      // on the first arrow
                                           std::make_tuple(13, 100),     // the track's start
                                           std::make_tuple(13 + 20, 111),  // 20 / 1.87 = 10.7
                                           std::make_tuple(13 + 150, 180),  // 150 / 1.87 = 80.2
                                           std::make_tuple(205, 190)));  // past the limit 199 - 10 + 1

TEST_F(ScrollBarMenu, OpeningAgainReplacesTheOpenMenu)
{
    createBar(WS_VISIBLE, QRect(10, 10, 200, 13));
    setRange(0, 100, 10, 50);
    QMenu* first = openMenu(along(40));
    ASSERT_NE(first, nullptr);
    first->close();
    QMenu* second = openMenu(along(60));
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(waitFor([&] { return bar->findChildren<QMenu*>().size() == 1; }));
    EXPECT_TRUE(parent->received.empty());
}
