// SPDX-License-Identifier: GPL-3.0-or-later
// Record spans: the pixels a span fills in a row, the row index that finds
// the spans in view, and the raster that turns them into fills.
#include "playback/TimelineSpans.h"

#include "playback/TimelineScale.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using platform::DateTime;
using timeline::RowView;
using timeline::Span;
using timeline::TimelineRow;

namespace {

const std::int64_t kDay = timeline::epochSeconds(DateTime::fromParts(2024, 3, 15));

std::int64_t at(int hour, int minute, int second)
{
    return kDay + hour * 3600 + minute * 60 + second;
}

// A channel row of a 960-pixel timeline (rows 30..930, the row one pixel
// wider each side) showing a view from `start` at a level.
RowView rowView(int level, std::int64_t start, int clientWidth = 960)
{
    timeline::TimelineScale s(DateTime::fromParts(2024, 3, 15));
    s.setClientWidth(clientWidth);
    s.setLevel(level);
    RowView v;
    v.rect = {s.margin() - 1, 50, clientWidth - s.margin() + 1, 62};
    v.viewStart = start;
    v.viewEnd = start + s.rulerSeconds() - 1;
    v.pixelsPerSecond = s.pixelsPerSecond();
    return v;
}

// Every span of a row overlapping the view, by looking at each.
std::vector<const Span*> plainScan(const TimelineRow& row, std::int64_t from, std::int64_t to)
{
    std::vector<const Span*> out;
    for (const Span& s : row.spans()) {
        if (s.start <= to && s.end >= from)
            out.push_back(&s);
    }
    return out;
}

}  // namespace

TEST(TimelineSpansTest, EpochSecondsDifferAsSecondsBetween)
{
    const DateTime a = DateTime::fromParts(2024, 3, 15, 6, 0, 0);
    const DateTime b = DateTime::fromParts(2024, 3, 17, 1, 2, 3);
    EXPECT_EQ(timeline::epochSeconds(b) - timeline::epochSeconds(a), platform::secondsBetween(a, b));
    const DateTime old = DateTime::fromParts(1890, 1, 1, 12, 0, 0);  // before the epoch
    EXPECT_EQ(timeline::epochSeconds(a) - timeline::epochSeconds(old), platform::secondsBetween(old, a));
}

TEST(TimelineSpansTest, AFewSecondsAtTheWholeDayAreOnePixel)
{
    const RowView v = rowView(0, at(0, 0, 0));
    for (const int length : {0, 3, 59, 600}) {  // 600 s is about 6 pixels: still thin
        int x1 = 0;
        int x2 = 0;
        ASSERT_TRUE(timeline::spanColumns(v, {at(10, 0, 0), at(10, 0, 0) + length, 0}, x1, x2));
        EXPECT_EQ(x2 - x1, 1) << length;
        EXPECT_EQ(x1, static_cast<int>(v.rect.left + 36000 * v.pixelsPerSecond + 1));
    }
}

TEST(TimelineSpansTest, SpansOverEightPixelsKeepTheirWidth)
{
    const RowView v = rowView(7, at(12, 0, 0));  // 5 minutes: 3 pixels a second
    int x1 = 0;
    int x2 = 0;
    ASSERT_TRUE(timeline::spanColumns(v, {at(12, 1, 0), at(12, 1, 2), 0}, x1, x2));  // 6 pixels
    EXPECT_EQ(x2 - x1, 1);
    ASSERT_TRUE(timeline::spanColumns(v, {at(12, 1, 0), at(12, 1, 3), 0}, x1, x2));  // 9 pixels
    EXPECT_EQ(x2 - x1, 9);
    EXPECT_EQ(x1, v.rect.left + 180 + 1);
}

TEST(TimelineSpansTest, SpanStartingBeforeTheViewStartsAtTheRowLeft)
{
    for (const int level : {1, 4, 7}) {
        const RowView v = rowView(level, at(8, 0, 0));
        int x1 = 0;
        int x2 = 0;
        ASSERT_TRUE(timeline::spanColumns(v, {at(7, 0, 0), at(8, 0, 0) + 100, 1}, x1, x2));
        EXPECT_EQ(x1, v.rect.left) << level;
        EXPECT_EQ(x2, static_cast<int>(v.rect.left + 100 * v.pixelsPerSecond + 1)) << level;
        // One that runs past the view ends at the row's right.
        ASSERT_TRUE(timeline::spanColumns(v, {at(7, 0, 0), at(23, 0, 0), 1}, x1, x2));
        EXPECT_EQ(x1, v.rect.left);
        EXPECT_EQ(x2, v.rect.right);
    }
}

TEST(TimelineSpansTest, SpanAtOrBeyondTheRowRightIsSkipped)
{
    const RowView v = rowView(4, at(8, 0, 0));  // one hour
    int x1 = 0;
    int x2 = 0;
    // 09:00:00 is the row's last column (its right frame); four seconds on is past it.
    EXPECT_TRUE(timeline::spanColumns(v, {at(9, 0, 0), at(9, 30, 0), 0}, x1, x2));
    EXPECT_EQ(x1, v.rect.right - 1);
    EXPECT_FALSE(timeline::spanColumns(v, {at(9, 0, 4), at(9, 30, 0), 0}, x1, x2));
    EXPECT_FALSE(timeline::spanColumns(v, {at(10, 0, 0), at(10, 1, 0), 0}, x1, x2));
    // Thin, just before the view, drawn one pixel left of the row: nothing left.
    EXPECT_FALSE(timeline::spanColumns(v, {at(7, 59, 50), at(7, 59, 55), 0}, x1, x2));
}

TEST(TimelineSpansTest, RowKeepsOneRunPerAscendingStretch)
{
    TimelineRow row;
    for (int channel = 0; channel < 3; ++channel) {
        for (int i = 0; i < 50; ++i)
            row.add({at(0, 0, 0) + i * 1000, at(0, 0, 0) + i * 1000 + 500, 0});
    }
    EXPECT_EQ(row.size(), 150u);
    EXPECT_EQ(row.runCount(), 3u);
    row.clear();
    EXPECT_EQ(row.size(), 0u);
    EXPECT_EQ(row.runCount(), 0u);
}

TEST(TimelineSpansTest, IndexFindsTheSameSpansInTheSameOrderAsAPlainScan)
{
    std::mt19937 random(1234);
    for (int round = 0; round < 40; ++round) {
        TimelineRow row;
        // A few channels' worth of ascending spans of mixed lengths, and a
        // few out-of-order ones, some long.
        const int runs = 1 + round % 6;
        for (int r = 0; r < runs; ++r) {
            std::int64_t t = at(0, 0, 0) + std::uniform_int_distribution<int>(0, 3000)(random);
            const int count = std::uniform_int_distribution<int>(1, 400)(random);
            for (int i = 0; i < count; ++i) {
                const int length = std::uniform_int_distribution<int>(0, i % 17 == 0 ? 20000 : 900)(random);
                row.add({t, t + length, static_cast<std::uint32_t>(i % 3)});
                t += std::uniform_int_distribution<int>(0, 400)(random);
            }
        }
        for (int k = 0; k < 20; ++k) {
            const std::int64_t from = at(0, 0, 0) + std::uniform_int_distribution<int>(-5000, 86400)(random);
            const std::int64_t to = from + std::uniform_int_distribution<int>(0, 43200)(random);
            std::vector<const Span*> found;
            row.forEachInView(from, to, [&](const Span& s) { found.push_back(&s); });
            ASSERT_EQ(found, plainScan(row, from, to)) << "round " << round << " view " << k;
        }
    }
}

TEST(TimelineSpansTest, RasterPaintsLaterSpansOverEarlierAndMergesEqualColours)
{
    timeline::SpanRaster raster;
    raster.begin(10, 40);
    raster.fill(12, 20, timeline::kNormalSpan);
    raster.fill(20, 25, timeline::kNormalSpan);  // touching: one fill
    raster.fill(15, 18, timeline::kAlarmSpan);   // over the first
    raster.fill(35, 60, timeline::kAlarmSpan);   // clipped at the row's right
    raster.fill(0, 11, timeline::kAlarmSpan);    // clipped at the row's left
    struct Fill {
        int x1, x2;
        timeline::SpanColour colour;
        bool operator==(const Fill&) const = default;
    };
    std::vector<Fill> fills;
    raster.forEachRun([&](int x1, int x2, timeline::SpanColour c) { fills.push_back({x1, x2, c}); });
    const std::vector<Fill> expected = {{10, 11, timeline::kAlarmSpan}, {12, 15, timeline::kNormalSpan},
                                        {15, 18, timeline::kAlarmSpan}, {18, 25, timeline::kNormalSpan},
                                        {35, 40, timeline::kAlarmSpan}};
    EXPECT_EQ(fills, expected);
}

TEST(TimelineSpansTest, RasterOfARowMatchesFillingEachSpanInTurn)
{
    std::mt19937 random(99);
    for (const int width : {960, 301, 1919}) {
        for (const int level : {0, 2, 5, 7}) {
            TimelineRow row;
            for (int r = 0; r < 4; ++r) {
                std::int64_t t = at(0, 0, 0) + r * 300;
                while (t < at(23, 59, 0)) {
                    const int length = std::uniform_int_distribution<int>(1, 2400)(random);
                    row.add({t, t + length, static_cast<std::uint32_t>(std::uniform_int_distribution<int>(0, 3)(random) == 0)});
                    t += length + std::uniform_int_distribution<int>(0, 3000)(random);
                }
            }
            const RowView v = rowView(level, level == 0 ? at(0, 0, 0) : at(9, 17, 23), width);

            // The reference: each span in insertion order straight into the columns.
            std::vector<std::uint8_t> columns(static_cast<std::size_t>(v.rect.width()), timeline::kNoSpan);
            for (const Span& s : row.spans()) {
                int x1 = 0;
                int x2 = 0;
                if (s.start <= v.viewEnd && s.end >= v.viewStart && timeline::spanColumns(v, s, x1, x2)) {
                    for (int x = x1; x < x2; ++x)
                        columns[static_cast<std::size_t>(x - v.rect.left)] = timeline::colourOfType(s.type);
                }
            }

            timeline::SpanRaster raster;
            timeline::rasterRow(row, v, raster);
            std::vector<std::uint8_t> painted(columns.size(), timeline::kNoSpan);
            int previousEnd = v.rect.left;
            timeline::SpanColour previousColour = timeline::kNoSpan;
            raster.forEachRun([&](int x1, int x2, timeline::SpanColour c) {
                EXPECT_GE(x1, previousEnd);
                EXPECT_FALSE(x1 == previousEnd && c == previousColour) << "equal neighbours are one fill";
                for (int x = x1; x < x2; ++x)
                    painted[static_cast<std::size_t>(x - v.rect.left)] = c;
                previousEnd = x2;
                previousColour = c;
            });
            EXPECT_EQ(painted, columns) << "width " << width << " level " << level;
        }
    }
}
