// SPDX-License-Identifier: GPL-3.0-or-later
// Every skin is in the resources at both sizes, the 2x picture exactly twice
// the 1x one, and the colour-keyed pictures carry their key where the
// widgets look for it.
#include "resources/SkinPath.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

namespace {

QStringList skinNames()
{
    QStringList names;
    for (const QString& file : QDir(QStringLiteral(":/skins")).entryList({QStringLiteral("*.png")})) {
        if (!file.endsWith(QLatin1String("@2x.png")))
            names << file.chopped(4);
    }
    return names;
}

TEST(SkinResources, EveryImageHasBothSizesAndTheTwiceSizeIsExactlyDouble)
{
    const QStringList names = skinNames();
    // Buttons (20 kinds and the handle pair, four looks each), eight strips,
    // three slider pictures, four backgrounds.
    ASSERT_EQ(names.size(), 22 * 4 + 8 + 3 + 4);
    for (const QString& name : names) {
        const QImage one(skinResourcePath(name, false));
        const QImage two(skinResourcePath(name, true));
        ASSERT_FALSE(one.isNull()) << name.toStdString();
        ASSERT_FALSE(two.isNull()) << name.toStdString();
        EXPECT_EQ(two.size(), one.size() * 2) << name.toStdString();
    }
}

TEST(SkinResources, ScrollBarStripsHaveTheirPieceLengths)
{
    for (const char* state : {"UP", "HOT", "DN", "DIS"}) {
        EXPECT_EQ(QImage(skinResourcePath(QStringLiteral("XSB_H_%1").arg(QLatin1String(state)), false)).size(),
                  QSize(78, 10));
        EXPECT_EQ(QImage(skinResourcePath(QStringLiteral("XSB_V_%1").arg(QLatin1String(state)), false)).size(),
                  QSize(17, 78));
    }
}

TEST(SkinResources, SliderPicturesAreCutOutByTheirKeyColours)
{
    for (const bool twice : {false, true}) {
        const QImage track(skinResourcePath(QStringLiteral("SLIDER_TRACK"), twice));
        EXPECT_FALSE(track.hasAlphaChannel());
        EXPECT_EQ(track.pixel(0, 0), qRgb(255, 0, 255));
        // The groove runs across the middle, in no key colour.
        EXPECT_NE(track.pixel(track.width() / 2, track.height() / 2), qRgb(255, 0, 255));
        for (const char* name : {"SLIDER_THUMB", "SLIDER_THUMB_ACTIVE"}) {
            const QImage thumb(skinResourcePath(QLatin1String(name), twice));
            EXPECT_EQ(thumb.pixel(0, 0), qRgb(255, 0, 189)) << name;
            EXPECT_NE(thumb.pixel(thumb.width() / 2, thumb.height() / 2), qRgb(255, 0, 189)) << name;
            // No fringe: every pixel is the key or far from it.
            for (int y = 0; y < thumb.height(); ++y)
                for (int x = 0; x < thumb.width(); ++x) {
                    const QRgb p = thumb.pixel(x, y);
                    const bool nearKey = qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) > 140;
                    EXPECT_TRUE(!nearKey || p == qRgb(255, 0, 189)) << name << " " << x << "," << y;
                }
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
