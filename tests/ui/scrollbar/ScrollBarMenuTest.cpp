// SPDX-License-Identifier: GPL-3.0-or-later
// The scroll bar's context menu: its items for each orientation and the
// notifications its commands send.
#include "ScrollBarUiSupport.h"

#include <QAction>
#include <QMenu>

using namespace scrollbar_test;

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

TEST_F(ScrollBarMenu, ItemsSendTheirCodesThenEndScroll)
{
    const QStringList horizontal = {"Scroll Here", "-", "Left Edge", "Right Edge", "Page Left", "Page Right",
                                    "Scroll Left", "Scroll Right"};
    const QStringList vertical = {"Scroll Here", "-", "Top", "Bottom", "Page Up", "Page Down", "Scroll Up",
                                  "Scroll Down"};
    // The code each item after the separator sends.
    const std::vector<int> codes = {platform::SB_TOP,      platform::SB_BOTTOM, platform::SB_PAGEUP,
                                    platform::SB_PAGEDOWN, platform::SB_LINEUP, platform::SB_LINEDOWN};
    for (const bool isVertical : {false, true}) {
        createBar(isVertical ? SBS_VERT | WS_VISIBLE : WS_VISIBLE,
                  isVertical ? QRect(10, 10, 13, 200) : QRect(10, 10, 200, 13));
        setRange(0, 100, 10, 50);
        for (std::size_t item = 0; item < codes.size(); ++item) {
            QMenu* menu = openMenu(along(30));
            ASSERT_NE(menu, nullptr) << item << " vertical " << isVertical;
            QStringList texts;
            for (QAction* action : menu->actions())
                texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
            EXPECT_EQ(texts, isVertical ? vertical : horizontal);
            parent->received.clear();
            menu->actions().at(static_cast<int>(item) + 2)->trigger();
            EXPECT_EQ(parent->codes(), (std::vector<int>{codes[item], platform::SB_ENDSCROLL})) << item;
            menu->close();
        }
    }
}

// A 213-pixel bar over 100..199 with a page of 10 has a 187-pixel track,
// 1.87 pixels a unit: a point 150 pixels into the track is position 180.
TEST_F(ScrollBarMenu, ScrollHereChosenWithTheMouseSetsThePositionUnderThePoint)
{
    createBar(WS_VISIBLE, QRect(10, 10, 213, 13));
    setRange(100, 199, 10, 150);
    QMenu* menu = openMenu(along(13 + 150));
    ASSERT_NE(menu, nullptr);
    const QPoint item = menu->actionGeometry(menu->actions().at(0)).center();
    mouseMove(menu, item);
    mousePress(menu, item);
    mouseRelease(menu, item);
    ASSERT_TRUE(waitFor([&] { return parent->received.size() >= 2; }));
    ASSERT_EQ(parent->codes(), (std::vector<int>{platform::SB_THUMBPOSITION, platform::SB_ENDSCROLL}));
    EXPECT_EQ(parent->received.front().pos, 180);
    EXPECT_TRUE(waitFor([&] { return bar->contextMenu() == nullptr; }));
}
