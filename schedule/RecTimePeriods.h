// SPDX-License-Identifier: GPL-3.0-or-later
// The periods the record time dialog edits: up to eight rows of start, end
// and type, added, deleted and collected back from the dialog's pickers with
// the start-before-end check. Pure logic, so it is testable without windows.
#pragma once

#include "schedule/SchedulePeriod.h"

#include <vector>

namespace schedule {

class RecTimePeriods {
public:
    static constexpr int kMaxRows = kMaxPeriodsPerDay;

    // What one row of the dialog shows: times of day in seconds and the
    // selected index of the type list (0 normal, 1 alarm).
    struct RowInput {
        int startSecond = 0;
        int endSecond = 0;
        int typeIndex = 0;
    };

    // All runs of a day: runs of type 0 are dropped, the others kept in
    // order up to eight.
    void setPeriods(const DayPeriods& runs);
    const DayPeriods& periods() const { return m_periods; }
    int count() const { return static_cast<int>(m_periods.size()); }

    bool canAdd() const { return count() < kMaxRows; }
    bool canDelete() const { return count() > 0; }

    // A new row for the whole day (00:00:00-23:59:59), normal in mode 1 and
    // alarm in mode 0. False when eight rows are in use.
    bool add(int mode);
    // Removes the rows whose flag is set; the others keep their order.
    // Returns how many were removed.
    int removeRows(const std::vector<bool>& checked);

    // Replaces the periods with the rows as shown: type = type index + 1 in
    // mode 1, alarm in mode 0. When checking, a row whose start is not
    // before its end refuses the whole collection: nothing is stored and
    // the result is false. Rows beyond count() are ignored.
    bool collect(const std::vector<RowInput>& rows, int mode, bool check);

private:
    DayPeriods m_periods;
};

}  // namespace schedule
