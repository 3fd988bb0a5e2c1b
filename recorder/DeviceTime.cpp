// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceTime.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace velk::recorder {

namespace {

// The number of the digits text[pos, pos+count), or -1 when any is not a digit.
int digits(std::string_view text, std::size_t pos, std::size_t count)
{
    int value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

std::tm toTm(const LocalDateTime& time)
{
    std::tm tm{};
    tm.tm_year = time.date.year - 1900;
    tm.tm_mon = time.date.month - 1;
    tm.tm_mday = time.date.day;
    tm.tm_hour = time.hour;
    tm.tm_min = time.minute;
    tm.tm_sec = time.second;
    tm.tm_isdst = -1;
    return tm;
}

std::optional<LocalDateTime> checked(const LocalDateTime& time)
{
    if (!validDateTime(time))
        return std::nullopt;
    return time;
}

}  // namespace

int daysInMonth(int year, int month)
{
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

bool validDate(const LocalDate& date)
{
    return date.year >= kFirstYear && date.year <= kLastYear && date.month >= 1 && date.month <= 12 &&
           date.day >= 1 && date.day <= daysInMonth(date.year, date.month);
}

bool validDateTime(const LocalDateTime& time)
{
    return validDate(time.date) && time.hour >= 0 && time.hour <= 23 && time.minute >= 0 && time.minute <= 59 &&
           time.second >= 0 && time.second <= 59;
}

std::optional<LocalDateTime> parseCompactTime(std::string_view text)
{
    if (text.size() != 14)
        return std::nullopt;
    const LocalDateTime time{{digits(text, 0, 4), digits(text, 4, 2), digits(text, 6, 2)},
                             digits(text, 8, 2), digits(text, 10, 2), digits(text, 12, 2)};
    return checked(time);
}

std::optional<LocalDateTime> parseDashedTime(std::string_view text)
{
    if (text.size() != 19 || text[10] != ' ' || text[13] != ':' || text[16] != ':')
        return std::nullopt;
    const auto date = parseDate(text.substr(0, 10));
    if (!date)
        return std::nullopt;
    return checked(LocalDateTime{*date, digits(text, 11, 2), digits(text, 14, 2), digits(text, 17, 2)});
}

std::optional<LocalDate> parseDate(std::string_view text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    const LocalDate date{digits(text, 0, 4), digits(text, 5, 2), digits(text, 8, 2)};
    if (!validDate(date))
        return std::nullopt;
    return date;
}

std::optional<LocalDate> parseMonth(std::string_view text)
{
    if (text.size() != 7 || text[4] != '-')
        return std::nullopt;
    const LocalDate date{digits(text, 0, 4), digits(text, 5, 2), 1};
    if (!validDate(date))
        return std::nullopt;
    return date;
}

std::string formatCompact(const LocalDateTime& t)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", t.date.year, t.date.month, t.date.day, t.hour,
                  t.minute, t.second);
    return text;
}

std::string formatDashed(const LocalDateTime& t)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.date.year, t.date.month, t.date.day, t.hour,
                  t.minute, t.second);
    return text;
}

std::string formatDate(const LocalDate& d)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

std::string formatMonth(const LocalDate& d)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d", d.year, d.month);
    return text;
}

std::int64_t toMs(const LocalDateTime& time)
{
    // mktime's choice for a time that occurs twice (or not at all) depends
    // on earlier calls; try both offsets and choose explicitly.
    std::tm standard = toTm(time);
    standard.tm_isdst = 0;
    const std::time_t asStandard = std::mktime(&standard);
    std::tm summer = toTm(time);
    summer.tm_isdst = 1;
    const std::time_t asSummer = std::mktime(&summer);
    const auto shows = [&](std::time_t t) { return t != -1 && toLocal(std::int64_t(t) * 1000) == time; };
    const bool standardShows = shows(asStandard);
    const bool summerShows = shows(asSummer);
    std::time_t seconds = 0;
    if (standardShows && summerShows)
        seconds = std::min(asStandard, asSummer);  // repeated: its first occurrence
    else if (standardShows || summerShows)
        seconds = standardShows ? asStandard : asSummer;
    else
        seconds = std::max(asStandard, asSummer);  // skipped: by the offset before the change
    return static_cast<std::int64_t>(seconds) * 1000;
}

LocalDateTime toLocal(std::int64_t ms)
{
    const std::time_t seconds = static_cast<std::time_t>(floorDiv(ms, 1000));
    std::tm tm{};
    localtime_r(&seconds, &tm);
    return LocalDateTime{{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday}, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

LocalDate addDays(const LocalDate& date, int n)
{
    // Noon never falls into a daylight saving change.
    std::tm tm = toTm(LocalDateTime{date, 12, 0, 0});
    tm.tm_mday += n;
    std::mktime(&tm);
    return LocalDate{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

TimeRange dayRange(const LocalDate& date)
{
    return TimeRange{toMs(LocalDateTime{date, 0, 0, 0}), toMs(LocalDateTime{addDays(date, 1), 0, 0, 0})};
}

TimeRange dayOf(std::int64_t ms)
{
    return dayRange(toLocal(ms).date);
}

TimeRange monthRange(const LocalDate& date)
{
    const LocalDate first{date.year, date.month, 1};
    const LocalDate next = date.month == 12 ? LocalDate{date.year + 1, 1, 1} : LocalDate{date.year, date.month + 1, 1};
    return TimeRange{toMs(LocalDateTime{first, 0, 0, 0}), toMs(LocalDateTime{next, 0, 0, 0})};
}

int utcOffsetSeconds(std::int64_t ms)
{
    const std::time_t seconds = static_cast<std::time_t>(floorDiv(ms, 1000));
    std::tm tm{};
    localtime_r(&seconds, &tm);
    return static_cast<int>(tm.tm_gmtoff);
}

std::int64_t wallClockMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace velk::recorder
