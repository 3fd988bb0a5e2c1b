// SPDX-License-Identifier: GPL-3.0-or-later
// The control's own skins through the widgets: every button set of the
// playback bar loads at 1x and 2x with its size, and the volume slider, set
// up as the bar sets it up, shows none of its key colours.
#include "WidgetsTestWindow.h"

#include "widgets/CBitmapSlider.h"
#include "widgets/CGdiPlusBitmapResource.h"
#include "widgets/CGdipButton.h"

#include <gtest/gtest.h>

namespace {

struct ButtonSkin {
    const char* name;
    QSize size;
    bool toggle;  // has an _ALT set for its toggled-on look
};

void PrintTo(const ButtonSkin& skin, std::ostream* out)
{
    *out << skin.name;
}

class PlaybackBarButtonSkin : public ::testing::TestWithParam<ButtonSkin> {};

TEST_P(PlaybackBarButtonSkin, EveryStateLoadsAtBothSizes)
{
    const ButtonSkin skin = GetParam();
    const QString name = QString::fromLatin1(skin.name);
    QStringList sets{name};
    if (skin.toggle)
        sets << name + QStringLiteral("_ALT");
    for (const QString& set : sets) {
        for (const char* state : {"_STD", "_HOT", "_DOWN", "_DIS"}) {
            for (const qreal ratio : {1.0, 2.0}) {
                CGdiPlusBitmapResource bitmap;
                ASSERT_TRUE(bitmap.Load(set + QLatin1String(state), ratio)) << (set + state).toStdString();
                EXPECT_EQ(bitmap.LogicalSize(), skin.size) << (set + state).toStdString();
                EXPECT_EQ(bitmap.Image().devicePixelRatio(), ratio) << (set + state).toStdString();
            }
        }
    }
    // As the bar loads them: at the screen's size, through the button.
    CGdipButton button;
    ASSERT_TRUE(button.SetImages(name + "_STD", name + "_HOT", name + "_DOWN", name + "_DIS"));
    if (skin.toggle) {
        ASSERT_TRUE(button.SetAltImages(name + "_ALT_STD", name + "_ALT_HOT", name + "_ALT_DOWN", name + "_ALT_DIS"));
        EXPECT_TRUE(button.EnableToggle());
    }
}

// The bar's cells: transport and sound buttons 27 x 25; the right-aligned
// group 30 x 26, but the view mode button 27 wide.
const QSize kCell(27, 25);
const QSize kWideCell(30, 26);
const QSize kViewModeCell(27, 26);
INSTANTIATE_TEST_SUITE_P(
    Skins, PlaybackBarButtonSkin,
    ::testing::Values(ButtonSkin{"PB_PLAY", kCell, false}, ButtonSkin{"PB_PAUSE", kCell, false},
                      ButtonSkin{"PB_STOP", kCell, false}, ButtonSkin{"PB_SLOW", kCell, false},
                      ButtonSkin{"PB_FAST", kCell, false}, ButtonSkin{"PB_NEXTFRAME", kCell, false},
                      ButtonSkin{"PB_SNAPSHOT", kCell, false}, ButtonSkin{"PB_ZOOMIN", kCell, false},
                      ButtonSkin{"PB_ZOOMOUT", kCell, false}, ButtonSkin{"PB_VOLUME", kCell, false},
                      ButtonSkin{"PB_MUTED", kCell, false}, ButtonSkin{"PB_SPLIT4", kWideCell, false},
                      ButtonSkin{"PB_SPLIT9", kWideCell, false}, ButtonSkin{"PB_SPLIT16", kWideCell, false},
                      ButtonSkin{"PB_PREV", kWideCell, false}, ButtonSkin{"PB_NEXT", kWideCell, false},
                      ButtonSkin{"PB_FULLSCREEN", kWideCell, true}, ButtonSkin{"PB_VIEWMODE", kViewModeCell, true},
                      ButtonSkin{"PB_BAR_TOGGLE", QSize(140, 7), true}),
    [](const ::testing::TestParamInfo<ButtonSkin>& info) { return std::string(info.param.name); });

TEST(VolumeSliderSkin, ShowsNoKeyColourAndItsThumbWhereThePositionIs)
{
    WidgetsTestWindow parent;
    CBitmapSlider slider;
    ASSERT_TRUE(slider.createWindow(&parent, QRect(20, 100, 108, 18), 199, true));
    // As the playback bar sets it up.
    ASSERT_TRUE(slider.SetTrackBitmaps("SLIDER_TRACK", "SLIDER_TRACK", true));
    const QColor key(255, 0, 189);
    ASSERT_TRUE(slider.SetThumbBitmaps("SLIDER_THUMB", "SLIDER_THUMB_ACTIVE", true, key, key));
    slider.SetMargins(1, 0, 1, 0);
    slider.SetRange(0, 100);
    slider.SetPageSize(10);
    slider.SetPos(50);
    slider.DrawFocusRect(false);
    ASSERT_TRUE(parent.open());
    EXPECT_EQ(slider.Geometry().thumbWidth, 11);
    EXPECT_EQ(slider.Geometry().thumbHeight, 18);

    const QImage before = parent.grab().toImage();
    const qreal ratio = before.devicePixelRatio();
    const QRect area(QPoint(20, 100) * ratio, QSize(108, 18) * ratio);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb pixel = before.pixel(x, y) & RGB_MASK;
            ASSERT_NE(pixel, qRgb(255, 0, 255) & RGB_MASK) << x << "," << y;
            ASSERT_NE(pixel, key.rgb() & RGB_MASK) << x << "," << y;
        }
    }
    // The thumb (centre 53 at position 50) moves with the position.
    slider.SetPos(100);
    const QImage after = parent.grab().toImage();
    const QRect oldThumb(QPoint(20 + 48, 100) * ratio, QSize(11, 18) * ratio);
    EXPECT_NE(before.copy(oldThumb), after.copy(oldThumb));
}

}  // namespace
