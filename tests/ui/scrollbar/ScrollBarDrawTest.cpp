// SPDX-License-Identifier: GPL-3.0-or-later
// What a skinned scroll bar draws, from strips of known colours: where each
// piece goes, the focus blink, a missing strip, the 2x strips and the
// shared holder. (ScrollBarSkinTest.cpp compares the states with the
// control's own strips.)
#include "ScrollBarUiSupport.h"

#include <QFile>
#include <QImage>
#include <QPainter>

using namespace scrollbar_test;
using widgets::ScrollPart;

class ScrollBarDraw : public ScrollBarFixture, public ::testing::WithParamInterface<bool> {
protected:
    // A bar along which each piece is wide enough to be seen: 300 pixels,
    // range 0..9 with a page of 4 (a 109-pixel thumb at position 3).
    void createSampleBar(std::uint32_t style = WS_VISIBLE)
    {
        horizontal = GetParam();
        createBar(horizontal ? style : SBS_VERT | style,
                  horizontal ? QRect(10, 10, 300, 13) : QRect(10, 10, 13, 300));
        setRange(0, 9, 4, 3);
        ASSERT_TRUE(bar->layout().hasThumb());
    }
    QImage grabBar() const { return bar->grab().toImage(); }
    QColor expected(CXeScrollBarSkins::State state, Piece piece) const
    {
        return pieceColour(CXeScrollBarSkins::index(horizontal, state), piece);
    }
    // The colour in the middle across the bar at a distance along it.
    QColor at(const QImage& image, int distance) const { return image.pixelColor(along(distance)); }

    bool horizontal = true;
};

TEST_P(ScrollBarDraw, NormalPartsComeFromTheirPiecesOfTheNormalStrip)
{
    createSampleBar();
    const QImage image = grabBar();
    const widgets::ScrollBarLayout& l = bar->layout();
    using S = CXeScrollBarSkins;
    // Arrows are stretched from their piece: every pixel is the arrow's.
    EXPECT_EQ(at(image, 0), expected(S::Normal, Piece::FirstArrow));
    EXPECT_EQ(at(image, l.arrowLength() - 1), expected(S::Normal, Piece::FirstArrow));
    EXPECT_EQ(at(image, l.trackEnd()), expected(S::Normal, Piece::SecondArrow));
    EXPECT_EQ(at(image, l.barLength() - 1), expected(S::Normal, Piece::SecondArrow));
    // Tracks tiled from their 10-pixel pieces, up to the thumb.
    for (int d = l.trackStart(); d < l.thumbStart(); ++d)
        ASSERT_EQ(at(image, d), expected(S::Normal, Piece::TrackBefore)) << d;
    for (int d = l.thumbEnd(); d < l.trackEnd(); ++d)
        ASSERT_EQ(at(image, d), expected(S::Normal, Piece::TrackAfter)) << d;
    // Thumb: caps of 4, body, grip of 8 in the middle.
    const int start = l.thumbStart();
    const int end = l.thumbEnd();
    const int grip = start + (l.thumbLength() - 8) / 2;
    for (int d = start; d < end; ++d) {
        Piece piece = Piece::Body;
        if (d < start + 4)
            piece = Piece::CapStart;
        else if (d >= end - 4)
            piece = Piece::CapEnd;
        else if (d >= grip && d < grip + 8)
            piece = Piece::Grip;
        ASSERT_EQ(at(image, d), expected(S::Normal, piece)) << d;
    }
    // Across the bar the pieces are stretched to its thickness.
    const QPoint edge = horizontal ? QPoint(0, 12) : QPoint(12, 0);
    EXPECT_EQ(image.pixelColor(edge), expected(S::Normal, Piece::FirstArrow));
}

TEST_P(ScrollBarDraw, AFocusedBarBlinksADottedRectangleOnTheThumb)
{
    createSampleBar(WS_VISIBLE | WS_TABSTOP);
    bar->setFocus();
    ASSERT_TRUE(waitFor([&] { return bar->hasFocus(); }));
    EXPECT_FALSE(bar->focusBlink());
    const QImage plain = grabBar();
    ASSERT_TRUE(waitFor([&] { return bar->focusBlink(); }));
    const QImage blinking = grabBar();
    const QRect thumb = bar->layout().partRect(ScrollPart::Thumb);
    int changed = 0;
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) {
            if (plain.pixel(x, y) != blinking.pixel(x, y)) {
                ++changed;
                EXPECT_TRUE(thumb.contains(x, y)) << x << "," << y;
            }
        }
    }
    EXPECT_GT(changed, 10);
    bar->clearFocus();
    EXPECT_FALSE(bar->hasTimer(TestBar::kTimerBlink));
    EXPECT_EQ(grabBar(), plain);
}

INSTANTIATE_TEST_SUITE_P(Orientations, ScrollBarDraw, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("Horizontal") : std::string("Vertical");
                         });

TEST_F(ScrollBarFixture, AMissingStripLeavesItsPartsUndrawn)
{
    QTemporaryDir partial;
    ASSERT_TRUE(partial.isValid());
    writeStrips(partial.path() + "/", CXeScrollBarSkins::index(true, CXeScrollBarSkins::Hot));
    CXeScrollBarSkins::setSourceForTests(partial.path() + "/", 1.0);
    createBar(WS_VISIBLE, QRect(10, 10, 200, 13));
    setRange(0, 100, 10, 50);
    mouseMove(bar.get(), centreOf(ScrollPart::Thumb));
    ASSERT_EQ(bar->hoverPart(), ScrollPart::Thumb);
    const QImage image = bar->grab().toImage();
    EXPECT_EQ(image.pixelColor(centreOf(ScrollPart::Thumb)), QColor(1, 2, 3));  // the parent's background
    EXPECT_EQ(image.pixelColor(centreOf(ScrollPart::FirstArrow)),
              pieceColour(CXeScrollBarSkins::index(true, CXeScrollBarSkins::Normal), Piece::FirstArrow));
}

TEST_F(ScrollBarFixture, StripsAreSharedAndReleasedWithTheLastBar)
{
    EXPECT_TRUE(CXeScrollBarSkins::strip(0).isNull());
    auto first = std::make_unique<CXeScrollBar>();
    const qint64 key = CXeScrollBarSkins::strip(0).cacheKey();
    ASSERT_FALSE(CXeScrollBarSkins::strip(0).isNull());
    auto second = std::make_unique<CXeScrollBar>();
    EXPECT_EQ(CXeScrollBarSkins::strip(0).cacheKey(), key);  // not loaded again
    first.reset();
    EXPECT_FALSE(CXeScrollBarSkins::strip(7).isNull());
    second.reset();
    for (int i = 0; i < CXeScrollBarSkins::kCount; ++i)
        EXPECT_TRUE(CXeScrollBarSkins::strip(i).isNull()) << i;
}

TEST_F(ScrollBarFixture, LoaderPrefersTheDoubleStripOnADoubleScreenAndRefusesWhatIsNotAPng)
{
    const QString folder = strips.path() + "/";
    EXPECT_EQ(CXeScrollBarSkins::load(folder, "XSB_V_HOT", 1.0).size(), QSize(17, 78));
    const QImage doubled = CXeScrollBarSkins::load(folder, "XSB_V_HOT", 2.0);
    EXPECT_EQ(doubled.size(), QSize(34, 156));
    EXPECT_EQ(doubled.deviceIndependentSize(), QSizeF(17, 78));
    EXPECT_TRUE(CXeScrollBarSkins::load(folder, "NO_SUCH_STRIP", 2.0).isNull());
    QFile notPng(folder + "BROKEN.png");
    ASSERT_TRUE(notPng.open(QIODevice::WriteOnly));
    notPng.write("GIF89a not a png at all");
    notPng.close();
    EXPECT_TRUE(CXeScrollBarSkins::load(folder, "BROKEN", 1.0).isNull());
}

// Double strips hold each piece at twice its offset: drawing cuts them there.
TEST_F(ScrollBarFixture, DoubleStripsAreCutAtTwiceTheOffsets)
{
    CXeScrollBarSkins::setSourceForTests(strips.path() + "/", 2.0);
    createBar(WS_VISIBLE, QRect(10, 10, 300, 13));
    setRange(0, 9, 4, 3);
    ASSERT_EQ(CXeScrollBarSkins::strip(0).devicePixelRatio(), 2.0);
    QImage image(300, 13, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        bar->drawBar(painter);
    }
    const widgets::ScrollBarLayout& l = bar->layout();
    const int strip = CXeScrollBarSkins::index(true, CXeScrollBarSkins::Normal);
    const int middle = l.thumbStart() + l.thumbLength() / 2;
    EXPECT_EQ(image.pixelColor(middle, 6), pieceColour(strip, Piece::Grip, true));
    EXPECT_EQ(image.pixelColor(l.thumbStart() + 1, 6), pieceColour(strip, Piece::CapStart, true));
    EXPECT_EQ(image.pixelColor(l.thumbEnd() - 1, 6), pieceColour(strip, Piece::CapEnd, true));
    EXPECT_EQ(image.pixelColor(l.trackStart() + 5, 6), pieceColour(strip, Piece::TrackBefore, true));
    EXPECT_EQ(image.pixelColor(l.trackEnd() - 5, 6), pieceColour(strip, Piece::TrackAfter, true));
    EXPECT_EQ(image.pixelColor(299, 6), pieceColour(strip, Piece::SecondArrow, true));
}
