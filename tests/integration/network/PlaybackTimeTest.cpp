// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlaybackTime.h"

#include <gtest/gtest.h>

namespace velk::tovr {
namespace {

TEST(PlaybackTime, TextsAreRealDateTimesOfFourteenDigits)
{
    for (const char* text : {"20261208101500", "20240229235959", "20000229000000", "19700101000000", "99991231235959"})
        EXPECT_TRUE(isPlaybackTimeText(text)) << text;
    for (const char* text : {"", "2026120810150", "202612081015000", "20261308101500", "20261200101500",
                             "20261232101500", "20230229101500", "19000229101500", "20261208241500", "20261208106000",
                             "20261208101560", "2026120810150a", "-2026120810150", "19691231235959", "2026 208101500"})
        EXPECT_FALSE(isPlaybackTimeText(text)) << text;
}

TEST(PlaybackTime, FrameTimesAreFormattedInTheRecordersLocalTime)
{
    // 2026-12-08 10:15:00.750 UTC.
    constexpr std::uint64_t kMs = 1'796'724'900'750ull;
    EXPECT_EQ(playbackTimeText(kMs, 0), "20261208101500");
    EXPECT_EQ(playbackTimeText(kMs, 2 * 3600), "20261208121500");
    EXPECT_EQ(playbackTimeText(kMs, -11 * 3600), "20261207231500");   // the day before
    EXPECT_EQ(playbackTimeText(kMs, 5 * 3600 + 1800), "20261208154500");
    EXPECT_EQ(playbackTimeText(kMs, 14 * 3600), "20261209001500");  // the day after
    // New Year's Eve in UTC, the new year locally.
    EXPECT_EQ(playbackTimeText(1'798'761'599'999ull, 3600), "20270101005959");
}

}  // namespace
}  // namespace velk::tovr
