// SPDX-License-Identifier: GPL-3.0-or-later
// The store of one byte per second: runs of a day and painting cells.
#include "schedule/ScheduleStore.h"

#include <gtest/gtest.h>

using namespace schedule;

namespace {

constexpr int kHour = 3600;

DayPeriods recordingRuns(const ScheduleStore& store, int day)
{
    DayPeriods runs;
    for (const SchedulePeriod& run : store.dayPeriods(day))
        if (run.type != kTypeNone)
            runs.push_back(run);
    return runs;
}

}  // namespace

TEST(ScheduleStore, EmptyDayIsOneZeroRun)
{
    ScheduleStore store;
    EXPECT_EQ(store.dayPeriods(3), (DayPeriods{{0, kLastSecond, kTypeNone}}));
    EXPECT_EQ(store.recordingPeriodCount(3), 0);
}

TEST(ScheduleStore, OverlappingNormalAndAlarmRunsAreEmittedWhenTheyEnd)
{
    ScheduleStore store;
    // normal 01:00-03:00, alarm 02:00-04:00: seconds 02:00-03:00 hold 3.
    ASSERT_TRUE(store.setDayPeriods(1, {{kHour, 3 * kHour - 1, kTypeNormal}, {2 * kHour, 4 * kHour - 1, kTypeAlarm}}));
    EXPECT_EQ(store.at(1, 2 * kHour), 3);
    const DayPeriods expected = {
        {0, kHour - 1, kTypeNone},
        {kHour, 3 * kHour - 1, kTypeNormal},
        {2 * kHour, 4 * kHour - 1, kTypeAlarm},
        {4 * kHour, kLastSecond, kTypeNone},  // open at the end of the day
    };
    EXPECT_EQ(store.dayPeriods(1), expected);
    EXPECT_EQ(store.recordingPeriodCount(1), 2);
}

TEST(ScheduleStore, RunsOpenAtTheEndOfTheDayComeInTheOrderZeroNormalAlarm)
{
    ScheduleStore store;
    // Alarm over the whole day, normal from 23:00 on: both open at 86399,
    // and the zero run ended early.
    store.setDayPeriods(0, {{0, kLastSecond, kTypeAlarm}, {23 * kHour, kLastSecond, kTypeNormal}});
    EXPECT_EQ(store.dayPeriods(0), (DayPeriods{{23 * kHour, kLastSecond, kTypeNormal}, {0, kLastSecond, kTypeAlarm}}));

    // Runs ending at the same second come in the same order.
    store.setDayPeriods(2, {{100, 199, kTypeAlarm}, {150, 199, kTypeNormal}});
    EXPECT_EQ(store.dayPeriods(2), (DayPeriods{{0, 99, kTypeNone},
                                               {150, 199, kTypeNormal},
                                               {100, 199, kTypeAlarm},
                                               {200, kLastSecond, kTypeNone}}));
}

TEST(ScheduleStore, SetDayPeriodsOrsTypesAndSkipsPeriodsOutsideTheDay)
{
    ScheduleStore store;
    EXPECT_FALSE(store.setDayPeriods(4, {{100, 200, kTypeNormal}, {-1, 5, kTypeAlarm}, {10, 86400, kTypeAlarm},
                                         {50, 40, kTypeAlarm}}));
    EXPECT_EQ(recordingRuns(store, 4), (DayPeriods{{100, 200, kTypeNormal}}));
    EXPECT_FALSE(store.setDayPeriods(7, {}));
    EXPECT_FALSE(store.setDayPeriods(-1, {}));
    // A later call replaces the day.
    EXPECT_TRUE(store.setDayPeriods(4, {}));
    EXPECT_EQ(store.recordingPeriodCount(4), 0);
}

TEST(ScheduleStore, ApplyingCellsPaintsWholeColumnsOfEachCoveredDay)
{
    ScheduleStore store;
    // Columns 16..20 (08:00-10:30) of Monday and Tuesday.
    ASSERT_TRUE(store.applyCells({16, 1, 21, 3}, 48, kTypeNormal));
    for (int day : {1, 2})
        EXPECT_EQ(recordingRuns(store, day), (DayPeriods{{8 * kHour, 10 * kHour + 1799, kTypeNormal}})) << day;
    EXPECT_EQ(store.recordingPeriodCount(0), 0);
    EXPECT_EQ(store.recordingPeriodCount(3), 0);

    // Painting writes whole values: alarm over normal replaces it.
    ASSERT_TRUE(store.applyCells({18, 1, 19, 2}, 48, kTypeAlarm));
    EXPECT_EQ(store.at(1, 9 * kHour), kTypeAlarm);
    EXPECT_EQ(store.recordingPeriodCount(1), 3);

    // An empty span and spans outside the grid change nothing.
    const ScheduleStore before = store;
    EXPECT_TRUE(store.applyCells({5, 1, 5, 3}, 48, kTypeAlarm));
    EXPECT_TRUE(store.applyCells({48, 0, 60, 7}, 48, kTypeAlarm));
    EXPECT_EQ(store.dayPeriods(1), before.dayPeriods(1));
}

TEST(ScheduleStore, PaintingNoneSplitsAPeriod)
{
    ScheduleStore store;
    store.setDayPeriods(3, {{8 * kHour, 12 * kHour - 1, kTypeNormal}});
    ASSERT_TRUE(store.applyCells({20, 3, 21, 4}, 48, kTypeNone));  // 10:00-10:30
    EXPECT_EQ(recordingRuns(store, 3),
              (DayPeriods{{8 * kHour, 10 * kHour - 1, kTypeNormal}, {10 * kHour + 1800, 12 * kHour - 1, kTypeNormal}}));
}

TEST(ScheduleStore, ASpanThatWouldMakeANinthPeriodIsRefusedWhole)
{
    ScheduleStore store;
    // Eight one-cell periods on Wednesday, in every other column from 0.
    for (int c = 0; c < 16; c += 2)
        ASSERT_TRUE(store.applyCells({c, 3, c + 1, 4}, 48, kTypeNormal));
    ASSERT_EQ(store.recordingPeriodCount(3), 8);
    const ScheduleStore before = store;

    // A ninth on Wednesday, together with Thursday: neither day changes.
    EXPECT_FALSE(store.applyCells({30, 3, 31, 5}, 48, kTypeAlarm));
    EXPECT_EQ(store.dayPeriods(3), before.dayPeriods(3));
    EXPECT_EQ(store.recordingPeriodCount(4), 0);

    // Splitting one of them with "none" would make nine: refused too.
    store.setDayPeriods(6, {{0, 4 * 1800 - 1, kTypeNormal}});
    for (int c = 6; c < 20; c += 2)
        ASSERT_TRUE(store.applyCells({c, 6, c + 1, 7}, 48, kTypeNormal));
    ASSERT_EQ(store.recordingPeriodCount(6), 8);
    EXPECT_FALSE(store.applyCells({1, 6, 2, 7}, 48, kTypeNone));
    EXPECT_EQ(store.recordingPeriodCount(6), 8);

    // Joining two of them is fine.
    EXPECT_TRUE(store.applyCells({0, 3, 3, 4}, 48, kTypeNormal));
    EXPECT_EQ(store.recordingPeriodCount(3), 7);
}
