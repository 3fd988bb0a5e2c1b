// SPDX-License-Identifier: GPL-3.0-or-later
// The scroll bar with the control's own strips from the resources: a bar as
// thick as its strip, with 17-pixel arrows, shows each piece pixel for
// pixel, so the drawn arrow and grip can be compared with the strip of the
// state the part is in.
#include "ScrollBarUiSupport.h"

#include <QImage>
#include <QPainter>

using namespace scrollbar_test;
using widgets::ScrollPart;

class ScrollBarSkin : public ScrollBarFixture, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        ScrollBarFixture::SetUp();
        CXeScrollBarSkins::setSourceForTests(QString(), 1.0);  // the resources
        horizontal = GetParam();
        createBar(horizontal ? WS_VISIBLE : SBS_VERT | WS_VISIBLE,
                  horizontal ? QRect(10, 10, 300, 10) : QRect(10, 10, 17, 300));
        bar->SetArrowLength(17);
        setRange(0, 9, 4, 3);
    }

    QImage drawn() const
    {
        QImage image(bar->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        bar->drawBar(painter);
        return image;
    }
    // [from, to) along the axis across the whole thickness.
    QRect span(int from, int to) const
    {
        return horizontal ? QRect(from, 0, to - from, 10) : QRect(0, from, 17, to - from);
    }
    QImage stripPiece(CXeScrollBarSkins::State state, int from, int to) const
    {
        const QImage& strip = CXeScrollBarSkins::strip(CXeScrollBarSkins::index(horizontal, state));
        return strip.convertToFormat(QImage::Format_ARGB32_Premultiplied).copy(span(from, to));
    }
    QImage firstArrow(const QImage& image) const { return image.copy(span(0, 17)); }
    QImage grip(const QImage& image) const
    {
        const int start = bar->layout().thumbStart() + (bar->layout().thumbLength() - 8) / 2;
        return image.copy(span(start, start + 8));
    }

    bool horizontal = true;
};

TEST_P(ScrollBarSkin, EachPartShowsTheStripOfItsState)
{
    using S = CXeScrollBarSkins;
    ASSERT_TRUE(bar->layout().thumbLength() >= 16);
    // The looks differ, or comparing them would prove nothing.
    ASSERT_NE(stripPiece(S::Normal, 0, 17), stripPiece(S::Hot, 0, 17));
    ASSERT_NE(stripPiece(S::Hot, 0, 17), stripPiece(S::Pressed, 0, 17));
    ASSERT_NE(stripPiece(S::Normal, 35, 43), stripPiece(S::Disabled, 35, 43));

    QImage image = drawn();
    EXPECT_EQ(firstArrow(image), stripPiece(S::Normal, 0, 17));
    EXPECT_EQ(grip(image), stripPiece(S::Normal, 35, 43));

    const QPoint arrow = centreOf(ScrollPart::FirstArrow);
    mouseMove(bar.get(), arrow);
    image = drawn();
    EXPECT_EQ(firstArrow(image), stripPiece(S::Hot, 0, 17));
    EXPECT_EQ(grip(image), stripPiece(S::Normal, 35, 43));

    mousePress(bar.get(), arrow);
    image = drawn();
    EXPECT_EQ(firstArrow(image), stripPiece(S::Pressed, 0, 17));
    mouseRelease(bar.get(), arrow);

    const QPoint thumb = centreOf(ScrollPart::Thumb);
    mouseMove(bar.get(), thumb);
    image = drawn();
    EXPECT_EQ(grip(image), stripPiece(S::Hot, 35, 43));
    EXPECT_EQ(firstArrow(image), stripPiece(S::Normal, 0, 17));
    mousePress(bar.get(), thumb);
    image = drawn();
    EXPECT_EQ(grip(image), stripPiece(S::Pressed, 35, 43));
    mouseRelease(bar.get(), thumb);

    bar->EnableScrollBar(ESB_DISABLE_BOTH);
    image = drawn();
    EXPECT_EQ(firstArrow(image), stripPiece(S::Disabled, 0, 17));
    EXPECT_EQ(image.copy(span(300 - 17, 300)), stripPiece(S::Disabled, 61, 78));
}

INSTANTIATE_TEST_SUITE_P(Orientations, ScrollBarSkin, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("Horizontal") : std::string("Vertical");
                         });
