// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/BarTimelineZoom.h"

#include <array>

namespace bar_zoom {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::array<int, 8> kPageCounts = {288, 144, 48, 24, 8, 4, 2, 1};
// How long one view lasts at levels 0..6, less a second.
constexpr std::array<std::int64_t, 7> kViewSeconds = {
    4 * 60 + 59, 9 * 60 + 59, 29 * 60 + 59, 59 * 60 + 59, 2 * 3600 + 59 * 60 + 59, 5 * 3600 + 59 * 60 + 59,
    11 * 3600 + 59 * 60 + 59,
};

int clampLevel(int level)
{
    return level < kFiveMinutes ? kFiveMinutes : (level > kWholeDay ? kWholeDay : level);
}

}  // namespace

int pageCount(int level)
{
    return kPageCounts[static_cast<std::size_t>(clampLevel(level))];
}

ViewRange viewAtScrollPosition(const platform::DateTime& day, int position, int level)
{
    level = clampLevel(level);
    const int pages = pageCount(level);
    const std::int64_t seconds = static_cast<std::int64_t>(position) * kSecondsPerDay / pages;
    const platform::SystemTime date = day.toSystemTime();
    const platform::DateTime start = platform::DateTime::fromParts(
        date.year, date.month, date.day, static_cast<int>(seconds / 3600 % 24), static_cast<int>(seconds / 60 % 60),
        static_cast<int>(seconds % 60));
    const platform::DateTime lastSecond = platform::DateTime::fromParts(date.year, date.month, date.day, 23, 59, 59);
    if (level == kWholeDay)
        return {day, lastSecond};
    platform::DateTime end = start.addSeconds(kViewSeconds[static_cast<std::size_t>(level)]);
    if (end.days() > lastSecond.days())
        end = lastSecond;
    return {start, end};
}

int scrollPositionOf(const platform::SystemTime& viewStart, int pageCount)
{
    const std::int64_t seconds = (viewStart.hour * 60 + viewStart.minute) * 60 + viewStart.second;
    return static_cast<int>(seconds * pageCount / kSecondsPerDay);
}

}  // namespace bar_zoom
