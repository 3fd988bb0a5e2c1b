// SPDX-License-Identifier: GPL-3.0-or-later
// The playback bar's side of the timeline zoom: the bar counts its level
// down from 7 (the whole day) to 0 (five minutes), and at each level its
// horizontal scroll bar pages through the day in that many views. Pure
// calculations, callable from any thread.
#pragma once

#include "platform/DateTime.h"

namespace bar_zoom {

constexpr int kWholeDay = 7;
constexpr int kFiveMinutes = 0;

// Views per day at a bar level: 288 at 0 (five minutes) ... 1 at 7.
int pageCount(int level);

struct ViewRange {
    platform::DateTime start;
    platform::DateTime end;
};

// The part of the day shown at scroll position `position` of a bar level
// below 7: from position / pages of the day, as long as one view lasts
// less a second, cut at 23:59:59 of the day. `day` is the day's 00:00:00.
ViewRange viewAtScrollPosition(const platform::DateTime& day, int position, int level);

// The scroll position whose view starts at a time of day (the timeline's
// view moved): the seconds since midnight times the page count, divided by
// the seconds of a day (integer division).
int scrollPositionOf(const platform::SystemTime& viewStart, int pageCount);

}  // namespace bar_zoom
