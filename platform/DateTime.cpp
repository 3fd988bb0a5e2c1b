// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DateTime.h"

#include <cmath>
#include <cstdio>

namespace platform {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Civil {
    std::int64_t year;
    unsigned month;
    unsigned day;
};

constexpr Civil civilFromDays(std::int64_t z)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

constexpr std::int64_t kEpoch = daysFromCivil(1899, 12, 30);  // automation day 0
constexpr std::int64_t kMinDay = daysFromCivil(DateTime::kMinYear, 1, 1) - kEpoch;
constexpr std::int64_t kMaxDay = daysFromCivil(DateTime::kMaxYear, 12, 31) - kEpoch;

bool isLeap(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : kDays[month - 1];
}

// The automation value as days on a straight line (time always forward).
double linearDays(double days)
{
    if (days >= 0)
        return days;
    const double whole = std::trunc(days);
    return whole + (whole - days);
}

// The inverse of linearDays.
double automationDays(double linear)
{
    if (linear >= 0)
        return linear;
    const double whole = std::floor(linear);
    const double fraction = linear - whole;
    return fraction == 0 ? whole : whole - fraction;
}

// Seconds since 1899-12-30 00:00, rounded half away from zero.
std::int64_t linearSeconds(const DateTime& t)
{
    return std::llround(linearDays(t.days()) * kSecondsPerDay);
}

DateTime fromLinearSeconds(std::int64_t seconds)
{
    const std::int64_t day = seconds >= 0 ? seconds / kSecondsPerDay : -((-seconds + kSecondsPerDay - 1) / kSecondsPerDay);
    if (day < kMinDay || day > kMaxDay)
        return {};
    const std::int64_t secondOfDay = seconds - day * kSecondsPerDay;
    const double linear = static_cast<double>(day) + static_cast<double>(secondOfDay) / kSecondsPerDay;
    return DateTime(automationDays(linear));
}

// Reads exactly `count` decimal digits at text[pos].
bool readNumber(std::string_view text, std::size_t pos, std::size_t count, int& value)
{
    value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

DateTime::DateTime(double days)
{
    if (!std::isfinite(days))
        return;
    const double linear = linearDays(days);
    if (linear < static_cast<double>(kMinDay) || linear >= static_cast<double>(kMaxDay + 1))
        return;
    m_days = days;
    m_valid = true;
}

DateTime DateTime::fromParts(int year, int month, int day, int hour, int minute, int second)
{
    if (year < kMinYear || year > kMaxYear || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59)
        return {};
    const std::int64_t dayNumber =
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpoch;
    return fromLinearSeconds(dayNumber * kSecondsPerDay + hour * 3600 + minute * 60 + second);
}

DateTime DateTime::fromSystemTime(const SystemTime& time)
{
    return fromParts(time.year, time.month, time.day, time.hour, time.minute, time.second);
}

DateTime DateTime::fromText(std::string_view text)
{
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' ||
        text[16] != ':')
        return {};
    int f[6];
    static constexpr std::size_t kPos[6] = {0, 5, 8, 11, 14, 17};
    static constexpr std::size_t kLen[6] = {4, 2, 2, 2, 2, 2};
    for (int i = 0; i < 6; ++i) {
        if (!readNumber(text, kPos[i], kLen[i], f[i]))
            return {};
    }
    return fromParts(f[0], f[1], f[2], f[3], f[4], f[5]);
}

DateTime DateTime::fromDigits(std::string_view text)
{
    if (text.size() != 14)
        return {};
    int f[6];
    for (int i = 0; i < 6; ++i) {
        const std::size_t pos = i == 0 ? 0 : 2 + 2 * static_cast<std::size_t>(i);
        if (!readNumber(text, pos, i == 0 ? 4 : 2, f[i]))
            return {};
    }
    return fromParts(f[0], f[1], f[2], f[3], f[4], f[5]);
}

SystemTime DateTime::toSystemTime() const
{
    if (!m_valid)
        return {};
    std::int64_t seconds = linearSeconds(*this);
    std::int64_t day = seconds >= 0 ? seconds / kSecondsPerDay : -((-seconds + kSecondsPerDay - 1) / kSecondsPerDay);
    // Rounding up the last second of 9999-12-31 stays on that day.
    if (day > kMaxDay) {
        day = kMaxDay;
        seconds = day * kSecondsPerDay + kSecondsPerDay - 1;
    }
    const std::int64_t secondOfDay = seconds - day * kSecondsPerDay;
    const Civil civil = civilFromDays(day + kEpoch);
    SystemTime t;
    t.year = static_cast<std::uint16_t>(civil.year);
    t.month = static_cast<std::uint16_t>(civil.month);
    t.day = static_cast<std::uint16_t>(civil.day);
    t.dayOfWeek = static_cast<std::uint16_t>(((day % 7) + 7 + 6) % 7);  // day 0 was a Saturday
    t.hour = static_cast<std::uint16_t>(secondOfDay / 3600);
    t.minute = static_cast<std::uint16_t>(secondOfDay / 60 % 60);
    t.second = static_cast<std::uint16_t>(secondOfDay % 60);
    return t;
}

std::string DateTime::toText() const
{
    if (!m_valid)
        return {};
    const SystemTime t = toSystemTime();
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buffer;
}

std::string DateTime::toDigits() const
{
    if (!m_valid)
        return {};
    const SystemTime t = toSystemTime();
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buffer;
}

DateTime DateTime::addSeconds(std::int64_t seconds) const
{
    if (!m_valid)
        return {};
    const std::int64_t limit = (kMaxDay - kMinDay + 2) * kSecondsPerDay;
    if (seconds > limit || seconds < -limit)
        return {};
    return fromLinearSeconds(linearSeconds(*this) + seconds);
}

std::int64_t secondsBetween(const DateTime& a, const DateTime& b)
{
    if (!a.isValid() || !b.isValid())
        return 0;
    const double span = (linearDays(b.days()) - linearDays(a.days())) * kSecondsPerDay;
    return static_cast<std::int64_t>(std::round(span));
}

}  // namespace platform
