// SPDX-License-Identifier: GPL-3.0-or-later
// JSON text in and out: compact writing (no white space, members sorted, no
// trailing line break) and strict reading (one object, nothing after it,
// no comments, no duplicate members, bounded nesting).
#pragma once

#include <json/value.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velk::proto {

std::string writeJson(const Json::Value& value);

// Parses a JSON array or object (the root of every text we exchange).
// Returns false (and an explanation in error, when given) for anything else.
bool parseJsonValue(std::string_view text, Json::Value& out, std::string* error = nullptr);

// Parses a JSON object. Returns false (and an explanation in error, when
// given) for anything else.
bool parseJsonObject(std::string_view text, Json::Value& out, std::string* error = nullptr);

// Typed member access that refuses look-alikes: an integer member must be a
// JSON integer (not 9000.0, not "9000") within the asked range.
std::optional<std::uint64_t> memberUInt64(const Json::Value& object, const char* name);
std::optional<std::uint32_t> memberUInt32(const Json::Value& object, const char* name);
std::optional<std::int32_t> memberInt32(const Json::Value& object, const char* name);
std::optional<std::string> memberString(const Json::Value& object, const char* name);

// A value that page texts may give as a number or as a numeric text: an
// integer, a fraction cut towards zero, or a text read by its leading
// decimal digits after white space and an optional sign (no digits: 0).
// Clamped to +-2^40, beyond every range such texts carry, so that callers'
// arithmetic cannot overflow. Nothing for any other JSON type.
std::optional<long long> looseInteger(const Json::Value& value);

}  // namespace velk::proto
