// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's side of the schedule: the rules a stored text keeps, its
// canonical form, and the per-channel files.
#include "ChannelScheduleStore.h"
#include "ScheduleRules.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

using namespace velk::recorder;

TEST(RecorderScheduleRules, CanonicalFormIsCompactSortedWithNumbers)
{
    std::string canonical;
    std::string error;
    ASSERT_TRUE(normaliseScheduleText(
        " [ [], [ {\"T\":\"0\", \"S\":\"28800\", \"E\":43199.0} ], null,[],[],[],[{\"S\":0,\"E\":5}] ] ", canonical,
        error))
        << error;
    EXPECT_EQ(canonical, "[null,[{\"E\":43199,\"S\":28800,\"T\":0}],null,null,null,null,[{\"E\":5,\"S\":0}]]");
    EXPECT_EQ(emptyScheduleText(), "[null,null,null,null,null,null,null]");
}

TEST(RecorderScheduleRules, RefusesWhatTheControlRefuses)
{
    const char* bad[] = {
        "",
        "[null,null,null,null,null,null]",
        "[[{\"S\":0,\"E\":86400}],null,null,null,null,null,null]",
        "[[{\"S\":10,\"E\":9}],null,null,null,null,null,null]",
        "[[{\"S\":0,\"E\":9,\"T\":2}],null,null,null,null,null,null]",
        "[[{\"S\":0}],null,null,null,null,null,null]",
        "[[1,2,3,4,5,6,7,8,9],null,null,null,null,null,null]",
        "[[{\"S\":0,\"E\":1},{\"S\":0,\"E\":1},{\"S\":0,\"E\":1},{\"S\":0,\"E\":1},{\"S\":0,\"E\":1},{\"S\":0,\"E\":1},"
        "{\"S\":0,\"E\":1},{\"S\":0,\"E\":1},{\"S\":0,\"E\":1}],null,null,null,null,null,null]",
    };
    for (const char* text : bad) {
        std::string canonical;
        std::string error;
        EXPECT_FALSE(normaliseScheduleText(text, canonical, error)) << text;
        EXPECT_FALSE(error.empty());
    }
    std::string canonical;
    std::string error;
    const std::string tooLong = "[null,null,null,null,null,null,null]" + std::string(4060, ' ');
    EXPECT_FALSE(normaliseScheduleText(tooLong, canonical, error));
    EXPECT_TRUE(normaliseScheduleText(tooLong.substr(0, 4095), canonical, error));
}

TEST(RecorderScheduleStore, EmptyWeekUntilSavedThenTheSavedText)
{
    QTemporaryDir data;
    const ChannelScheduleStore store(data.path().toStdString());
    std::string error;
    EXPECT_EQ(store.load(3, error).value_or("?"), emptyScheduleText());

    const std::string text = "[[{\"E\":100,\"S\":0}],null,null,null,null,null,null]";
    ASSERT_TRUE(store.save(3, text, error)) << error;
    EXPECT_EQ(store.load(3, error).value_or("?"), text);
    EXPECT_EQ(store.load(4, error).value_or("?"), emptyScheduleText());
    EXPECT_EQ(store.fileOf(3).filename(), "channel-3.json");
    EXPECT_FALSE(std::filesystem::exists(store.fileOf(3).string() + ".tmp"));

    // A damaged file is reported, not served as a schedule.
    std::ofstream(store.fileOf(5)) << "[garbage";
    EXPECT_FALSE(store.load(5, error));
    EXPECT_NE(error.find("damaged"), std::string::npos);
}
