// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's device time: its local time zone (TZ), in which schedules,
// searches and playback start times are given. Converts local calendar
// times to and from milliseconds since 1970-01-01 UTC (the recorder's wall
// clock, also the frames' time items), parses and formats the two texts the
// protocol and the API use ("YYYYMMDDhhmmss" and "YYYY-MM-DD hh:mm:ss"),
// and finds the bounds of local days and months. Parsing is strict: exact
// length, digits only where digits belong, and a real calendar date and
// time (no month 13, no 30 February, no 24:00:00). Pure; any thread (the C
// library's localtime_r and mktime).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velk::recorder {

struct LocalDate {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    friend bool operator==(const LocalDate&, const LocalDate&) = default;
};

struct LocalDateTime {
    LocalDate date;
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    int second = 0;  // 0..59
    friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

// A time span [startMs, endMs).
struct TimeRange {
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
};

// Years the device time accepts in texts.
inline constexpr int kFirstYear = 1970;
inline constexpr int kLastYear = 2099;

int daysInMonth(int year, int month);
bool validDate(const LocalDate& date);
bool validDateTime(const LocalDateTime& time);

// "YYYYMMDDhhmmss"
std::optional<LocalDateTime> parseCompactTime(std::string_view text);
// "YYYY-MM-DD hh:mm:ss"
std::optional<LocalDateTime> parseDashedTime(std::string_view text);
// "YYYY-MM-DD"
std::optional<LocalDate> parseDate(std::string_view text);
// "YYYY-MM": the first day of that month.
std::optional<LocalDate> parseMonth(std::string_view text);

std::string formatCompact(const LocalDateTime& time);
std::string formatDashed(const LocalDateTime& time);
std::string formatDate(const LocalDate& date);
std::string formatMonth(const LocalDate& date);

// Local time -> ms since 1970 UTC. A local time that a daylight saving
// change skips is taken as the same wall time before the change (so it
// lands after the gap); a repeated one as its first occurrence.
std::int64_t toMs(const LocalDateTime& time);
// ms since 1970 UTC -> local time (the second it falls in).
LocalDateTime toLocal(std::int64_t ms);

// The local day holding ms, and a date's day: from its local midnight to
// the next (23 or 25 hours on daylight saving change days).
TimeRange dayOf(std::int64_t ms);
TimeRange dayRange(const LocalDate& date);
// The local month of the date: from the midnight of its first day to that
// of the next month's first day.
TimeRange monthRange(const LocalDate& date);
// The date n days after date (n may be negative).
LocalDate addDays(const LocalDate& date, int n);

// Local time minus UTC at ms, in seconds.
int utcOffsetSeconds(std::int64_t ms);

// The wall clock now, in ms since 1970 UTC.
std::int64_t wallClockMs();

}  // namespace velk::recorder
