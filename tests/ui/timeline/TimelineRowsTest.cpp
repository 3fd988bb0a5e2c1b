// SPDX-License-Identifier: GPL-3.0-or-later
// The timeline's rows: rebuilt by the channel count, emptied by ClearSpans,
// made on demand by AddSpan, and picked by the row scroll bar's
// notifications (position p shows row p + 1 on top).
#include "TimelineTestRig.h"

#include "platform/Messages.h"

#include <gtest/gtest.h>

#include <vector>

using timeline_test::at;
using timeline_test::TimelineRig;

namespace {

std::vector<int> keys(const CControlPlayer& timeline)
{
    std::vector<int> out;
    for (const auto& [key, row] : timeline.rows())
        out.push_back(key);
    return out;
}

void scroll(CControlPlayer& timeline, platform::ScrollCode code, int pos = 0)
{
    platform::sendMessage(timeline.handle(), platform::WM_VSCROLL,
                          (static_cast<platform::WPARAM>(pos) << 16) | code, 0);
}

}  // namespace

TEST(TimelineRowsTest, ChannelRowsAreRebuiltEmpty)
{
    TimelineRig rig(at(12, 0, 0));
    rig.timeline.AddSpan(QString(), 2, at(1, 0, 0), at(2, 0, 0), 0);
    EXPECT_EQ(rig.timeline.rows().at(3).size(), 1u);
    rig.timeline.SetChannelRows(QString(), 6);
    EXPECT_EQ(rig.timeline.rowCount(), 6);
    EXPECT_EQ(keys(rig.timeline), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    for (const auto& [key, row] : rig.timeline.rows())
        EXPECT_EQ(row.size(), 0u) << key;
    rig.timeline.SetChannelRows(QString(), -1);  // ignored
    EXPECT_EQ(rig.timeline.rowCount(), 6);
}

TEST(TimelineRowsTest, SpansGoToTheOverviewAndTheirChannelRow)
{
    TimelineRig rig(at(12, 0, 0));
    rig.timeline.AddSpan(QString(), 0, at(1, 0, 0), at(2, 0, 0), 0);
    rig.timeline.AddSpan(QString(), 9, at(3, 0, 0), at(4, 0, 0), 1);  // beyond the rows: made
    rig.timeline.AddSpan(QString(), -1, at(3, 0, 0), at(4, 0, 0), 1);  // no channel: ignored
    rig.timeline.AddSpan(QString(), 1, platform::DateTime(), at(4, 0, 0), 1);  // no time: ignored
    EXPECT_EQ(rig.timeline.rows().at(0).size(), 2u);
    EXPECT_EQ(rig.timeline.rows().at(1).size(), 1u);
    EXPECT_EQ(rig.timeline.rows().at(10).size(), 1u);
    EXPECT_EQ(rig.timeline.rows().at(10).spans()[0].type, 1u);

    rig.timeline.ZoomIn();
    rig.timeline.ClearSpans();
    EXPECT_EQ(rig.timeline.scale().level(), 0);
    EXPECT_EQ(rig.timeline.scale().viewStart(), at(0, 0, 0));
    EXPECT_EQ(keys(rig.timeline), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(rig.timeline.rows().at(0).size(), 0u);
}

TEST(TimelineRowsTest, RowScrollBarIsSetByTheChannelCount)
{
    TimelineRig rig(at(12, 0, 0));
    rig.timeline.SetChannelRows(QString(), 6);
    EXPECT_EQ(rig.timeline.rowScroll(), (timeline::RowScrollSetting{true, 0, 4, 1}));
    rig.timeline.SetChannelRows(QString(), 3);
    EXPECT_FALSE(rig.timeline.rowScroll().visible);
    rig.timeline.SetChannelRows(QString(), 12);
    EXPECT_EQ(rig.timeline.rowScroll(), (timeline::RowScrollSetting{true, 0, 8, 2}));
    rig.timeline.SetChannelRows(QString(), 20);  // over 16: as it was
    EXPECT_EQ(rig.timeline.rowScroll(), (timeline::RowScrollSetting{true, 0, 8, 2}));
    EXPECT_EQ(rig.timeline.rowScrollPos(), 0);
}

TEST(TimelineRowsTest, ScrollNotificationsPickTheFirstRow)
{
    struct Step {
        platform::ScrollCode code;
        int pos;
        int firstRow;
    };
    struct Case {
        int channels;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        // Range 0..4, page 1: positions 0..4, first rows 1..5.
        {6,
         {{platform::SB_THUMBTRACK, 3, 4},
          {platform::SB_LINEDOWN, 0, 5},
          {platform::SB_LINEDOWN, 0, 5},
          {platform::SB_LINEUP, 0, 4},
          {platform::SB_TOP, 0, 1},
          {platform::SB_LINEUP, 0, 1},
          {platform::SB_PAGEDOWN, 0, 2},
          {platform::SB_BOTTOM, 0, 5},
          {platform::SB_ENDSCROLL, 0, 5},
          {platform::SB_THUMBPOSITION, 2, 3},
          {platform::SB_THUMBTRACK, 0xFFFF, 1}}},  // -1 in the high word
        // Range 0..8, page 2: positions 0..7, first rows 1..8.
        {10,
         {{platform::SB_PAGEDOWN, 0, 3},
          {platform::SB_PAGEDOWN, 0, 5},
          {platform::SB_BOTTOM, 0, 8},
          {platform::SB_PAGEDOWN, 0, 8},
          {platform::SB_THUMBTRACK, 8, 8},
          {platform::SB_PAGEUP, 0, 6}}},
    };
    for (const Case& c : cases) {
        TimelineRig rig(at(12, 0, 0));
        rig.timeline.SetChannelRows(QString(), c.channels);
        rig.timeline.SetFirstRow(1);
        for (const Step& step : c.steps) {
            scroll(rig.timeline, step.code, step.pos);
            EXPECT_EQ(rig.timeline.firstRow(), step.firstRow) << c.channels << " code " << step.code;
            EXPECT_EQ(rig.timeline.rowScrollPos(), step.firstRow - 1);
        }
    }
}
