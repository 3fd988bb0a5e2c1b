// SPDX-License-Identifier: GPL-3.0-or-later
// The week's schedule at one-second resolution: seven day maps of 86 400
// bytes, one byte of type bits (normal 1, alarm 2) per second. Pure data and
// maths, no window: the grid draws it and routes input to it.
#pragma once

#include "schedule/SchedulePeriod.h"

#include <array>
#include <cstdint>
#include <vector>

namespace schedule {

// Cells of the grid covered by a drag: columns [firstColumn, endColumn) of
// rows (days) [firstRow, endRow). Empty when either range is.
struct CellSpan {
    int firstColumn = 0;
    int firstRow = 0;
    int endColumn = 0;
    int endRow = 0;

    bool isEmpty() const { return endColumn <= firstColumn || endRow <= firstRow; }
    friend bool operator==(const CellSpan&, const CellSpan&) = default;
};

class ScheduleStore {
public:
    using DayMap = std::array<std::uint8_t, kSecondsPerDay>;

    ScheduleStore();

    // Clears the day and ORs each period's type into its seconds. Periods
    // must lie within 0..86 399 with start <= end; others are skipped (the
    // text loader and the dialog never hand such periods on). False for a
    // day outside 0..6 or when a period was skipped.
    bool setDayPeriods(int day, const DayPeriods& periods);

    // The runs of a day in one pass over its seconds: runs of seconds whose
    // byte is 0 (type 0), runs with bit 0 set (type 1) and runs with bit 1
    // set (type 2), each emitted when it ends; runs still open at the end of
    // the day are emitted with end 86 399 in the order zero, normal, alarm.
    // Normal and alarm runs may overlap. Every run is returned, however many.
    DayPeriods dayPeriods(int day) const;

    // Normal runs plus alarm runs of a day: the periods it would be written as.
    int recordingPeriodCount(int day) const;

    // Runs of identical byte values (0..3) in order, for drawing.
    DayPeriods valueRuns(int day) const;

    // Paints cells of a grid of `columns` equal columns over the day with a
    // brush: every second of each covered column of each covered day is set
    // to paintType. The span is first applied to a copy; if any covered day
    // would then hold more than eight recording periods, nothing changes and
    // the result is false. Columns and rows outside the grid are clipped.
    bool applyCells(const CellSpan& span, int columns, std::uint8_t paintType);

    std::uint8_t at(int day, int second) const { return m_days[static_cast<std::size_t>(day)][static_cast<std::size_t>(second)]; }
    const DayMap& day(int day) const { return m_days[static_cast<std::size_t>(day)]; }
    void clear();

private:
    std::vector<DayMap> m_days;  // kDays maps, heap-held (604 800 bytes)
};

// The runs of one day map (see ScheduleStore::dayPeriods).
DayPeriods runsOfDay(const ScheduleStore::DayMap& map);
// Normal runs plus alarm runs of one day map.
int recordingPeriodCount(const ScheduleStore::DayMap& map);

}  // namespace schedule
