// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule text exchanged with the page, in both directions: a JSON array
// of exactly seven elements, element d for day d (0 = Sunday), each an array
// of period objects {"S": start second, "E": end second (inclusive),
// "T": 0 normal / 1 alarm (mode 1 only)}, or null for a day without periods.
// Written compactly with sorted keys and no line break at the end.
#pragma once

#include "schedule/SchedulePeriod.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace schedule {

class ScheduleStore;

using WeekPeriods = std::array<DayPeriods, kDays>;

// The loader converts the page's text into a buffer of this many bytes that
// also holds a terminating zero; a longer text is not read.
constexpr std::size_t kScheduleTextBufferBytes = 4096;

// Reads a schedule text for a mode (0 or 1) into the periods of each day:
// type 2 (alarm) for every period in mode 0, "T" + 1 in mode 1. Values are
// JSON numbers (fractions cut towards zero) or texts read by their leading
// decimal digits. False, with a reason in error when given, for anything
// else: unparsable JSON, not seven days, a day that is neither null nor an
// array, more than eight periods on a day, a period that is not an object,
// lacks "S" or "E", lies outside 0..86 399 or ends before it starts, or (in
// mode 1) has a "T" other than 0 or 1. A missing "T" in mode 1 means normal.
bool parseScheduleText(std::string_view utf8Text, int mode, WeekPeriods& week, std::string* error = nullptr);

// The text of a store in a mode: each day's normal and alarm runs in the
// order they end, {"E","S"} in mode 0 and {"E","S","T"} in mode 1.
std::string writeScheduleText(const ScheduleStore& store, int mode);

}  // namespace schedule
