// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/OsdMatrix.h"

#include <gtest/gtest.h>

TEST(CreateOsdMatrix, WritesTheLengthOfTheTextAfterTheFourthUnderscore)
{
    EXPECT_EQ(createOsdMatrix(QStringLiteral("1_0_a_b_cd")), QStringLiteral("1_2_a_b_cd"));
    EXPECT_EQ(createOsdMatrix(QStringLiteral("7_0_x_y_hello world")), QStringLiteral("7_11_x_y_hello world"));
    // The length counts UTF-8 bytes: two characters of three bytes each.
    EXPECT_EQ(createOsdMatrix(QStringLiteral("1_0_a_b_\u4e2d\u6587")), QStringLiteral("1_6_a_b_\u4e2d\u6587"));
    // The field is the first "0" after the first underscore, wherever it is.
    EXPECT_EQ(createOsdMatrix(QStringLiteral("10_5_0_b_cd")), QStringLiteral("10_5_2_b_cd"));
}

TEST(CreateOsdMatrix, TextsWithoutUnderscoresOrZero)
{
    // No underscore: the whole text is the tail, and the first "0" is the field.
    EXPECT_EQ(createOsdMatrix(QStringLiteral("ab0")), QStringLiteral("ab3"));
    // No "0": the first character is replaced.
    EXPECT_EQ(createOsdMatrix(QStringLiteral("1_x_a_b_cd")), QStringLiteral("2_x_a_b_cd"));
    EXPECT_EQ(createOsdMatrix(QString()), QStringLiteral("0"));
    // A first character of several UTF-8 bytes is replaced whole.
    EXPECT_EQ(createOsdMatrix(QStringLiteral("\u00e9_x_a_b_cd")), QStringLiteral("2_x_a_b_cd"));
}

TEST(CreateOsdMatrix, ATextTooLongForTheBufferIsTakenAsEmpty)
{
    const QString huge = QStringLiteral("1_0_a_b_") + QString(static_cast<qsizetype>(kOsdMatrixBufferBytes), 'x');
    EXPECT_EQ(createOsdMatrix(huge), QStringLiteral("0"));
    // One byte less (with the terminator) still fits.
    const QString fits = QStringLiteral("1_0_a_b_") + QString(static_cast<qsizetype>(kOsdMatrixBufferBytes - 9), 'x');
    EXPECT_TRUE(createOsdMatrix(fits).startsWith(QStringLiteral("1_1048567_a_b_")));
}
