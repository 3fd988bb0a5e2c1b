// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/RecTimePeriods.h"

#include <algorithm>

namespace schedule {

void RecTimePeriods::setPeriods(const DayPeriods& runs)
{
    m_periods.clear();
    for (const SchedulePeriod& run : runs) {
        if (run.type == kTypeNone)
            continue;
        if (count() == kMaxRows)
            break;
        m_periods.push_back(run);
    }
}

bool RecTimePeriods::add(int mode)
{
    if (!canAdd())
        return false;
    m_periods.push_back({0, kLastSecond, mode == kModeTyped ? kTypeNormal : kTypeAlarm});
    return true;
}

int RecTimePeriods::removeRows(const std::vector<bool>& checked)
{
    DayPeriods kept;
    for (std::size_t i = 0; i < m_periods.size(); ++i)
        if (i >= checked.size() || !checked[i])
            kept.push_back(m_periods[i]);
    const int removed = count() - static_cast<int>(kept.size());
    m_periods = std::move(kept);
    return removed;
}

bool RecTimePeriods::collect(const std::vector<RowInput>& rows, int mode, bool check)
{
    const std::size_t n = std::min(rows.size(), m_periods.size());
    DayPeriods collected;
    for (std::size_t i = 0; i < n; ++i) {
        const RowInput& row = rows[i];
        if (check && row.startSecond >= row.endSecond)
            return false;
        const std::uint32_t type = mode == kModeTyped
                                       ? static_cast<std::uint32_t>(std::clamp(row.typeIndex, 0, 1) + 1)
                                       : kTypeAlarm;
        collected.push_back({std::clamp(row.startSecond, 0, kLastSecond), std::clamp(row.endSecond, 0, kLastSecond),
                             type});
    }
    // Rows the dialog did not report keep what they had.
    for (std::size_t i = n; i < m_periods.size(); ++i)
        collected.push_back(m_periods[i]);
    m_periods = std::move(collected);
    return true;
}

}  // namespace schedule
