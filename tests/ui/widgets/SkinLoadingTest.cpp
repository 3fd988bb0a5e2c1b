// SPDX-License-Identifier: GPL-3.0-or-later
// Loading skins from the resources: the 1x or 2x picture by the pixel
// ratio, the bytes kept, and every way a load fails leaving nothing held.
#include "widgets/CBitmapSlider.h"
#include "widgets/CGdiPlusBitmapResource.h"
#include "widgets/CGdipButton.h"

#include <QFile>
#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {

class SkinAtRatio : public ::testing::TestWithParam<qreal> {};

TEST_P(SkinAtRatio, PictureOfTheRatioWithTheLogicalSizeOf1x)
{
    const qreal ratio = GetParam();
    CGdiPlusBitmapResource bitmap;
    ASSERT_TRUE(bitmap.Load(QStringLiteral("TEST_BTN_STD"), ratio));
    EXPECT_EQ(bitmap.LogicalSize(), QSize(20, 12));
    EXPECT_EQ(bitmap.Image().size(), QSize(20, 12) * ratio);
    EXPECT_EQ(bitmap.Image().devicePixelRatio(), ratio);
    QFile file(CGdiPlusBitmapResource::ResourcePath(QStringLiteral("TEST_BTN_STD"), ratio));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(bitmap.Bytes(), file.readAll());
}

TEST_P(SkinAtRatio, SkinDrawnOnlyAt1xIsStillShown)
{
    CGdiPlusBitmapResource bitmap;
    ASSERT_TRUE(bitmap.Load(QStringLiteral("TEST_ONLY_1X"), GetParam()));
    EXPECT_EQ(bitmap.LogicalSize(), QSize(20, 12));
    EXPECT_EQ(bitmap.Image().devicePixelRatio(), 1);
}

INSTANTIATE_TEST_SUITE_P(Ratios, SkinAtRatio, ::testing::Values(1.0, 2.0));

TEST(Skin, LoadFollowsTheApplicationsPixelRatio)
{
    // Run at 1x and, in the second run of these tests, at 2x.
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) {
        ASSERT_EQ(qGuiApp->devicePixelRatio(), qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
    }
    CGdiPlusBitmapResource bitmap;
    ASSERT_TRUE(bitmap.Load(QStringLiteral("TEST_BTN_STD")));
    EXPECT_EQ(bitmap.Image().devicePixelRatio(), qGuiApp->devicePixelRatio() > 1 ? 2 : 1);
    EXPECT_EQ(bitmap.LogicalSize(), QSize(20, 12));
}

class SkinThatFails : public ::testing::TestWithParam<std::tuple<const char*, qreal>> {};

TEST_P(SkinThatFails, LeavesTheHolderEmpty)
{
    const auto [name, ratio] = GetParam();
    CGdiPlusBitmapResource bitmap(QStringLiteral("TEST_BTN_HOT"));
    ASSERT_TRUE(bitmap.IsLoaded());
    // What was held goes first, loaded or not.
    EXPECT_FALSE(bitmap.Load(QString::fromLatin1(name), ratio));
    EXPECT_FALSE(bitmap.IsLoaded());
    EXPECT_TRUE(bitmap.Image().isNull());
    EXPECT_TRUE(bitmap.Bytes().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Names, SkinThatFails,
                         ::testing::Combine(::testing::Values("TEST_NOT_PNG", "TEST_BROKEN_PNG", "NO_SUCH_SKIN", ""),
                                            ::testing::Values(1.0, 2.0)));

TEST(Skin, PngSignatureIsChecked)
{
    EXPECT_TRUE(CGdiPlusBitmapResource::HasPngSignature(QByteArray("\x89PNG\r\n\x1a\n...", 11)));
    EXPECT_FALSE(CGdiPlusBitmapResource::HasPngSignature(QByteArray("\x89PNG\r\n\x1a", 7)));
    EXPECT_FALSE(CGdiPlusBitmapResource::HasPngSignature("GIF89a"));
}

TEST(Skin, ButtonStopsAtTheFirstImageThatFails)
{
    CGdipButton button;
    EXPECT_FALSE(button.SetImages("TEST_BTN_STD", "TEST_NOT_PNG", "TEST_BTN_DOWN", "TEST_BTN_DIS"));
    EXPECT_TRUE(button.HasImage(CGdipButton::Standard));
    EXPECT_FALSE(button.HasImage(CGdipButton::Hot));
    EXPECT_FALSE(button.HasImage(CGdipButton::Pressed));
    EXPECT_FALSE(button.SetAltImages("NO_SUCH_SKIN"));
    EXPECT_FALSE(button.HasImage(CGdipButton::Standard, true));
}

TEST(Skin, SliderRefusesImagesThatFail)
{
    CBitmapSlider slider;
    EXPECT_FALSE(slider.SetTrackBitmaps("TEST_NOT_PNG"));
    EXPECT_FALSE(slider.SetTrackBitmaps("TEST_TRACK", "NO_SUCH_SKIN"));
    EXPECT_FALSE(slider.SetThumbBitmaps(QString()));
    EXPECT_TRUE(slider.SetThumbBitmaps("TEST_THUMB"));
    EXPECT_EQ(slider.Geometry().thumbWidth, 10);
    EXPECT_EQ(slider.Geometry().thumbHeight, 10);
}

}  // namespace
