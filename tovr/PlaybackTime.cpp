// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlaybackTime.h"

#include <cstdio>
#include <ctime>

namespace velk::tovr {

namespace {

int number(std::string_view text, std::size_t from, std::size_t count)
{
    int value = 0;
    for (std::size_t i = from; i < from + count; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

bool isPlaybackTimeText(std::string_view text)
{
    if (text.size() != 14)
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    const int year = number(text, 0, 4);
    const int month = number(text, 4, 2);
    const int day = number(text, 6, 2);
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return false;
    return number(text, 8, 2) < 24 && number(text, 10, 2) < 60 && number(text, 12, 2) < 60;
}

std::string playbackTimeText(std::uint64_t frameTimeMs, std::int32_t utcOffsetS)
{
    const std::time_t local = static_cast<std::time_t>(frameTimeMs / 1000) + utcOffsetS;
    std::tm parts{};
    if (gmtime_r(&local, &parts) == nullptr)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

}  // namespace velk::tovr
