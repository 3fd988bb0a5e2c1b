// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/ScheduleStore.h"

#include <algorithm>

namespace schedule {

namespace {

bool validDay(int day)
{
    return day >= 0 && day < kDays;
}

// The first and end second of columns [firstColumn, endColumn) of a day
// divided into `columns` equal columns.
int columnStartSecond(int column, int columns)
{
    return static_cast<int>(static_cast<long long>(column) * kSecondsPerDay / columns);
}

}  // namespace

ScheduleStore::ScheduleStore() : m_days(kDays)
{
    clear();
}

void ScheduleStore::clear()
{
    for (DayMap& map : m_days)
        map.fill(kTypeNone);
}

bool ScheduleStore::setDayPeriods(int day, const DayPeriods& periods)
{
    if (!validDay(day))
        return false;
    DayMap& map = m_days[static_cast<std::size_t>(day)];
    map.fill(kTypeNone);
    bool allApplied = true;
    for (const SchedulePeriod& p : periods) {
        if (p.startSecond < 0 || p.endSecond > kLastSecond || p.startSecond > p.endSecond) {
            allApplied = false;
            continue;
        }
        const auto bits = static_cast<std::uint8_t>(p.type);
        for (int s = p.startSecond; s <= p.endSecond; ++s)
            map[static_cast<std::size_t>(s)] |= bits;
    }
    return allApplied;
}

DayPeriods runsOfDay(const ScheduleStore::DayMap& map)
{
    // One open run per kind: zero bytes, bit 0, bit 1. -1 = not open.
    struct Kind {
        std::uint32_t type;
        int start = -1;
    };
    Kind kinds[3] = {{kTypeNone}, {kTypeNormal}, {kTypeAlarm}};
    const auto belongs = [](std::uint32_t type, std::uint8_t value) {
        return type == kTypeNone ? value == 0 : (value & type) != 0;
    };
    DayPeriods runs;
    for (int s = 0; s < kSecondsPerDay; ++s) {
        const std::uint8_t value = map[static_cast<std::size_t>(s)];
        for (Kind& kind : kinds) {
            const bool inRun = belongs(kind.type, value);
            if (inRun && kind.start < 0) {
                kind.start = s;
            } else if (!inRun && kind.start >= 0) {
                runs.push_back({kind.start, s - 1, kind.type});
                kind.start = -1;
            }
        }
    }
    for (const Kind& kind : kinds)
        if (kind.start >= 0)
            runs.push_back({kind.start, kLastSecond, kind.type});
    return runs;
}

int recordingPeriodCount(const ScheduleStore::DayMap& map)
{
    int count = 0;
    std::uint8_t previous = 0;
    for (const std::uint8_t value : map) {
        // A run of a bit starts where the bit goes from clear to set.
        count += ((value & ~previous) & kTypeNormal) ? 1 : 0;
        count += ((value & ~previous) & kTypeAlarm) ? 1 : 0;
        previous = value;
    }
    return count;
}

DayPeriods ScheduleStore::dayPeriods(int day) const
{
    if (!validDay(day))
        return {};
    return runsOfDay(m_days[static_cast<std::size_t>(day)]);
}

int ScheduleStore::recordingPeriodCount(int day) const
{
    return validDay(day) ? schedule::recordingPeriodCount(m_days[static_cast<std::size_t>(day)]) : 0;
}

DayPeriods ScheduleStore::valueRuns(int day) const
{
    DayPeriods runs;
    if (!validDay(day))
        return runs;
    const DayMap& map = m_days[static_cast<std::size_t>(day)];
    int start = 0;
    for (int s = 1; s <= kSecondsPerDay; ++s) {
        if (s == kSecondsPerDay || map[static_cast<std::size_t>(s)] != map[static_cast<std::size_t>(start)]) {
            runs.push_back({start, s - 1, map[static_cast<std::size_t>(start)]});
            start = s;
        }
    }
    return runs;
}

bool ScheduleStore::applyCells(const CellSpan& span, int columns, std::uint8_t paintType)
{
    if (columns <= 0)
        return false;
    const int firstRow = std::max(span.firstRow, 0);
    const int endRow = std::min(span.endRow, kDays);
    const int firstColumn = std::max(span.firstColumn, 0);
    const int endColumn = std::min(span.endColumn, columns);
    if (firstRow >= endRow || firstColumn >= endColumn)
        return true;  // nothing covered, nothing to refuse
    const auto from = static_cast<std::size_t>(columnStartSecond(firstColumn, columns));
    const auto to = static_cast<std::size_t>(columnStartSecond(endColumn, columns));

    // Try every covered day on a copy first: the whole span or nothing.
    std::vector<DayMap> painted(m_days.begin() + firstRow, m_days.begin() + endRow);
    for (DayMap& map : painted) {
        std::fill(map.begin() + static_cast<std::ptrdiff_t>(from), map.begin() + static_cast<std::ptrdiff_t>(to),
                  paintType);
        if (schedule::recordingPeriodCount(map) > kMaxPeriodsPerDay)
            return false;
    }
    std::copy(painted.begin(), painted.end(), m_days.begin() + firstRow);
    return true;
}

}  // namespace schedule
