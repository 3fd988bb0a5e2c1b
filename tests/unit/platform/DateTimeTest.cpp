// SPDX-License-Identifier: GPL-3.0-or-later
// The automation date-time and its conversions.
#include "platform/DateTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace platform;

namespace {

TEST(DateTime, DaysCountFromTheEndOf1899)
{
    EXPECT_DOUBLE_EQ(DateTime::fromParts(1899, 12, 30).days(), 0.0);
    EXPECT_DOUBLE_EQ(DateTime::fromParts(1900, 1, 1).days(), 2.0);
    EXPECT_DOUBLE_EQ(DateTime::fromParts(2024, 2, 29, 12).days(), 45351.5);
    const SystemTime t = DateTime(45351.5).toSystemTime();
    EXPECT_EQ(t, (SystemTime{2024, 2, 4, 29, 12, 0, 0, 0})) << "a Thursday";
    EXPECT_EQ(DateTime(0.0).toSystemTime().dayOfWeek, 6) << "a Saturday";
}

TEST(DateTime, BeforeDayZeroTheFractionStillCountsForward)
{
    const DateTime morning = DateTime::fromParts(1899, 12, 29, 6);
    EXPECT_DOUBLE_EQ(morning.days(), -1.25);
    EXPECT_EQ(DateTime(-1.25).toText(), "1899-12-29 06:00:00");
    const DateTime late = DateTime::fromParts(1899, 12, 30).addSeconds(-3600);
    EXPECT_EQ(late.toText(), "1899-12-29 23:00:00");
    EXPECT_EQ(secondsBetween(late, DateTime(0.0)), 3600);
    EXPECT_EQ(secondsBetween(DateTime(-1.25), DateTime(0.25)), 86400);
}

TEST(DateTime, OutOfRangeFieldsAndValuesAreInvalid)
{
    EXPECT_FALSE(DateTime().isValid());
    EXPECT_FALSE(DateTime::fromParts(2023, 2, 29).isValid());
    EXPECT_TRUE(DateTime::fromParts(2000, 2, 29).isValid());
    EXPECT_FALSE(DateTime::fromParts(1900, 2, 29).isValid());
    EXPECT_FALSE(DateTime::fromParts(2024, 4, 31).isValid());
    EXPECT_FALSE(DateTime::fromParts(2024, 1, 1, 24).isValid());
    EXPECT_FALSE(DateTime::fromParts(2024, 13, 1).isValid());
    EXPECT_FALSE(DateTime::fromParts(99, 12, 31).isValid());
    EXPECT_FALSE(DateTime(std::numeric_limits<double>::quiet_NaN()).isValid());
    EXPECT_FALSE(DateTime(1e9).isValid());
    const DateTime last = DateTime::fromParts(9999, 12, 31, 23, 59, 59);
    ASSERT_TRUE(last.isValid());
    EXPECT_FALSE(last.addSeconds(1).isValid());
    EXPECT_EQ(DateTime().toText(), "");
    EXPECT_EQ(secondsBetween(DateTime(), last), 0);
}

TEST(DateTime, TextFormsRoundTripAndAreStrict)
{
    const DateTime t = DateTime::fromText("2024-03-05 07:08:09");
    ASSERT_TRUE(t.isValid());
    EXPECT_EQ(t.toText(), "2024-03-05 07:08:09");
    EXPECT_EQ(t.toDigits(), "20240305070809");
    EXPECT_EQ(DateTime::fromDigits("20240305070809"), t);
    EXPECT_EQ(DateTime::fromSystemTime(t.toSystemTime()), t);
    for (const char* bad : {"2024-3-05 07:08:09", "2024-03-05T07:08:09", "2024-03-05 07:08:09 ", "2024-03-05 07:08:9x",
                            "2024-02-30 00:00:00", "", "2024-03-05 24:00:00"})
        EXPECT_FALSE(DateTime::fromText(bad).isValid()) << bad;
    for (const char* bad : {"2024030507080", "202403050708099", "2024030507080x", "20241305070809"})
        EXPECT_FALSE(DateTime::fromDigits(bad).isValid()) << bad;
}

TEST(DateTime, SecondsRoundHalfAwayFromZero)
{
    // 1/256 day is exactly 337.5 seconds.
    const DateTime a(45000.0);
    const DateTime b(45000.0 + 1.0 / 256);
    EXPECT_EQ(secondsBetween(a, b), 338);
    EXPECT_EQ(secondsBetween(b, a), -338);
    EXPECT_EQ(secondsBetween(a, DateTime(45000.0 + 1.0 / 512)), 169) << "168.75 s";
    EXPECT_EQ(DateTime(1.0 / 256).toText(), "1899-12-30 00:05:38");
    EXPECT_EQ(secondsBetween(DateTime::fromText("2024-01-01 00:00:00"), DateTime::fromText("2024-01-02 00:00:01")),
              86401);
    // Across the end of a month and year.
    EXPECT_EQ(DateTime::fromText("2023-12-31 23:59:30").addSeconds(45).toText(), "2024-01-01 00:00:15");
}

}  // namespace
