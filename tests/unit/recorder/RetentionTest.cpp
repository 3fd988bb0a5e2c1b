// SPDX-License-Identifier: GPL-3.0-or-later
// Which segments the retention limits delete.
#include "Retention.h"

#include <gtest/gtest.h>

using namespace velk::recorder;

namespace {
constexpr std::int64_t kHour = 3600 * 1000;
constexpr std::int64_t kNow = 1796724900000;
}  // namespace

TEST(Retention, OldestFinishedFirstUntilSizeHolds)
{
    // Given out of order; the third is oldest.
    const std::vector<RetentionItem> items = {
        {kNow - 3 * kHour, kNow - 2 * kHour, 100, true},
        {kNow - 2 * kHour, kNow - 1 * kHour, 100, true},
        {kNow - 4 * kHour, kNow - 3 * kHour, 100, true},
        {kNow - 1 * kHour, kNow, 100, false},  // being recorded
    };
    for (const auto& [maxBytes, expected] :
         std::vector<std::pair<std::uint64_t, std::vector<std::size_t>>>{
             {400, {}}, {399, {2}}, {300, {2}}, {250, {2, 0}}, {100, {2, 0, 1}}, {0, {2, 0, 1}}}) {
        RetentionLimits limits;
        limits.maxBytes = maxBytes;
        EXPECT_EQ(chooseExpired(items, kNow, limits), expected) << maxBytes;
    }
}

TEST(Retention, TooOldGoesWhateverTheSize)
{
    const std::vector<RetentionItem> items = {
        {kNow - 50 * kHour, kNow - 49 * kHour, 10, true},
        {kNow - 48 * kHour, kNow - 47 * kHour, 10, true},
        {kNow - 49 * kHour, kNow - 47 * kHour, 10, false},  // still recorded: kept
        {kNow - 2 * kHour, kNow - 1 * kHour, 10, true},
    };
    RetentionLimits limits;
    limits.maxAgeMs = 48 * kHour;
    EXPECT_EQ(chooseExpired(items, kNow, limits), (std::vector<std::size_t>{0}));
    limits.maxAgeMs = 47 * kHour - 1;
    EXPECT_EQ(chooseExpired(items, kNow, limits), (std::vector<std::size_t>{0, 1}));
    limits.maxAgeMs = kHour / 2;
    EXPECT_EQ(chooseExpired(items, kNow, limits), (std::vector<std::size_t>{0, 1, 3}));
}
