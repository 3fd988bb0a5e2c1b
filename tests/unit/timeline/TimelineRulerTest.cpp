// SPDX-License-Identifier: GPL-3.0-or-later
// The ruler's ticks and labels: the whole day in two-hour steps up to
// 24:00, and labels that land on division boundaries when the view starts
// between them.
#include "playback/TimelineRuler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using platform::DateTime;
using timeline::TimelineGeometry;
using timeline::TimelineRuler;
using timeline::TimelineScale;

namespace {

DateTime at(int hour, int minute, int second)
{
    return DateTime::fromParts(2024, 3, 15, hour, minute, second);
}

std::vector<std::string> texts(const TimelineRuler& ruler)
{
    std::vector<std::string> out;
    for (const timeline::RulerLabel& l : ruler.labels())
        out.emplace_back(l.text.data());
    return out;
}

}  // namespace

TEST(TimelineRulerTest, WholeDayIsLabelledEveryTwoHoursUpTo2400)
{
    const std::vector<std::string> expected = {"00:00", "02:00", "04:00", "06:00", "08:00", "10:00", "12:00",
                                               "14:00", "16:00", "18:00", "20:00", "22:00", "24:00"};
    for (const int width : {960, 961, 1000, 1283, 300}) {
        TimelineScale s(at(0, 0, 0));
        s.setClientWidth(width);
        const TimelineGeometry g(width, 100, s.margin());
        TimelineRuler ruler;
        ruler.layout(s, g.ruler);
        EXPECT_EQ(texts(ruler), expected) << width;

        const auto& major = ruler.majorTicks();
        ASSERT_EQ(major.size(), 13u);
        EXPECT_EQ(major.front(), g.ruler.left);
        EXPECT_LE(major.back(), g.ruler.right);
        EXPECT_GE(major.back(), g.ruler.right - 1) << "24:00 sits at the ruler's right end";
        // Labels start at their ticks; the left end's label 28 pixels left of it.
        EXPECT_EQ(ruler.labels().front().left, g.ruler.left - 28);
        for (std::size_t k = 1; k < major.size(); ++k) {
            EXPECT_EQ(ruler.labels()[k].left, major[k]);
            const double expectedX = g.ruler.left + k * s.pixelsPerDivision();
            EXPECT_LT(std::abs(major[k] - expectedX), 2.0) << width << " tick " << k;
        }
        // Two minor ticks per division: one halfway in each.
        EXPECT_EQ(ruler.minorTicks().size(), 12u) << width;
        for (const int x : ruler.minorTicks()) {
            EXPECT_GT(x, g.ruler.left);
            EXPECT_LT(x, g.ruler.right);
        }
    }
}

TEST(TimelineRulerTest, NoMarkPassesTheRightEndOfANarrowRuler)
{
    for (const int width : {72, 73, 85}) {
        TimelineScale s(at(0, 0, 0));
        s.setClientWidth(width);
        const TimelineGeometry g(width, 100, s.margin());
        TimelineRuler ruler;
        ruler.layout(s, g.ruler);
        for (const int x : ruler.majorTicks())
            EXPECT_LE(x, g.ruler.right) << width;
        for (const int x : ruler.minorTicks())
            EXPECT_LE(x, g.ruler.right) << width;
    }
}

TEST(TimelineRulerTest, ViewStartingBetweenBoundariesLabelsTheNextBoundary)
{
    struct Case {
        int level;
        DateTime start;
        std::vector<std::string> firstLabels;
    };
    const Case cases[] = {
        {1, at(6, 30, 0), {"06:30", "07:00", "08:00", "09:00"}},
        {3, at(6, 10, 0), {"06:10", "06:20", "06:40", "07:00"}},
        {4, at(13, 59, 30), {"13:59", "14:00", "14:06", "14:12"}},
        {6, at(9, 58, 0), {"09:58", "09:59", "10:00", "10:01"}},
    };
    for (const Case& c : cases) {
        TimelineScale s(at(0, 0, 0));
        s.setClientWidth(960);
        s.setLevel(c.level);
        s.setViewRange(c.start, c.start.addSeconds(s.rulerSeconds() - 1));
        const TimelineGeometry g(960, 100, s.margin());
        TimelineRuler ruler;
        ruler.layout(s, g.ruler);
        const std::vector<std::string> all = texts(ruler);
        ASSERT_GE(all.size(), c.firstLabels.size());
        EXPECT_EQ(std::vector<std::string>(all.begin(), all.begin() + c.firstLabels.size()), c.firstLabels)
            << "level " << c.level;
        // The first boundary's tick sits at its time's x.
        const platform::SystemTime t = c.start.toSystemTime();
        const int secondsToBoundary =
            s.zoom().secondsPerDivision - (t.minute * 60) % s.zoom().secondsPerDivision - t.second;
        EXPECT_NEAR(ruler.majorTicks()[1], s.xOfTime(c.start.addSeconds(secondsToBoundary)), 1.0);
    }
}

TEST(TimelineRulerTest, LayingOutAgainReplacesTheMarks)
{
    TimelineScale s(at(0, 0, 0));
    s.setClientWidth(960);
    const TimelineGeometry g(960, 100, s.margin());
    TimelineRuler ruler;
    ruler.layout(s, g.ruler);
    ruler.layout(s, g.ruler);
    EXPECT_EQ(ruler.labels().size(), 13u);
    EXPECT_EQ(ruler.minorTicks().size(), 12u);
}

TEST(TimelineRulerTest, LabelsThatWouldRunIntoTheOneBeforeAreLeftOut)
{
    // Ticks every 20 pixels, labels 30 wide: every other one fits on a
    // narrow ruler; a wide one keeps them all.
    std::vector<timeline::RulerLabel> labels;
    for (int k = 0; k < 7; ++k)
        labels.push_back({k * 20, {}});
    const auto thirty = [](const timeline::RulerLabel&) { return 30; };
    std::vector<int> lefts;
    for (const timeline::RulerLabel* label : timeline::readableLabels(labels, thirty, 4))
        lefts.push_back(label->left);
    EXPECT_EQ(lefts, (std::vector<int>{0, 40, 80, 120}));
    const auto ten = [](const timeline::RulerLabel&) { return 10; };
    EXPECT_EQ(timeline::readableLabels(labels, ten, 4).size(), labels.size());
    EXPECT_TRUE(timeline::readableLabels({}, ten, 4).empty());
}
