// SPDX-License-Identifier: GPL-3.0-or-later
// The image button as a window: the state it is drawn in, what it posts to
// its parent, hover with its tooltip, and the background under it.
#include "WidgetsTestWindow.h"

#include "widgets/CGdipButton.h"

#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

namespace {

constexpr int kId = 301;
const QPoint kOnImage(5, 5);
const QPoint kOnClearPixels(18, 5);  // the images' four right-hand columns are clear

// The test skins' colours through the button's brightening (c * 1.05 + 12.75).
const QColor kStandard(223, 13, 13);
const QColor kHot(13, 223, 13);
const QColor kPressed(13, 13, 223);
const QColor kDisabled(118, 118, 118);
const QColor kAltStandard(223, 223, 13);
const QColor kAltHot(13, 223, 223);
const QColor kAltPressed(223, 13, 223);
const QColor kAltDisabled(76, 76, 76);
const QColor kBackground(40, 60, 80);  // the test window's

std::vector<PostedMessage> presses(std::initializer_list<platform::WPARAM> toggledOn)
{
    std::vector<PostedMessage> result;
    for (platform::WPARAM on : toggledOn)
        result.push_back({kId, on, 0});
    return result;
}

class ImageButton : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(button.createWindow(&parent, QRect(50, 60, 20, 12), kId, true));
        parent.handBackgroundTo(&button);
        ASSERT_TRUE(parent.open());
    }
    void TearDown() override { QToolTip::hideText(); }

    void setAllImages()
    {
        ASSERT_TRUE(button.SetImages("TEST_BTN_STD", "TEST_BTN_HOT", "TEST_BTN_DOWN", "TEST_BTN_DIS"));
        ASSERT_TRUE(button.SetAltImages("TEST_BTN_ALT_STD", "TEST_BTN_ALT_HOT", "TEST_BTN_ALT_DOWN", "TEST_BTN_ALT_DIS"));
    }
    QColor shown() { return pictureColour(button, kOnImage); }
    void moveAway() { parent.move(parent, QPoint(300, 190)); }

    WidgetsTestWindow parent;
    CGdipButton button;
};

TEST_F(ImageButton, WithoutAPressedImageItCannotBecomeAToggle)
{
    ASSERT_TRUE(button.SetImages("TEST_BTN_STD"));
    EXPECT_FALSE(button.EnableToggle());
    EXPECT_FALSE(button.IsToggle());
    parent.click(button, kOnImage);
    EXPECT_EQ(parent.takeMessages(), presses({0}));
    EXPECT_FALSE(button.IsToggledOn());
    // No hot image: hovering shows the standard one.
    EXPECT_EQ(shown(), kStandard);

    // Alternate images alone do not make a toggle either; a pressed one does.
    ASSERT_TRUE(button.SetAltImages("TEST_BTN_ALT_STD", "TEST_BTN_ALT_HOT", "TEST_BTN_ALT_DOWN"));
    EXPECT_FALSE(button.EnableToggle());
    ASSERT_TRUE(button.SetImages("TEST_BTN_STD", {}, "TEST_BTN_DOWN"));
    EXPECT_TRUE(button.EnableToggle());
}

TEST_F(ImageButton, ToggleFlipsAtEachPressAndReportsTheNewState)
{
    setAllImages();
    ASSERT_TRUE(button.EnableToggle());
    // A new toggle starts on, with the alternate standard image.
    EXPECT_TRUE(button.IsToggledOn());
    EXPECT_EQ(shown(), kAltStandard);

    parent.press(button, kOnImage);
    EXPECT_EQ(shown(), kPressed);
    EXPECT_EQ(parent.takeMessages(), presses({0}));
    parent.release(button, kOnImage);
    EXPECT_EQ(shown(), kHot);
    EXPECT_TRUE(parent.takeMessages().empty());

    parent.press(button, kOnImage);
    EXPECT_EQ(shown(), kAltPressed);
    parent.release(button, kOnImage);
    EXPECT_EQ(parent.takeMessages(), presses({1}));
    EXPECT_EQ(shown(), kAltHot);
    moveAway();
    EXPECT_EQ(shown(), kAltStandard);

    // Set from outside: no message.
    button.SetToggledOn(false);
    EXPECT_EQ(shown(), kStandard);
    EXPECT_TRUE(parent.takeMessages().empty());
}

class ImageButtonDoubleClick : public ImageButton, public ::testing::WithParamInterface<bool> {};

TEST_P(ImageButtonDoubleClick, CountsAsTwoPresses)
{
    const bool toggle = GetParam();
    setAllImages();
    if (toggle) {
        ASSERT_TRUE(button.EnableToggle());
    }
    int clicks = 0;
    button.setClickHandler([&clicks] { ++clicks; });
    parent.doubleClick(button, kOnImage);
    EXPECT_EQ(parent.takeMessages(), toggle ? presses({0, 1}) : presses({0, 0}));
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(button.IsToggledOn(), toggle);
}

INSTANTIATE_TEST_SUITE_P(PushAndToggle, ImageButtonDoubleClick, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Toggle" : "Push"; });

TEST_F(ImageButton, GreyButtonDrawsTheDisabledImageAndIsNeverDrawnPressed)
{
    setAllImages();
    button.SetGrey(true);
    EXPECT_EQ(shown(), kDisabled);
    parent.press(button, kOnImage);
    EXPECT_EQ(shown(), kDisabled);
    parent.release(button, kOnImage);
    EXPECT_TRUE(parent.takeMessages().empty());

    ASSERT_TRUE(button.EnableToggle());
    EXPECT_EQ(shown(), kAltDisabled);
    moveAway();
    button.SetGrey(false);
    EXPECT_EQ(shown(), kAltStandard);
}

TEST_F(ImageButton, HoverShowsTheHotImageAndPopsTheToolTipUpAtOnce)
{
    setAllImages();
    button.SetToolTipText(QStringLiteral("Play"));
    parent.move(button, kOnImage);
    EXPECT_TRUE(button.IsHovering());
    EXPECT_EQ(shown(), kHot);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Play"));

    moveAway();
    EXPECT_FALSE(button.IsHovering());
    EXPECT_EQ(shown(), kStandard);
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }));

    // A deactivated tooltip stays hidden; an empty text changes nothing.
    button.SetToolTipText(QStringLiteral("Pause"), false);
    button.SetToolTipText(QString(), true);
    EXPECT_FALSE(button.IsToolTipActive());
    EXPECT_EQ(button.ToolTipText(), QStringLiteral("Pause"));
    parent.move(button, kOnImage);
    EXPECT_EQ(shown(), kHot);
    EXPECT_FALSE(QToolTip::isVisible());
}

TEST_F(ImageButton, ClickCommandRunsOnlyForAReleaseOverTheButton)
{
    setAllImages();
    int clicks = 0;
    button.setClickHandler([&clicks] { ++clicks; });
    parent.press(button, kOnImage);
    moveAway();
    // Held down, it looks pressed only while the mouse is over it, and each
    // time it comes to look pressed it reports so.
    EXPECT_EQ(shown(), kStandard);
    parent.move(button, QPoint(6, 6));
    EXPECT_EQ(shown(), kPressed);
    moveAway();
    parent.release(parent, QPoint(300, 190));
    EXPECT_EQ(parent.takeMessages(), presses({0, 0}));
    EXPECT_EQ(clicks, 0);

    parent.click(button, kOnImage);
    EXPECT_EQ(clicks, 1);
}

TEST_F(ImageButton, ParentsBackgroundShowsThroughClearPixels)
{
    setAllImages();
    EXPECT_EQ(pictureColour(button, kOnClearPixels), kBackground);
    // The parent hands the new background over when it paints.
    const QColor rust(90, 30, 10);
    parent.setBackground(rust);
    EXPECT_TRUE(QTest::qWaitFor([&] { return pictureColour(button, kOnClearPixels) == rust; }));
    EXPECT_EQ(shown(), kStandard);
}

TEST(ImageButtonAlone, RendersItsParentsPaintingWhenNoneWasHandedOver)
{
    WidgetsTestWindow parent;
    CGdipButton button;
    ASSERT_TRUE(button.createWindow(&parent, QRect(50, 60, 20, 12), kId, true));
    ASSERT_TRUE(button.SetImages("TEST_BTN_STD"));
    ASSERT_TRUE(parent.open());
    EXPECT_FALSE(parent.takeMessages().size());
    EXPECT_EQ(pictureColour(button, kOnClearPixels), kBackground);
    EXPECT_EQ(pictureColour(button, kOnImage), kStandard);
    // Moved, it takes what lies under its new place.
    const QColor moss(30, 90, 10);
    parent.setBackground(moss);
    button.move(80, 90);
    EXPECT_EQ(pictureColour(button, kOnClearPixels), moss);
}

TEST_F(ImageButton, WindowTextIsDrawnOverThePictureInGreyWhenDisabled)
{
    button.setGeometry(40, 50, 80, 30);
    ASSERT_TRUE(button.SetImages("TEST_BTN_STD"));
    QFont font = button.font();
    font.setPixelSize(20);
    button.setFont(font);
    const QImage plain = button.grab().toImage();
    button.SetWindowText(QStringLiteral("WW"));
    const QImage enabled = button.grab().toImage();
    button.setEnabled(false);
    const QImage disabled = button.grab().toImage();
    EXPECT_NE(enabled, plain);
    EXPECT_NE(disabled, enabled);
    // Centred: the text leaves the corners alone.
    const qreal ratio = enabled.devicePixelRatio();
    EXPECT_EQ(enabled.pixelColor(QPoint(78, 28) * ratio), plain.pixelColor(QPoint(78, 28) * ratio));
    EXPECT_NE(enabled.copy(QRect(QPoint(30, 5) * ratio, QSize(20, 20) * ratio)),
              plain.copy(QRect(QPoint(30, 5) * ratio, QSize(20, 20) * ratio)));
}

}  // namespace
