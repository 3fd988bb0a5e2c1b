// SPDX-License-Identifier: GPL-3.0-or-later
// The automation date-time: days since 1899-12-30 00:00 as a double, with a
// valid flag, and the SYSTEMTIME-like record that travels between windows.
// Pure calculations, callable from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Calendar fields of one moment; dayOfWeek 0 = Sunday.
struct SystemTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;

    bool operator==(const SystemTime&) const = default;
};

class DateTime {
public:
    // Years 100..9999, as automation dates allow.
    static constexpr int kMinYear = 100;
    static constexpr int kMaxYear = 9999;

    DateTime() = default;  // invalid
    // An automation date value. Before 1899-12-30 the whole part counts days
    // back and the fraction still counts time forward (-1.25 is 1899-12-29
    // 06:00). Out of range or not finite gives an invalid value.
    explicit DateTime(double days);

    // Invalid when a field is out of range (February 30th, hour 24, ...).
    static DateTime fromParts(int year, int month, int day, int hour = 0, int minute = 0,
                              int second = 0);
    static DateTime fromSystemTime(const SystemTime& time);  // milliseconds ignored
    // "YYYY-MM-DD HH:MM:SS", exactly.
    static DateTime fromText(std::string_view text);
    // "YYYYMMDDHHMMSS", exactly 14 digits.
    static DateTime fromDigits(std::string_view text);

    bool isValid() const { return m_valid; }
    double days() const { return m_days; }

    // Calendar fields, rounded to the nearest second; zeros when invalid.
    SystemTime toSystemTime() const;
    // The two text forms; empty when invalid.
    std::string toText() const;
    std::string toDigits() const;

    // This moment moved by a number of seconds; invalid when out of range.
    DateTime addSeconds(std::int64_t seconds) const;

    bool operator==(const DateTime& other) const = default;

private:
    double m_days = 0.0;
    bool m_valid = false;
};

// Seconds from a to b (b later gives a positive number), in whole seconds
// rounded half away from zero; 0 when either is invalid.
std::int64_t secondsBetween(const DateTime& a, const DateTime& b);

}  // namespace platform
