// SPDX-License-Identifier: GPL-3.0-or-later
#include "overlay/COverlayWnd.h"

#include <gtest/gtest.h>

TEST(COverlayWnd, MotionTextPacksEightCellsPerByteLowestBitFirst)
{
    COverlayWnd overlay;
    EXPECT_EQ(overlay.motionText(), QString(64, '0'));

    overlay.setCell(0, true);
    EXPECT_EQ(overlay.motionText(), QStringLiteral("01") + QString(62, '0'));
    overlay.setCell(0, false);
    overlay.setCell(179, true);
    EXPECT_EQ(overlay.motionText(), QString(44, '0') + QStringLiteral("08") + QString(18, '0'));

    const QString text = QStringLiteral("A5") + QString(40, '0') + QStringLiteral("FF0F") + QString(18, '0');
    ASSERT_TRUE(overlay.setMotionText(text));
    EXPECT_TRUE(overlay.cell(0));
    EXPECT_FALSE(overlay.cell(1));
    EXPECT_TRUE(overlay.cell(2));
    EXPECT_TRUE(overlay.cell(7));
    EXPECT_TRUE(overlay.cell(179));
    EXPECT_EQ(overlay.motionText(), text);
}

TEST(COverlayWnd, RejectedMotionTextsChangeNothing)
{
    COverlayWnd overlay;
    overlay.setCell(5, true);
    EXPECT_FALSE(overlay.setMotionText(QString(63, '0')));
    EXPECT_FALSE(overlay.setMotionText(QString(65, '0')));
    EXPECT_FALSE(overlay.setMotionText(QString(63, '0') + QLatin1Char('a')));  // lower case
    EXPECT_FALSE(overlay.setMotionText(QString(63, '0') + QLatin1Char('G')));
    EXPECT_TRUE(overlay.cell(5));
    EXPECT_TRUE(overlay.setMotionText(QString(64, '0')));
    EXPECT_FALSE(overlay.cell(5));
}
