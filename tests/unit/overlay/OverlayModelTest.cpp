// SPDX-License-Identifier: GPL-3.0-or-later
// The overlay data as the page loads and reads it, and the mouse gestures
// that edit it, without a window.
#include "overlay/OverlayModel.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <climits>

using namespace overlay;

namespace {

struct DeviceMask {
    int x, y, width, height;
};

// The page's side of the mask texts: "left_top_width_height" with left 8
// more than the device's x.
DeviceMask deviceMask(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('_'));
    EXPECT_EQ(parts.size(), 4) << text.toStdString();
    if (parts.size() != 4)
        return {};
    return {parts[0].toInt() - 8, parts[1].toInt(), parts[2].toInt(), parts[3].toInt()};
}

bool sameMask(const DeviceMask& a, const DeviceMask& b)
{
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

OverlayModel modelFor(int mode, int windowWidth = 960, int windowHeight = 540)
{
    OverlayModel model;
    model.setWindowSize(windowWidth, windowHeight);
    model.reset(mode, 704, 576);
    return model;
}

// Text items measured as 200 × 30 picture pixels on a 704 × 576 picture.
QSize fixedMeasure(const QString&, int, int)
{
    return {200, 30};
}

}  // namespace

TEST(OverlayModel, MasksLoadedWithThePagesConventionReadBackExactly)
{
    const DeviceMask stored[] = {{0, 0, 120, 80}, {16, 32, 120, 80}, {696, 568, 8, 8}, {3, 5, 1, 1}, {0, 0, 704, 576}};
    for (const QSize window : {QSize(960, 540), QSize(704, 576), QSize(333, 277), QSize(1, 1), QSize(0, 0)}) {
        OverlayModel model = modelFor(kPrivacyMasks, window.width(), window.height());
        model.setAlignPixels(8);
        for (std::uint32_t i = 0; i < 5; ++i) {
            const DeviceMask& m = stored[i];
            ASSERT_TRUE(model.setMask(i, m.x + 8, m.y, m.x + m.width, m.y + m.height, 704, 576));
        }
        ASSERT_EQ(model.masks().size(), 5u);
        for (std::int32_t i = 0; i < 5; ++i)
            EXPECT_TRUE(sameMask(deviceMask(model.maskText(i)), stored[i]))
                << i << " in " << window.width() << "x" << window.height() << ": " << model.maskText(i).toStdString();
        EXPECT_EQ(model.maskText(5), QStringLiteral("0_0_0_0"));
        EXPECT_EQ(model.maskText(-1), QStringLiteral("0_0_0_0"));
        EXPECT_EQ(model.maskText(INT_MAX), QStringLiteral("0_0_0_0"));
    }
}

TEST(OverlayModel, TheEightPixelAlignmentShiftsLeftEdgesAndNothingElseDoes)
{
    OverlayModel model = modelFor(kPrivacyMasks);
    ASSERT_TRUE(model.setMask(0, 16, 32, 136, 112, 704, 576));
    EXPECT_EQ(model.maskText(0), QStringLiteral("16_32_128_80"));
    EXPECT_EQ(model.masks()[0].picture, (Box{8, 32, 136, 112}));
    // Where it shows: one pixel in at the top left, two more at the bottom.
    EXPECT_EQ(model.masks()[0].window, (Box{8 * 960 / 704 + 1, 30 + 1, 185, 105 + 2}));

    OverlayModel other = modelFor(kPrivacyMasks);
    other.setAlignPixels(16);
    ASSERT_TRUE(other.setMask(0, 16, 32, 136, 112, 704, 576));
    EXPECT_EQ(other.maskText(0), QStringLiteral("16_32_120_80"));
    EXPECT_EQ(other.masks()[0].window, (Box{22, 31, 185 + 4, 105 + 4}));
}

TEST(OverlayModel, RefusedMasksChangeNothing)
{
    OverlayModel model = modelFor(kPrivacyMasks);
    ASSERT_TRUE(model.setMask(0, 16, 32, 136, 112, 704, 576));
    const QString before = model.maskText(0);
    EXPECT_FALSE(model.setMask(0, 200, 32, 100, 112, 704, 576));     // right < left
    EXPECT_FALSE(model.setMask(0, 20, 32, 11, 112, 704, 576));       // right < the device's left (12)
    EXPECT_FALSE(model.setMask(0, 16, 200, 136, 112, 704, 576));     // bottom < top
    EXPECT_FALSE(model.setMask(0, -8, 32, 136, 112, 704, 576));      // negative
    EXPECT_FALSE(model.setMask(0, 16, 32, 136, 65536, 704, 576));    // beyond 65535
    EXPECT_FALSE(model.setMask(5, 16, 32, 136, 112, 704, 576));      // index past the five
    EXPECT_FALSE(model.setMask(UINT_MAX, 16, 32, 136, 112, 704, 576));
    EXPECT_EQ(model.masks().size(), 1u);
    EXPECT_EQ(model.maskText(0), before);
    // No area: taken without a mask.
    EXPECT_TRUE(model.setMask(1, 0, 10, 0, 50, 704, 576));
    EXPECT_TRUE(model.setMask(1, 20, 0, 40, 0, 704, 576));
    EXPECT_EQ(model.masks().size(), 1u);
    // A reference size of 0 does not divide by zero: the picture size stands in.
    EXPECT_TRUE(model.setMask(1, 16, 32, 136, 112, 0, 0));
    EXPECT_EQ(model.masks()[1].window, model.masks()[0].window);
    EXPECT_TRUE(model.setMask(2, 65535, 65535, 65535, 65535, 1, 1));
    EXPECT_EQ(model.maskText(2), QStringLiteral("65535_65535_8_0"));
}

TEST(OverlayModel, AnIndexAlreadySetReplacesThatMaskAsAWhole)
{
    OverlayModel model = modelFor(kPrivacyMasks);
    ASSERT_TRUE(model.setMask(0, 16, 32, 136, 112, 704, 576));
    ASSERT_TRUE(model.setMask(4, 108, 200, 300, 260, 704, 576));  // appended as the second
    ASSERT_EQ(model.masks().size(), 2u);
    ASSERT_TRUE(model.setMask(0, 48, 64, 88, 96, 704, 576));
    EXPECT_EQ(model.maskText(0), QStringLiteral("48_64_48_32"));
    // What shows is what reads back.
    EXPECT_EQ(model.masks()[0].window, scaleBox(model.masks()[0].picture, 960, 704, 540, 576));
    EXPECT_EQ(model.maskText(1), QStringLiteral("108_200_200_60"));
}

TEST(OverlayModel, AResizePlacesMasksAgainFromTheirPictureRectangle)
{
    OverlayModel model = modelFor(kPrivacyMasks);
    ASSERT_TRUE(model.setMask(0, 24, 32, 136, 112, 704, 576));
    ASSERT_TRUE(model.setMask(1, 300, 300, 600, 500, 352, 288));  // another reference size
    const QString first = model.maskText(0);
    const QString second = model.maskText(1);
    for (const QSize s : {QSize(1921, 1079), QSize(333, 277), QSize(704, 576), QSize(1, 1), QSize(0, 0), QSize(0, 500)}) {
        model.setWindowSize(s.width(), s.height());
        for (const MaskRecord& m : model.masks()) {
            EXPECT_EQ(m.window, scaleBox(m.picture, s.width(), m.referenceWidth, s.height(), m.referenceHeight));
            EXPECT_EQ(m.windowWidth, s.width());
            EXPECT_EQ(m.windowHeight, s.height());
        }
        EXPECT_EQ(model.maskText(0), first);
        EXPECT_EQ(model.maskText(1), second);
    }
    model.setWindowSize(1921, 1079);
    EXPECT_EQ(model.masks()[1].window, (Box{292 * 1921 / 352, 300 * 1079 / 288, 600 * 1921 / 352, 500 * 1079 / 288}));
}

TEST(OverlayModel, CellsToggleOnPressAndADragPaintsThePressedValue)
{
    OverlayModel model = modelFor(kMotionCells);  // cells of 64 × 45
    model.press({10, 10});
    EXPECT_TRUE(model.cell(0));
    model.release({10, 10});
    EXPECT_EQ(model.motionText(), QStringLiteral("01") + QString(62, '0'));

    // From a clear cell: every cell of the rectangle is set.
    model.press({200, 100});  // cell (2, 3)
    model.move({330, 150}, true);  // cell (3, 5)
    model.release({330, 150});
    for (int row = 0; row < 12; ++row)
        for (int column = 0; column < 15; ++column)
            EXPECT_EQ(model.cell(row * 15 + column),
                      (row == 0 && column == 0) || (row >= 2 && row <= 3 && column >= 3 && column <= 5))
                << row << "," << column;

    // From a set cell the drag clears, also dragged out of the window.
    model.press({200, 100});
    model.move({-500, 100000}, true);
    model.release({-500, 100000});
    for (int row = 2; row < 12; ++row)
        for (int column = 0; column <= 3; ++column)
            EXPECT_FALSE(model.cell(row * 15 + column));
    EXPECT_TRUE(model.cell(4 * 15 + 4) == false && model.cell(2 * 15 + 4) && model.cell(0));
    // A move without the button paints nothing.
    model.move({900, 500}, false);
    EXPECT_FALSE(model.cell(179));
}

TEST(OverlayModel, RejectedMotionTextsChangeNothing)
{
    OverlayModel model = modelFor(kMotionCells);
    model.setCell(5, true);
    const QString before = model.motionText();
    for (const QString& bad : {QString(63, '0'), QString(65, '0'), QString(63, '0') + QLatin1Char('a'),
                               QString(63, '0') + QLatin1Char('G'), QString()})
        EXPECT_FALSE(model.setMotionText(bad));
    EXPECT_EQ(model.motionText(), before);
    EXPECT_TRUE(model.setMotionText(QString(64, '0')));
    EXPECT_FALSE(model.cell(5));
}

TEST(OverlayModel, CellsOnWindowsOfNoSizeStayInTheGrid)
{
    for (const QSize s : {QSize(1, 1), QSize(0, 0), QSize(0, 540), QSize(14, 11)}) {
        OverlayModel model = modelFor(kMotionCells, s.width(), s.height());
        model.press({INT_MAX, INT_MAX});
        model.move({INT_MIN, INT_MIN}, true);
        model.release({0, 0});
        model.press({-1, -1});
        EXPECT_EQ(model.motionText().size(), 64);
    }
}

TEST(OverlayModel, AMaskIsDrawnWithTheMouseAndSnappedToTheGrid)
{
    OverlayModel model = modelFor(kPrivacyMasks);
    model.setAlignPixels(8);
    EXPECT_EQ(model.press({100, 100}), Cursor::Cross);
    model.move({300, 250}, true);
    ASSERT_EQ(model.masks().size(), 1u);
    EXPECT_FALSE(model.masks()[0].committed);
    // While drawing: left and top snapped down, right and bottom not yet.
    EXPECT_EQ(model.masks()[0].picture, (Box{72, 104, 220, 266}));
    model.release({300, 250});
    ASSERT_EQ(model.masks().size(), 1u);
    EXPECT_TRUE(model.masks()[0].committed);
    EXPECT_EQ(model.masks()[0].window, (Box{100, 100, 300, 250}));
    EXPECT_EQ(model.masks()[0].picture, (Box{72, 104, 220, 268}));
    EXPECT_TRUE(sameMask(deviceMask(model.maskText(0)), DeviceMask{72, 104, 148, 164}));

    // Drawn right to left and bottom to top, and past the window's edge.
    model.press({900, 500});
    model.move({700, 300}, true);
    model.release({5000, 5000});
    ASSERT_EQ(model.masks().size(), 2u);
    EXPECT_EQ(model.masks()[1].picture.right, 704);
    EXPECT_EQ(model.masks()[1].picture.bottom, 576);

    // Other alignments: every edge a multiple of the step.
    for (std::uint16_t alignment : {1, 5, 16}) {
        OverlayModel m = modelFor(kPrivacyMasks, 1001, 587);
        m.setAlignPixels(alignment);
        m.press({101, 77});
        m.release({613, 401});
        ASSERT_EQ(m.masks().size(), 1u);
        const Box& p = m.masks()[0].picture;
        for (int edge : {p.left, p.top})
            EXPECT_EQ(edge % alignment, 0) << alignment;
        EXPECT_TRUE(p.right % alignment == 0 || p.right == 704) << alignment;
        EXPECT_TRUE(p.bottom % alignment == 0 || p.bottom == 576) << alignment;
        EXPECT_EQ(m.maskText(0).split('_')[0].toInt(), p.left);  // no shift without the 8-pixel grid
    }
}

TEST(OverlayModel, ClicksAndTinyDragsDrawNoMask)
{
    OverlayModel model = modelFor(kPrivacyMasks);
    model.press({100, 100});
    model.release({100, 100});
    model.press({100, 100});
    model.release({104, 103});  // 4 + 3 is not more than 7
    model.press({100, 100});
    model.release({100, 140});  // no width
    EXPECT_TRUE(model.masks().empty());
    EXPECT_EQ(model.maskText(0), QStringLiteral("0_0_0_0"));
    model.press({100, 100});
    model.release({104, 104});
    EXPECT_EQ(model.masks().size(), 1u);
}

TEST(OverlayModel, TheMouseDrawsFourMasksWhileThePageMaySetAFifth)
{
    OverlayModel model = modelFor(kPrivacyMasks);
    for (int i = 0; i < 5; ++i) {
        model.press({10 + 150 * i, 10});
        model.move({100 + 150 * i, 90}, true);
        model.release({100 + 150 * i, 90});
    }
    ASSERT_EQ(model.masks().size(), 4u);
    EXPECT_EQ(model.maskText(4), QStringLiteral("0_0_0_0"));
    ASSERT_TRUE(model.setMask(4, 608, 400, 700, 500, 704, 576));
    ASSERT_EQ(model.masks().size(), 5u);
    EXPECT_EQ(model.maskText(4), QStringLiteral("608_400_100_100"));
    const QString fifth = model.maskText(4);
    // A drag now changes none of the five.
    model.press({100, 300});
    model.move({300, 400}, true);
    model.release({300, 400});
    EXPECT_EQ(model.masks().size(), 5u);
    EXPECT_EQ(model.maskText(4), fifth);
}

TEST(OverlayModel, ADoubleClickRemovesTheMaskUnderIt)
{
    OverlayModel model = modelFor(kPrivacyMasks);
    ASSERT_TRUE(model.setMask(0, 16, 32, 136, 112, 704, 576));
    ASSERT_TRUE(model.setMask(1, 408, 300, 600, 500, 704, 576));
    const QString second = model.maskText(1);
    const Box first = model.masks()[0].window;
    // As a window gets it: press, release, double click, release.
    const QPoint inside((first.left + first.right) / 2, (first.top + first.bottom) / 2);
    model.press(inside);
    model.release(inside);
    model.doubleClick(inside);
    model.release(inside);
    ASSERT_EQ(model.masks().size(), 1u);
    EXPECT_EQ(model.maskText(0), second);
    model.doubleClick({5, 5});  // nothing there
    EXPECT_EQ(model.masks().size(), 1u);
}

TEST(OverlayModel, LeavingTheWindowWhileDrawingKeepsTheMaskUnsnapped)
{
    OverlayModel model = modelFor(kPrivacyMasks);
    model.press({100, 100});
    model.move({301, 251}, true);
    model.leave();
    ASSERT_EQ(model.masks().size(), 1u);
    EXPECT_TRUE(model.masks()[0].committed);
    EXPECT_EQ(model.masks()[0].picture, (Box{72, 104, 301 * 704 / 960, 251 * 576 / 540}));
    EXPECT_FALSE(model.isPressed());
    // Leaving before any move leaves nothing.
    model.press({500, 100});
    model.leave();
    EXPECT_EQ(model.masks().size(), 1u);
    // The next press starts a new mask and keeps the committed one.
    model.press({600, 300});
    model.release({700, 400});
    EXPECT_EQ(model.masks().size(), 2u);
}

TEST(OverlayModel, TextItemsLoadedWithThePagesConventionReadBackExactly)
{
    OverlayModel model = modelFor(kTextItems);
    model.setAlignPixels(8);
    const int positions[][2] = {{24, 24}, {0, 520}, {696, 0}};
    for (std::uint32_t i = 0; i < 3; ++i)
        ASSERT_TRUE(model.setTextItem(i, 0x00010002u, QStringLiteral("CH01"), i != 2, 704, 576,
                                      positions[i][0] + 8, positions[i][1]));
    for (std::uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(model.textItemText(i), QStringLiteral("3_%1_%2").arg(positions[i][0]).arg(positions[i][1]));
    EXPECT_EQ(model.textItems().at(0).packedHigh, 1);
    EXPECT_EQ(model.textItems().at(0).packedLow, 2);
    EXPECT_FALSE(model.setTextItem(3, 0, QStringLiteral("x"), true, 704, 576, 8, 8));
    EXPECT_EQ(model.textItems().size(), 3u);
    // Replacing an item keeps the count.
    ASSERT_TRUE(model.setTextItem(1, 0, QString(), false, 704, 576, 108, 50));
    EXPECT_EQ(model.textItemText(1), QStringLiteral("3_100_50"));
    model.clearOverlay();
    EXPECT_EQ(model.textItemText(1), QStringLiteral("0_0_0"));
    // Nonsense sizes and positions are kept within bounds.
    ASSERT_TRUE(model.setTextItem(2, 0, QStringLiteral("t"), true, 0, -1, INT_MAX, -5));
    EXPECT_EQ(model.textItemText(2), QStringLiteral("1_65527_0"));
    EXPECT_EQ(model.textItems().at(2).referenceWidth, 704);
}

TEST(OverlayModel, TextItemsAreMeasuredForThePictureAndAgainAfterAResize)
{
    OverlayModel model = modelFor(kTextItems);
    ASSERT_TRUE(model.setTextItem(0, 0, QStringLiteral("CH01"), true, 704, 576, 32, 24));
    ASSERT_TRUE(model.setTextItem(1, 0, QStringLiteral("2026-01-01 00:00:00"), true, 704, 576, 408, 24));
    ASSERT_TRUE(model.setTextItem(2, 0, QStringLiteral("hidden"), false, 704, 576, 24, 520));
    EXPECT_TRUE(model.snapshot().needsMeasuring(704, 576));
    ASSERT_TRUE(model.measureTextItems(704, 576, &fixedMeasure));
    EXPECT_FALSE(model.snapshot().needsMeasuring(704, 576));
    EXPECT_TRUE(model.snapshot().needsMeasuring(352, 288));
    const TextItemRecord& name = model.textItems().at(0);
    EXPECT_EQ(name.reference, (Box{24, 24, 24 + 352, 24 + 36}));
    const TextItemRecord& clock = model.textItems().at(1);
    EXPECT_EQ(clock.reference, (Box{400, 24, 600, 54}));
    EXPECT_EQ(clock.window, (Box{545, 22, 818, 50}));
    EXPECT_FALSE(model.textItems().at(2).extentKnown);  // not drawn, not measured

    for (const QSize s : {QSize(1280, 720), QSize(333, 277), QSize(1, 1), QSize(0, 0)}) {
        model.setWindowSize(s.width(), s.height());
        const TextItemRecord& item = model.textItems().at(1);
        EXPECT_FALSE(item.extentKnown);
        EXPECT_EQ(item.reference, (Box{400, 24, 600, 54}));
        EXPECT_EQ(item.window, scaleBox(item.reference, s.width(), 704, s.height(), 576));
        ASSERT_TRUE(model.measureTextItems(704, 576, &fixedMeasure));
        EXPECT_EQ(model.textItems().at(1).reference, (Box{400, 24, 600, 54}));
    }
    EXPECT_EQ(model.textItemText(1), QStringLiteral("3_400_24"));
}

TEST(OverlayModel, ATextItemIsDraggedSnappedAndKeptInsideTheWindow)
{
    OverlayModel model = modelFor(kTextItems);
    ASSERT_TRUE(model.setTextItem(1, 0, QStringLiteral("2026-01-01 00:00:00"), true, 704, 576, 408, 24));
    // Not measured yet: nothing to take hold of.
    model.press({600, 30});
    model.move({640, 60}, true);
    model.release({640, 60});
    EXPECT_EQ(model.textItemText(1), QStringLiteral("1_400_24"));

    ASSERT_TRUE(model.measureTextItems(704, 576, &fixedMeasure));  // window (545, 22, 818, 50)
    EXPECT_EQ(model.move({600, 30}, false), Cursor::Hand);
    EXPECT_EQ(model.move({10, 300}, false), Cursor::Arrow);
    model.press({600, 30});
    EXPECT_EQ(model.move({637, 53}, true), Cursor::Hand);
    // Window (582, 45): reference 426.8, 48 snapped down to 4 pixels.
    EXPECT_EQ(model.textItemText(1), QStringLiteral("1_424_48"));
    model.release({637, 53});
    EXPECT_EQ(model.textItems().at(1).window, scaleBox(Box{424, 48, 624, 78}, 960, 704, 540, 576));

    // Far past the bottom right: the item stops at the window's edge.
    const Box w = model.textItems().at(1).window;
    model.press({w.left + 5, w.top + 5});
    model.move({100000, 100000}, true);
    const TextItemRecord& item = model.textItems().at(1);
    EXPECT_EQ(item.window.right, 960);
    EXPECT_EQ(item.window.bottom, 540);
    EXPECT_EQ(item.reference.left % 4, 0);
    EXPECT_EQ(item.reference.top % 4, 0);
    EXPECT_LE(item.reference.right, 704);
    EXPECT_LE(item.reference.bottom, 576);
    // A move without the button ends the drag.
    model.move({10, 10}, false);
    EXPECT_FALSE(model.textItems().at(1).dragging);
    const Box dropped = model.textItems().at(1).reference;
    model.move({20, 20}, true);
    EXPECT_EQ(model.textItems().at(1).reference, dropped);
}

TEST(OverlayModel, TextItemsSnapToTheAlignmentGiven)
{
    for (std::uint16_t alignment : {1, 5, 16, 32}) {
        OverlayModel model = modelFor(kTextItems, 1001, 587);
        model.setAlignPixels(alignment);
        ASSERT_TRUE(model.setTextItem(2, 0, QStringLiteral("title"), true, 704, 576, 100, 100));
        ASSERT_TRUE(model.measureTextItems(704, 576, &fixedMeasure));
        const Box w = model.textItems().at(2).window;
        model.press({w.left + 1, w.top + 1});
        model.move({w.left + 1 + 137, w.top + 1 + 71}, true);
        model.release({w.left + 1 + 137, w.top + 1 + 71});
        const Box r = model.textItems().at(2).reference;
        const int unsnappedX = (w.left + 137) * 704 / 1001;
        const int unsnappedY = (w.top + 71) * 576 / 587;
        EXPECT_EQ(r.left % alignment, 0) << alignment;
        EXPECT_EQ(r.top % alignment, 0) << alignment;
        EXPECT_GT(r.left, unsnappedX - alignment);
        EXPECT_LE(r.left, unsnappedX);
        EXPECT_GT(r.top, unsnappedY - alignment);
        EXPECT_LE(r.top, unsnappedY);
        EXPECT_EQ(model.textItemText(2), QStringLiteral("1_%1_%2").arg(r.left).arg(r.top));
    }
}

TEST(OverlayModel, ADraggedItemDoesNotGoOverAnotherItemsEllipse)
{
    OverlayModel model = modelFor(kTextItems, 704, 576);  // window = picture
    ASSERT_TRUE(model.setTextItem(0, 0, QStringLiteral("CH01"), true, 704, 576, 208, 200));  // box (200, 200, 552, 236)
    ASSERT_TRUE(model.setTextItem(2, 0, QStringLiteral("title"), true, 704, 576, 208, 400));  // (200, 400, 400, 430)
    ASSERT_TRUE(model.measureTextItems(704, 576, &fixedMeasure));
    model.press({210, 410});
    model.move({210, 330}, true);  // (200, 320): clear of the box
    EXPECT_EQ(model.textItemText(2), QStringLiteral("2_200_320"));
    model.move({310, 240}, true);  // (300, 230, 500, 260) would cross the box's ellipse
    EXPECT_EQ(model.textItemText(2), QStringLiteral("2_200_320"));
    model.move({10, 240}, true);   // (0, 230, 200, 260): beside the ellipse's left tip
    EXPECT_EQ(model.textItemText(2), QStringLiteral("2_0_228"));
    model.release({10, 240});
    // A hidden item is no obstacle and cannot be taken hold of.
    ASSERT_TRUE(model.setTextItem(0, 0, QStringLiteral("CH01"), false, 704, 576, 208, 200));
    const Box w = model.textItems().at(2).window;
    model.press({w.left + 1, w.top + 1});
    model.move({w.left + 1 + 300, w.top + 1}, true);
    EXPECT_EQ(model.textItems().at(2).reference.left, 300);
    model.release({0, 0});
    model.press({300, 210});
    model.move({0, 0}, true);
    EXPECT_EQ(model.textItems().at(0).reference.left, 200);
}

TEST(OverlayModel, ClearingTakesAwayOnlyTheKindBeingEdited)
{
    OverlayModel model = modelFor(kMotionCells);
    ASSERT_TRUE(model.setMotionText(QString(64, 'F')));
    ASSERT_TRUE(model.setMask(0, 16, 32, 136, 112, 704, 576));
    ASSERT_TRUE(model.setTextItem(0, 0, QStringLiteral("CH01"), true, 704, 576, 32, 24));
    model.clearOverlay();
    EXPECT_EQ(model.motionText(), QString(64, '0'));
    EXPECT_EQ(model.masks().size(), 1u);
    EXPECT_EQ(model.textItems().size(), 1u);
    model.reset(kPrivacyMasks, 0, 0);  // a size of 0 keeps the picture size
    EXPECT_EQ(model.pictureWidth(), 704);
    EXPECT_TRUE(model.masks().empty());
    EXPECT_TRUE(model.textItems().empty());
}

TEST(OverlayModel, TheSnapshotCarriesWhatTheDrawingNeeds)
{
    OverlayModel model = modelFor(kPrivacyMasks);
    ASSERT_TRUE(model.setMask(0, 16, 32, 136, 112, 704, 576));
    model.setCell(7, true);
    const OverlaySnapshot s = model.snapshot();
    EXPECT_EQ(s.mode, kPrivacyMasks);
    EXPECT_EQ(s.windowWidth, 960);
    EXPECT_EQ(s.windowHeight, 540);
    ASSERT_EQ(s.maskWindows.size(), 1u);
    EXPECT_EQ(s.maskWindows[0], model.masks()[0].window);
    EXPECT_EQ(s.cells[7], 1);
    EXPECT_FALSE(s.needsMeasuring(704, 576));
}
