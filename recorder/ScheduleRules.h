// SPDX-License-Identifier: GPL-3.0-or-later
// The rules a weekly schedule text must keep to be stored: the rules the
// control loads it by. A JSON array of exactly 7 days (Sunday first), each
// null or an array of at most 8 period objects {"S": start second,
// "E": end second (inclusive), "T": 0 normal / 1 alarm, optional}; values
// are numbers or numeric texts (read by their leading decimal digits);
// 0 <= S <= E <= 86399. At most 4095 bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velk::recorder {

constexpr std::size_t kMaxScheduleTextBytes = 4095;

// Checks a schedule text. On success, canonical holds its compact form
// (numbers as numbers, members sorted, null for a day without periods, no
// line break at the end); otherwise error says which rule it broke.
bool normaliseScheduleText(std::string_view text, std::string& canonical, std::string& error);

// The week without periods: [null,null,null,null,null,null,null].
std::string emptyScheduleText();

}  // namespace velk::recorder
