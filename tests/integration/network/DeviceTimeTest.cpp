// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's device time: strict texts, local day and month bounds and
// UTC offsets in UTC and in a zone with daylight saving time.
#include "DeviceTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

using namespace velk::recorder;

namespace {

// Sets TZ for one test and restores it afterwards.
class DeviceTimeZones : public ::testing::Test {
protected:
    void useZone(const char* zone)
    {
        setenv("TZ", zone, 1);
        tzset();
    }
    void SetUp() override
    {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
    }
    void TearDown() override
    {
        if (m_old)
            setenv("TZ", m_old->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> m_old;
};

constexpr std::int64_t kHourMs = 3600 * 1000;

}  // namespace

TEST(DeviceTime, ParsesOnlyRealTimesInExactForm)
{
    const LocalDateTime expected{{2026, 12, 8}, 10, 15, 0};
    EXPECT_EQ(parseCompactTime("20261208101500"), expected);
    EXPECT_EQ(parseDashedTime("2026-12-08 10:15:00"), expected);
    EXPECT_EQ(parseCompactTime("20240229235959"), (LocalDateTime{{2024, 2, 29}, 23, 59, 59}));
    for (const char* bad : {"20261332101500", "20260230120000", "20250229120000", "21000229120000", "20261208240000",
                            "20261208106000", "20261208101560", "20261208101500 ", "2026120810150", "2026-1208101500",
                            "+2026120810150", "19691231235959", "21000101000000", "", "20261200101500"})
        EXPECT_FALSE(parseCompactTime(bad)) << bad;
    for (const char* bad : {"2026-12-08T10:15:00", "2026-12-08 10:15", "2026-12-08 1:15:00", "2026-13-08 10:15:00",
                            "2026-02-30 10:15:00", "2026-12-08 24:00:00", "2026/12/08 10:15:00", " 2026-12-08 10:15:0"})
        EXPECT_FALSE(parseDashedTime(bad)) << bad;
    EXPECT_EQ(parseDate("2026-02-28"), (LocalDate{2026, 2, 28}));
    EXPECT_FALSE(parseDate("2026-02-29"));
    EXPECT_FALSE(parseDate("2026-2-28"));
    EXPECT_EQ(parseMonth("2026-12"), (LocalDate{2026, 12, 1}));
    for (const char* bad : {"2026-13", "2026-00", "2026-1", "202612", "2026-12-01", "abcd-12"})
        EXPECT_FALSE(parseMonth(bad)) << bad;

    EXPECT_EQ(formatCompact(expected), "20261208101500");
    EXPECT_EQ(formatDashed(expected), "2026-12-08 10:15:00");
    EXPECT_EQ(formatDate(expected.date), "2026-12-08");
    EXPECT_EQ(formatMonth(expected.date), "2026-12");
}

TEST_F(DeviceTimeZones, UtcHasWholeDaysAndNoOffset)
{
    useZone("UTC");
    const std::int64_t ms = toMs(LocalDateTime{{2026, 12, 8}, 10, 15, 0});
    EXPECT_EQ(ms, 1796724900000);
    EXPECT_EQ(toLocal(ms + 999), (LocalDateTime{{2026, 12, 8}, 10, 15, 0}));
    EXPECT_EQ(utcOffsetSeconds(ms), 0);
    const TimeRange day = dayOf(ms);
    EXPECT_EQ(day.startMs, 1796688000000);
    EXPECT_EQ(day.endMs - day.startMs, 24 * kHourMs);
    const TimeRange month = monthRange(LocalDate{2026, 12, 1});
    EXPECT_EQ(toLocal(month.startMs), (LocalDateTime{{2026, 12, 1}, 0, 0, 0}));
    EXPECT_EQ(toLocal(month.endMs), (LocalDateTime{{2027, 1, 1}, 0, 0, 0}));
    EXPECT_EQ(addDays(LocalDate{2026, 3, 1}, -1), (LocalDate{2026, 2, 28}));
    EXPECT_EQ(addDays(LocalDate{2026, 12, 31}, 1), (LocalDate{2027, 1, 1}));
    // Before 1970 the second still rounds down.
    EXPECT_EQ(toLocal(-1), (LocalDateTime{{1969, 12, 31}, 23, 59, 59}));
}

TEST_F(DeviceTimeZones, BerlinDaysFollowDaylightSavingTime)
{
    useZone("Europe/Berlin");
    // Winter +1 h, summer +2 h.
    const std::int64_t winter = toMs(LocalDateTime{{2026, 12, 8}, 10, 15, 0});
    EXPECT_EQ(winter, 1796724900000 - kHourMs);
    EXPECT_EQ(utcOffsetSeconds(winter), 3600);
    const std::int64_t summer = toMs(LocalDateTime{{2026, 7, 1}, 12, 0, 0});
    EXPECT_EQ(utcOffsetSeconds(summer), 7200);
    EXPECT_EQ(toLocal(summer), (LocalDateTime{{2026, 7, 1}, 12, 0, 0}));

    // The spring day has 23 hours, the autumn day 25.
    const TimeRange spring = dayRange(LocalDate{2026, 3, 29});
    EXPECT_EQ(spring.endMs - spring.startMs, 23 * kHourMs);
    const TimeRange autumn = dayRange(LocalDate{2026, 10, 25});
    EXPECT_EQ(autumn.endMs - autumn.startMs, 25 * kHourMs);
    EXPECT_EQ(dayOf(autumn.endMs - 1).startMs, autumn.startMs);
    EXPECT_EQ(dayOf(autumn.endMs).startMs, autumn.endMs);
    // The offset changes within the day.
    EXPECT_EQ(utcOffsetSeconds(spring.startMs), 3600);
    EXPECT_EQ(utcOffsetSeconds(spring.endMs - 1), 7200);

    // A skipped time lands after the gap; a repeated one is its first time.
    EXPECT_EQ(toLocal(toMs(LocalDateTime{{2026, 3, 29}, 2, 30, 0})), (LocalDateTime{{2026, 3, 29}, 3, 30, 0}));
    const std::int64_t repeated = toMs(LocalDateTime{{2026, 10, 25}, 2, 30, 0});
    EXPECT_EQ(utcOffsetSeconds(repeated), 7200);

    const TimeRange march = monthRange(LocalDate{2026, 3, 1});
    EXPECT_EQ(march.endMs - march.startMs, (31 * 24 - 1) * kHourMs);
}
