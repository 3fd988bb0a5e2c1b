// SPDX-License-Identifier: GPL-3.0-or-later
// What a channel's weekly schedule says about recording at a given local
// time. A schedule text (ScheduleRules.h) holds periods per day (Sunday
// first) of seconds S..E inclusive; a period with "T":0 is a normal period
// (recorded always), one with "T":1 or without "T" (texts of mode 0 carry
// none) an alarm period (recorded only while an alarm of the channel is
// active or its post-alarm margin runs). Where periods of both kinds cover
// the same second, an active alarm makes it an alarm recording.
#pragma once

#include "RecordingCatalog.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velk::recorder {

struct PlanPeriod {
    std::uint32_t startSecond = 0;  // of the day, inclusive
    std::uint32_t endSecond = 0;    // of the day, inclusive
    RecordType type = RecordType::Alarm;
};

// A moment of the recorder's local time.
struct LocalMoment {
    int weekday = 0;       // 0 Sunday .. 6 Saturday
    int secondOfDay = 0;   // 0..86399
};

// The local moment of a wall-clock time (ms since 1970 UTC).
LocalMoment localMomentOf(std::int64_t wallMs);

class RecordingPlan {
public:
    RecordingPlan() = default;
    // Reads a stored (canonical) schedule text; nothing when it is not one.
    static std::optional<RecordingPlan> fromScheduleText(const std::string& text);

    // True when any day has a period: the channel may record at some time.
    bool empty() const;
    // What to record at that moment: nothing, Normal or Alarm. alarmWindow
    // is true while an alarm of the channel is active or its post margin runs.
    std::optional<RecordType> decide(const LocalMoment& moment, bool alarmWindow) const;

    std::array<std::vector<PlanPeriod>, 7> days;
};

}  // namespace velk::recorder
