// SPDX-License-Identifier: GPL-3.0-or-later
#include "ControlFixture.h"
#include "widgets/LanguageTable.h"

#include <thread>

TEST(LanguageTable, HoldsTheFiftyFourDefaultsInOrder)
{
    const auto& defaults = LanguageTable::defaults();
    ASSERT_EQ(defaults.size(), 54u);
    EXPECT_EQ(defaults.front().first, QStringLiteral("IE_Open"));
    EXPECT_EQ(defaults[17].first, QStringLiteral("STR_CH"));
    EXPECT_EQ(defaults[26].second, QStringLiteral("Sorry,Unkown error!"));
    EXPECT_EQ(defaults.back().first, QStringLiteral("IE_ViewWindowMode"));

    LanguageTable table;
    EXPECT_EQ(table.size(), 54u);  // no key is listed twice
    for (const auto& [key, text] : defaults)
        EXPECT_EQ(table.lookup(key), text) << key.toStdString();
    EXPECT_EQ(table.lookup(QStringLiteral("IE_FullScreem")), QStringLiteral("Full screen"));
    EXPECT_EQ(table.lookup(QStringLiteral("STR_Four screen")), QStringLiteral("Quad"));
}

TEST(LanguageTable, LookupOfAMissingKeyAddsItEmptyWhileReplaceNeverAdds)
{
    LanguageTable table;
    EXPECT_FALSE(table.replace(QStringLiteral("NO_SUCH_KEY"), QStringLiteral("x")));
    EXPECT_FALSE(table.contains(QStringLiteral("NO_SUCH_KEY")));
    EXPECT_EQ(table.size(), 54u);

    EXPECT_EQ(table.lookup(QStringLiteral("NO_SUCH_KEY")), QString());
    EXPECT_TRUE(table.contains(QStringLiteral("NO_SUCH_KEY")));
    EXPECT_EQ(table.size(), 55u);
    EXPECT_TRUE(table.replace(QStringLiteral("NO_SUCH_KEY"), QStringLiteral("now here")));
    EXPECT_EQ(table.lookup(QStringLiteral("NO_SUCH_KEY")), QStringLiteral("now here"));
}

TEST(LanguageTable, LookupsFromSeveralThreadsAddEachKeyOnce)
{
    LanguageTable table;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&table] {
            for (int i = 0; i < 200; ++i)
                table.lookup(QStringLiteral("KEY_%1").arg(i % 50));
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(table.size(), 54u + 50u);
}

using SetLanguageString = ControlFixture;

TEST_F(SetLanguageString, ReplacesExistingKeysCaseSensitively)
{
    EXPECT_EQ(control->SetLanguageString(0, QStringLiteral("IE_Open"), QStringLiteral("Ouverture")), 0u);
    EXPECT_EQ(control->languageTable()->lookup(QStringLiteral("IE_Open")), QStringLiteral("Ouverture"));
    EXPECT_EQ(control->SetLanguageString(7, QStringLiteral("ie_open"), QStringLiteral("x")), 2u);
    EXPECT_EQ(control->SetLanguageString(7, QStringLiteral("NOPE"), QStringLiteral("x")), 2u);
    EXPECT_FALSE(control->languageTable()->contains(QStringLiteral("NOPE")));

    // An empty text is a text like any other.
    EXPECT_EQ(control->SetLanguageString(0, QStringLiteral("STR_OK"), QString()), 0u);
    EXPECT_EQ(control->languageTable()->lookup(QStringLiteral("STR_OK")), QString());

    // Once a window looked a key up, the page may replace it.
    control->languageTable()->lookup(QStringLiteral("IE_Later"));
    EXPECT_EQ(control->SetLanguageString(0, QStringLiteral("IE_Later"), QStringLiteral("y")), 0u);
}
