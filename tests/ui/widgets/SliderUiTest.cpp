// SPDX-License-Identifier: GPL-3.0-or-later
// The bitmap slider as a window, lying and standing: keys, pressing and
// dragging with what it posts to its parent, a disabled slider, and the
// picture (active track before the thumb, transparent pixels).
#include "WidgetsTestWindow.h"

#include "platform/Messages.h"
#include "widgets/CBitmapSlider.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr int kId = 199;
// The test skins' colours.
const QColor kThumb(250, 250, 250);
const QColor kActiveThumb(250, 250, 0);
const QColor kTrack(128, 128, 128);
const QColor kActiveTrack(0, 128, 255);
const QColor kBackground(40, 60, 80);  // the test window's

PostedMessage drag(int pos)
{
    return {platform::WM_SLIDER_DRAG, kId, pos};
}
PostedMessage settled(int pos)
{
    return {platform::WM_SLIDER_POS, kId, pos};
}
using Messages = std::vector<PostedMessage>;

// 110 pixels along, a 10-pixel thumb, no margins, range 0..100: the thumb
// centre of position p is at p + 5, and every pixel is its own position.
class BitmapSlider : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        const QRect place = vertical() ? QRect(20, 40, 10, 110) : QRect(20, 100, 110, 10);
        ASSERT_TRUE(slider.createWindow(&parent, place, kId, true));
        ASSERT_TRUE(slider.SetTrackBitmaps("TEST_TRACK", "TEST_TRACK_ACTIVE", true));
        const QColor key(255, 0, 189);
        ASSERT_TRUE(slider.SetThumbBitmaps("TEST_THUMB", "TEST_THUMB_ACTIVE", true, key, key));
        slider.SetVertical(vertical());
        slider.SetRange(0, 100);
        slider.SetPageSize(10);
        slider.SetPos(50);
        slider.DrawFocusRect(false);
        ASSERT_TRUE(parent.open());
    }
    bool vertical() const { return GetParam(); }
    // A point `along` pixels along the slider, in its middle across.
    QPoint at(int along) const { return vertical() ? QPoint(5, along) : QPoint(along, 5); }
    QColor shownAt(int along) { return shownColour(parent, slider, at(along)); }
    void focus()
    {
        slider.setFocus();
        ASSERT_TRUE(QTest::qWaitFor([this] { return slider.hasFocus(); }));
    }

    WidgetsTestWindow parent;
    CBitmapSlider slider;
};

TEST_P(BitmapSlider, KeysMoveByPagesStepsAndToTheEnds)
{
    focus();
    const std::vector<std::tuple<Qt::Key, int>> steps = {
        {Qt::Key_PageUp, 40}, {Qt::Key_End, 100}, {Qt::Key_PageDown, 100}, {Qt::Key_Home, 0},
        {Qt::Key_Up, 0},      {Qt::Key_Right, 1}, {Qt::Key_Down, 2},       {Qt::Key_Left, 1},
        {Qt::Key_PageDown, 11},
    };
    for (const auto& [key, pos] : steps) {
        parent.key(key);
        EXPECT_EQ(slider.GetPos(), pos) << "key " << key;
        // Posted even when the position stayed at an end.
        EXPECT_EQ(parent.takeMessages(), Messages{settled(pos)}) << "key " << key;
    }
    parent.key(Qt::Key_A);
    EXPECT_TRUE(parent.takeMessages().empty());
    EXPECT_EQ(shownAt(16), kThumb);
}

TEST_P(BitmapSlider, PressFarFromTheThumbPutsItUnderTheMouseAndDragsReport)
{
    parent.press(slider, at(85));
    EXPECT_EQ(slider.GetPos(), 80);
    EXPECT_TRUE(slider.hasFocus());
    EXPECT_EQ(parent.takeMessages(), Messages{drag(80)});
    EXPECT_EQ(shownAt(85), kActiveThumb);

    parent.move(slider, at(95));
    EXPECT_EQ(parent.takeMessages(), Messages{drag(90)});
    parent.move(slider, at(95));
    EXPECT_TRUE(parent.takeMessages().empty());
    // Beyond the end the thumb stops there.
    parent.move(slider, at(400));
    EXPECT_EQ(parent.takeMessages(), Messages{drag(100)});
    parent.release(slider, at(400));
    EXPECT_EQ(parent.takeMessages(), Messages{settled(100)});
    EXPECT_FALSE(slider.IsDragging());
    EXPECT_EQ(shownAt(105), kThumb);
    EXPECT_NE(shownAt(85), kThumb);
}

TEST_P(BitmapSlider, PressOnTheThumbKeepsTheGripPoint)
{
    parent.press(slider, at(57));  // two pixels past the centre of 50
    EXPECT_EQ(slider.GetPos(), 50);
    EXPECT_TRUE(parent.takeMessages().empty());
    parent.move(slider, at(67));
    EXPECT_EQ(parent.takeMessages(), Messages{drag(60)});
    parent.move(slider, at(-30));
    EXPECT_EQ(parent.takeMessages(), Messages{drag(0)});
    parent.release(slider, at(-30));
    EXPECT_EQ(parent.takeMessages(), Messages{settled(0)});
    EXPECT_EQ(shownAt(5), kThumb);
}

TEST_P(BitmapSlider, DisabledSliderIgnoresInputAndShowsNoThumb)
{
    slider.Enable(false);
    EXPECT_NE(shownAt(55), kThumb);
    parent.press(slider, at(85));
    parent.move(slider, at(95));
    parent.release(slider, at(95));
    focus();
    parent.key(Qt::Key_End);
    EXPECT_TRUE(parent.takeMessages().empty());
    EXPECT_EQ(slider.GetPos(), 50);

    slider.Enable(true);
    EXPECT_EQ(shownAt(55), kThumb);
    parent.click(slider, at(85));
    EXPECT_EQ(parent.takeMessages(), (Messages{drag(80), settled(80)}));
}

// The test track is drawn lying: its picture is checked on a lying slider.
class LyingBitmapSlider : public BitmapSlider {};

TEST_P(LyingBitmapSlider, ActiveTrackBeforeTheThumbAndTransparentPixelsShowTheParent)
{
    EXPECT_EQ(shownColour(parent, slider, QPoint(20, 4)), kActiveTrack);
    EXPECT_EQ(shownColour(parent, slider, QPoint(90, 4)), kTrack);
    EXPECT_EQ(shownColour(parent, slider, QPoint(20, 1)), kBackground);
    // The thumb's corners are cut out too.
    EXPECT_EQ(shownColour(parent, slider, QPoint(55, 1)), kThumb);
    EXPECT_EQ(shownColour(parent, slider, QPoint(50, 0)), kBackground);
    // Disabled: all of the track is the plain one.
    slider.Enable(false);
    EXPECT_EQ(shownColour(parent, slider, QPoint(20, 4)), kTrack);
}

TEST_P(BitmapSlider, FocusRectangleOnlyWhenAskedFocusedAndEnabled)
{
    const QImage unfocused = slider.grab().toImage();
    focus();
    EXPECT_EQ(slider.grab().toImage(), unfocused);  // not asked for
    slider.DrawFocusRect(true, true);
    const QImage framed = slider.grab().toImage();
    EXPECT_NE(framed, unfocused);
    slider.Enable(false);
    const QImage disabled = slider.grab().toImage();
    slider.DrawFocusRect(false, true);
    EXPECT_EQ(slider.grab().toImage(), disabled);
    slider.Enable(true);
    slider.DrawFocusRect(true, true);
    slider.clearFocus();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !slider.hasFocus(); }));
    EXPECT_EQ(slider.grab().toImage(), unfocused);
}

INSTANTIATE_TEST_SUITE_P(Lying, LyingBitmapSlider, ::testing::Values(false));
INSTANTIATE_TEST_SUITE_P(Axes, BitmapSlider, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Vertical" : "Horizontal";
                         });

}  // namespace
