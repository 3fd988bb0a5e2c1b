// SPDX-License-Identifier: GPL-3.0-or-later
// What a schedule says about recording at given local times, and the
// recording options of the command line.
#include "RecorderOptions.h"
#include "RecordingPlan.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace velk::recorder;

namespace {

RecordingPlan planOf(const std::string& text)
{
    const auto plan = RecordingPlan::fromScheduleText(text);
    EXPECT_TRUE(plan) << text;
    return plan.value_or(RecordingPlan{});
}

ParseOutcome parse(std::vector<std::string> args, RecorderOptions& options, std::string& message)
{
    args.insert(args.begin(), "velk-recorder");
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    return parseOptions(static_cast<int>(argv.size()), argv.data(), options, message);
}

}  // namespace

TEST(RecordingPlan, NormalAndAlarmPeriodsOfMode1)
{
    // Monday: normal 08:00-12:00, alarm 12:00:00-23:59:59; Sunday: alarm all day.
    const auto plan = planOf("[[{\"E\":86399,\"S\":0,\"T\":1}],[{\"E\":43199,\"S\":28800,\"T\":0},"
                             "{\"E\":86399,\"S\":43200,\"T\":1}],null,null,null,null,null]");
    EXPECT_FALSE(plan.empty());
    struct Case {
        int weekday;
        int second;
        bool alarm;
        std::optional<RecordType> want;
    } cases[] = {
        {1, 28799, false, std::nullopt},        {1, 28800, false, RecordType::Normal},
        {1, 28800, true, RecordType::Normal},   {1, 43199, false, RecordType::Normal},
        {1, 43200, false, std::nullopt},        {1, 43200, true, RecordType::Alarm},
        {1, 86399, true, RecordType::Alarm},    {0, 0, true, RecordType::Alarm},
        {0, 0, false, std::nullopt},            {2, 50000, true, std::nullopt},
        {6, 86399, true, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(plan.decide(LocalMoment{c.weekday, c.second}, c.alarm), c.want)
            << "day " << c.weekday << " second " << c.second << " alarm " << c.alarm;
}

TEST(RecordingPlan, Mode0PeriodsAreAlarmPeriodsAndOverlapPrefersAlarm)
{
    const auto mode0 = planOf("[null,null,null,[{\"E\":3600,\"S\":0}],null,null,null]");
    EXPECT_EQ(mode0.decide(LocalMoment{3, 100}, false), std::nullopt);
    EXPECT_EQ(mode0.decide(LocalMoment{3, 100}, true), RecordType::Alarm);

    const auto overlap = planOf("[null,null,null,null,null,[{\"E\":7200,\"S\":0,\"T\":0},"
                                "{\"E\":3600,\"S\":1800,\"T\":1}],null]");
    EXPECT_EQ(overlap.decide(LocalMoment{5, 2000}, false), RecordType::Normal);
    EXPECT_EQ(overlap.decide(LocalMoment{5, 2000}, true), RecordType::Alarm);
    EXPECT_EQ(overlap.decide(LocalMoment{5, 5000}, true), RecordType::Normal);

    EXPECT_TRUE(planOf("[null,null,null,null,null,null,null]").empty());
    EXPECT_FALSE(RecordingPlan::fromScheduleText("[null]"));
    EXPECT_FALSE(RecordingPlan::fromScheduleText("not json"));
}

TEST(RecordingPlan, LocalMomentFollowsTheTimeZone)
{
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    // 2026-12-08 (a Tuesday) 10:15:00 UTC
    const std::int64_t t = 1796724900000;
    ::setenv("TZ", "UTC0", 1);
    ::tzset();
    auto m = localMomentOf(t);
    EXPECT_EQ(m.weekday, 2);
    EXPECT_EQ(m.secondOfDay, 10 * 3600 + 15 * 60);
    ::setenv("TZ", "XYZ-15", 1);  // 01:15 on Wednesday
    ::tzset();
    m = localMomentOf(t);
    EXPECT_EQ(m.weekday, 3);
    EXPECT_EQ(m.secondOfDay, 3600 + 15 * 60);
    if (old)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

TEST(RecordingOptions, DefaultsValuesAndRefusals)
{
    RecorderOptions o;
    std::string message;
    ASSERT_EQ(parse({}, o, message), ParseOutcome::Run);
    EXPECT_EQ(o.segmentSeconds, 300u);
    EXPECT_EQ(o.preAlarmSeconds, 5u);
    EXPECT_EQ(o.postAlarmSeconds, 10u);
    EXPECT_EQ(o.retainHours, 168u);
    EXPECT_EQ(o.retainBytes, 2ULL << 30);

    ASSERT_EQ(parse({"--segment-seconds", "2", "--pre-alarm-seconds=0", "--post-alarm-seconds", "3600",
                     "--retain-hours", "1", "--retain-bytes", "300K"},
                    o, message),
              ParseOutcome::Run)
        << message;
    EXPECT_EQ(o.segmentSeconds, 2u);
    EXPECT_EQ(o.preAlarmSeconds, 0u);
    EXPECT_EQ(o.postAlarmSeconds, 3600u);
    EXPECT_EQ(o.retainHours, 1u);
    EXPECT_EQ(o.retainBytes, 300u * 1024);

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--segment-seconds", "0"}, {"--segment-seconds", "3601"},
          {"--pre-alarm-seconds", "61"}, {"--post-alarm-seconds", "-1"}, {"--retain-hours", "0"},
          {"--retain-bytes", "0"}, {"--retain-bytes", "12T"}, {"--retain-bytes", "G"}, {"--retain-bytes", "1.5G"}}) {
        RecorderOptions options;
        EXPECT_EQ(parse(bad, options, message), ParseOutcome::Error) << bad[0] << " " << bad[1];
    }
}

TEST(RecordingOptions, ByteSizes)
{
    EXPECT_EQ(parseByteSize("123"), 123u);
    EXPECT_EQ(parseByteSize("64k"), 64u << 10);
    EXPECT_EQ(parseByteSize("500M"), 500ULL << 20);
    EXPECT_EQ(parseByteSize("2G"), 2ULL << 30);
    EXPECT_FALSE(parseByteSize(""));
    EXPECT_FALSE(parseByteSize("99999999999999999999"));
    EXPECT_FALSE(parseByteSize("17179869184G"));  // overflows 64 bits
}
