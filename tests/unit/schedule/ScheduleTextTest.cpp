// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule text in both directions, its rules, and a fuzzed loader.
#include "schedule/ScheduleStore.h"
#include "schedule/ScheduleText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

using namespace schedule;

namespace {

constexpr const char* kEmptyWeek = "[null,null,null,null,null,null,null]";

bool load(std::string_view text, int mode, ScheduleStore& store)
{
    WeekPeriods week;
    if (!parseScheduleText(text, mode, week))
        return false;
    for (int d = 0; d < kDays; ++d)
        store.setDayPeriods(d, week[static_cast<std::size_t>(d)]);
    return true;
}

}  // namespace

TEST(ScheduleText, EmptyStoreIsSevenNulls)
{
    ScheduleStore store;
    EXPECT_EQ(writeScheduleText(store, kModeAlarmOnly), kEmptyWeek);
    EXPECT_EQ(writeScheduleText(store, kModeTyped), kEmptyWeek);
}

TEST(ScheduleText, MondayMorningInModeOneIsWrittenCompactWithSortedKeys)
{
    ScheduleStore store;
    store.setDayPeriods(1, {{8 * 3600, 12 * 3600 - 1, kTypeNormal}});
    EXPECT_EQ(writeScheduleText(store, kModeTyped), "[null,[{\"E\":43199,\"S\":28800,\"T\":0}],null,null,null,null,null]");
    EXPECT_EQ(writeScheduleText(store, kModeAlarmOnly), "[null,[{\"E\":43199,\"S\":28800}],null,null,null,null,null]");
}

TEST(ScheduleText, RoundTripsInBothModes)
{
    const std::string typed =
        "[[{\"E\":3599,\"S\":0,\"T\":1}],null,[{\"E\":7199,\"S\":3600,\"T\":0},{\"E\":9000,\"S\":5000,\"T\":1}],"
        "null,null,null,[{\"E\":86399,\"S\":86000,\"T\":0}]]";
    ScheduleStore store;
    ASSERT_TRUE(load(typed, kModeTyped, store));
    EXPECT_EQ(writeScheduleText(store, kModeTyped), typed);

    const std::string alarms = "[null,null,null,[{\"E\":100,\"S\":0},{\"E\":86399,\"S\":200}],null,null,null]";
    ScheduleStore alarmStore;
    ASSERT_TRUE(load(alarms, kModeAlarmOnly, alarmStore));
    EXPECT_EQ(alarmStore.at(3, 50), kTypeAlarm);
    EXPECT_EQ(writeScheduleText(alarmStore, kModeAlarmOnly), alarms);
}

TEST(ScheduleText, TheShortestPeriodsSurviveLoadAndSaveUnchanged)
{
    // 10:00:00 to 10:00:01 (the shortest period the dialog accepts), single
    // seconds at both ends of the day and at 10:00:00, and a one-second
    // alarm right after a normal period: nothing is lost, merged or widened.
    const std::string typed =
        "[[{\"E\":0,\"S\":0,\"T\":0}],[{\"E\":36001,\"S\":36000,\"T\":0}],"
        "[{\"E\":36000,\"S\":36000,\"T\":1}],[{\"E\":36001,\"S\":36000,\"T\":0},{\"E\":36002,\"S\":36002,\"T\":1}],"
        "null,null,[{\"E\":86399,\"S\":86399,\"T\":1}]]";
    ScheduleStore store;
    ASSERT_TRUE(load(typed, kModeTyped, store));
    EXPECT_EQ(writeScheduleText(store, kModeTyped), typed);
    EXPECT_EQ(store.at(1, 35999), kTypeNone);
    EXPECT_EQ(store.at(1, 36000), kTypeNormal);
    EXPECT_EQ(store.at(1, 36001), kTypeNormal);
    EXPECT_EQ(store.at(1, 36002), kTypeNone);
    EXPECT_EQ(store.recordingPeriodCount(3), 2);

    const std::string alarms = "[null,[{\"E\":36001,\"S\":36000}],null,null,null,null,null]";
    ScheduleStore alarmStore;
    ASSERT_TRUE(load(alarms, kModeAlarmOnly, alarmStore));
    EXPECT_EQ(writeScheduleText(alarmStore, kModeAlarmOnly), alarms);

    // Painting another cell of the day keeps the short period.
    ASSERT_TRUE(store.applyCells({30, 1, 31, 2}, 48, kTypeAlarm));  // 15:00-15:29:59 on Monday
    const DayPeriods monday = store.dayPeriods(1);
    EXPECT_NE(std::find(monday.begin(), monday.end(), SchedulePeriod{36000, 36001, kTypeNormal}), monday.end());
    EXPECT_NE(std::find(monday.begin(), monday.end(), SchedulePeriod{54000, 55799, kTypeAlarm}), monday.end());
}

TEST(ScheduleText, ReadsNumericStringsFractionsAndEmptyArrays)
{
    ScheduleStore store;
    // Strings by their leading digits, in mode 0 an alarm period 01:00:00-01:59:59.
    ASSERT_TRUE(load("[[],[{\"S\":\"3600\",\"E\":\"7199 s\"}],null,[],[],[],[]]", kModeAlarmOnly, store));
    EXPECT_EQ(store.dayPeriods(1)[1], (SchedulePeriod{3600, 7199, kTypeAlarm}));
    // Fractions cut towards zero; mode 0 ignores "T" whatever it holds.
    ASSERT_TRUE(load("[[{\"S\":10.9,\"E\":20.2,\"T\":{}}],null,null,null,null,null,null]", kModeAlarmOnly, store));
    EXPECT_EQ(store.dayPeriods(0)[1], (SchedulePeriod{10, 20, kTypeAlarm}));
    // Mode 1: "T" as a string, and a missing "T" means normal.
    ASSERT_TRUE(load("[[{\"S\":0,\"E\":9,\"T\":\"1\"},{\"S\":20,\"E\":29}],null,null,null,null,null,null]", kModeTyped,
                     store));
    EXPECT_EQ(writeScheduleText(store, kModeTyped),
              "[[{\"E\":9,\"S\":0,\"T\":1},{\"E\":29,\"S\":20,\"T\":0}],null,null,null,null,null,null]");
}

TEST(ScheduleText, SevenEmptyArraysClearTheWeek)
{
    ScheduleStore store;
    store.setDayPeriods(2, {{0, 100, kTypeNormal}});
    ASSERT_TRUE(load("[[],[],[],[],[],[],[]]", kModeTyped, store));
    EXPECT_EQ(writeScheduleText(store, kModeTyped), kEmptyWeek);
}

TEST(ScheduleText, RefusesTextsThatBreakTheRules)
{
    const char* bad[] = {
        "",
        "not json",
        "[null,null,null,null,null,null]",                 // six days
        "[null,null,null,null,null,null,null,null]",       // eight days
        "{\"0\":null}",                                    // not an array
        "[null,null,null,null,null,null,null] x",          // something after it
        "[null,null,null,null,null,null,null,]",           // a trailing comma
        "[null,null,null,null,null,null,null] // note",    // a comment
        "[[{\"S\":1,\"S\":2,\"E\":3}],null,null,null,null,null,null]",  // a key twice
        "[{},null,null,null,null,null,null]",              // a day that is an object
        "[5,null,null,null,null,null,null]",
        "[[5],null,null,null,null,null,null]",             // a period that is not an object
        "[[{\"S\":0}],null,null,null,null,null,null]",     // no end
        "[[{\"E\":0}],null,null,null,null,null,null]",     // no start
        "[[{\"S\":-1,\"E\":5}],null,null,null,null,null,null]",
        "[[{\"S\":0,\"E\":86400}],null,null,null,null,null,null]",
        "[[{\"S\":\"-3\",\"E\":5}],null,null,null,null,null,null]",
        "[[{\"S\":500,\"E\":499}],null,null,null,null,null,null]",  // ends before it starts
        "[[{\"S\":0,\"E\":true}],null,null,null,null,null,null]",
        "[[{\"S\":[1],\"E\":2}],null,null,null,null,null,null]",
        "[[{\"S\":1e300,\"E\":2}],null,null,null,null,null,null]",
        "[[{\"S\":0,\"E\":99999999999999999999999}],null,null,null,null,null,null]",
        "[[{\"S\":\"99999999999999999999999\",\"E\":1}],null,null,null,null,null,null]",
        "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]",
    };
    for (const char* text : bad) {
        WeekPeriods week;
        week[0] = {{1, 2, kTypeAlarm}};
        EXPECT_FALSE(parseScheduleText(text, kModeTyped, week)) << text;
        EXPECT_EQ(week[0].size(), 1u) << "changed by a refused text: " << text;
    }
    // Mode 1 only: a type other than 0 or 1.
    const char* badType = "[[{\"S\":0,\"E\":5,\"T\":2}],null,null,null,null,null,null]";
    WeekPeriods week;
    EXPECT_FALSE(parseScheduleText(badType, kModeTyped, week));
    EXPECT_TRUE(parseScheduleText(badType, kModeAlarmOnly, week));
}

TEST(ScheduleText, EightPeriodsOnADayAreReadANinthIsRefused)
{
    std::string day;
    for (int i = 0; i < 9; ++i) {
        if (i)
            day += ",";
        day += "{\"S\":" + std::to_string(i * 1000 + 10) + ",\"E\":" + std::to_string(i * 1000 + 500) + "}";
    }
    const std::string nine = "[null,null,null,null,null,[" + day + "],null]";
    WeekPeriods week;
    EXPECT_FALSE(parseScheduleText(nine, kModeAlarmOnly, week));

    const std::string eight = "[null,null,null,null,null,[" + day.substr(0, day.rfind(",{")) + "],null]";
    ASSERT_TRUE(parseScheduleText(eight, kModeAlarmOnly, week));
    EXPECT_EQ(week[5].size(), 8u);
}

TEST(ScheduleText, ADayOfSeventeenRunsIsWrittenWhole)
{
    // Eight periods with gaps between them and at both ends: 8 recording
    // runs and 9 zero runs.
    ScheduleStore store;
    DayPeriods periods;
    for (int i = 0; i < 8; ++i)
        periods.push_back({1000 + i * 10000, 2000 + i * 10000, kTypeNormal});
    store.setDayPeriods(4, periods);
    ASSERT_EQ(store.dayPeriods(4).size(), 17u);

    WeekPeriods week;
    ASSERT_TRUE(parseScheduleText(writeScheduleText(store, kModeTyped), kModeTyped, week));
    EXPECT_EQ(week[4], periods);
}

TEST(ScheduleText, FuzzedTextsNeverCrashAndOnlyGiveValidPeriods)
{
    const std::string seed =
        "[[{\"E\":3599,\"S\":0,\"T\":1}],null,[{\"E\":\"7199\",\"S\":3600,\"T\":0},{\"E\":9000,\"S\":5000}],"
        "[],null,null,[{\"E\":86399,\"S\":86000,\"T\":0}]]";
    const std::string alphabet = "[]{}\",:0123456789-+.eE SETnul\\x";
    std::mt19937 random(20240611u);
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string text = seed;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            const std::size_t at = random() % text.size();
            switch (random() % 3) {
            case 0:
                text[at] = alphabet[random() % alphabet.size()];
                break;
            case 1:
                text.erase(at, 1 + random() % 3);
                break;
            default:
                text.insert(at, 1, static_cast<char>(random() % 256));
                break;
            }
        }
        for (const int mode : {kModeAlarmOnly, kModeTyped}) {
            WeekPeriods week;
            if (!parseScheduleText(text, mode, week))
                continue;
            ++accepted;
            for (const DayPeriods& day : week) {
                ASSERT_LE(day.size(), 8u) << text;
                for (const SchedulePeriod& p : day) {
                    ASSERT_GE(p.startSecond, 0) << text;
                    ASSERT_LE(p.startSecond, p.endSecond) << text;
                    ASSERT_LE(p.endSecond, kLastSecond) << text;
                    ASSERT_TRUE(p.type == kTypeNormal || p.type == kTypeAlarm) << text;
                }
            }
        }
    }
    EXPECT_GT(accepted, 0);  // the mutations also reach the period rules
}
