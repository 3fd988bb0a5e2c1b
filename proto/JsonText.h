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

// Parses a JSON object. Returns false (and an explanation in error, when
// given) for anything else.
bool parseJsonObject(std::string_view text, Json::Value& out, std::string* error = nullptr);

// Typed member access that refuses look-alikes: an integer member must be a
// JSON integer (not 9000.0, not "9000") within the asked range.
std::optional<std::uint64_t> memberUInt64(const Json::Value& object, const char* name);
std::optional<std::uint32_t> memberUInt32(const Json::Value& object, const char* name);
std::optional<std::int32_t> memberInt32(const Json::Value& object, const char* name);
std::optional<std::string> memberString(const Json::Value& object, const char* name);

}  // namespace velk::proto
