// SPDX-License-Identifier: GPL-3.0-or-later
// One recording period of a day and the constants of the weekly schedule.
#pragma once

#include <cstdint>
#include <vector>

namespace schedule {

constexpr int kDays = 7;                    // day 0 = Sunday ... day 6 = Saturday
constexpr int kSecondsPerDay = 86400;
constexpr int kLastSecond = kSecondsPerDay - 1;
constexpr int kMaxPeriodsPerDay = 8;

// Type bits of one second of the store, and the type of a period or run.
constexpr std::uint8_t kTypeNone = 0;
constexpr std::uint8_t kTypeNormal = 1;  // bit 0
constexpr std::uint8_t kTypeAlarm = 2;   // bit 1

// Seconds start..endSecond of a day, both inclusive, of one type.
struct SchedulePeriod {
    std::int32_t startSecond = 0;
    std::int32_t endSecond = 0;
    std::uint32_t type = kTypeNone;

    friend bool operator==(const SchedulePeriod&, const SchedulePeriod&) = default;
};

using DayPeriods = std::vector<SchedulePeriod>;

// Schedule modes: 0 offers the brushes none and alarm (periods carry no type,
// all are alarm recording); 1 offers none, normal and alarm.
constexpr int kModeAlarmOnly = 0;
constexpr int kModeTyped = 1;

}  // namespace schedule
