// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScheduleRules.h"

#include "proto/JsonText.h"

#include <json/value.h>

#include <algorithm>
#include <optional>

namespace velk::recorder {

namespace {

constexpr Json::ArrayIndex kDays = 7;
constexpr Json::ArrayIndex kMaxPeriodsPerDay = 8;
constexpr long long kLastSecond = 86399;

bool normalisePeriod(const Json::Value& entry, Json::Value& out, std::string& error)
{
    if (!entry.isObject()) {
        error = "a period is not an object";
        return false;
    }
    const Json::Value* start = entry.find("S", "S" + 1);
    const Json::Value* end = entry.find("E", "E" + 1);
    const std::optional<long long> s = start ? velk::proto::looseInteger(*start) : std::nullopt;
    const std::optional<long long> e = end ? velk::proto::looseInteger(*end) : std::nullopt;
    if (!s || !e) {
        error = "a period needs \"S\" and \"E\" as numbers or numeric texts";
        return false;
    }
    const long long first = s.value_or(0);
    const long long last = e.value_or(0);
    if (first < 0 || last > kLastSecond || first > last) {
        error = "a period must lie within 0..86399 and end no earlier than it starts";
        return false;
    }
    out = Json::Value(Json::objectValue);
    out["S"] = Json::Int64(first);
    out["E"] = Json::Int64(last);
    if (const Json::Value* type = entry.find("T", "T" + 1)) {
        const std::optional<long long> t = velk::proto::looseInteger(*type);
        if (!t || (*t != 0 && *t != 1)) {
            error = "\"T\" must be 0 (normal) or 1 (alarm)";
            return false;
        }
        out["T"] = Json::Int64(*t);
    }
    return true;
}

}  // namespace

bool normaliseScheduleText(std::string_view text, std::string& canonical, std::string& error)
{
    if (text.size() > kMaxScheduleTextBytes) {
        error = "schedule text longer than 4095 bytes";
        return false;
    }
    Json::Value root;
    if (!velk::proto::parseJsonValue(text, root, &error)) {
        error = "not JSON: " + error;
        return false;
    }
    if (!root.isArray() || root.size() != kDays) {
        error = "the schedule must be an array of 7 days";
        return false;
    }
    Json::Value out(Json::arrayValue);
    for (Json::ArrayIndex d = 0; d < kDays; ++d) {
        const Json::Value& day = root[d];
        Json::Value periods(Json::nullValue);
        if (!day.isNull()) {
            if (!day.isArray()) {
                error = "a day must be an array of periods or null";
                return false;
            }
            if (day.size() > kMaxPeriodsPerDay) {
                error = "more than 8 periods on a day";
                return false;
            }
            for (const Json::Value& entry : day) {
                Json::Value period;
                if (!normalisePeriod(entry, period, error))
                    return false;
                periods.append(period);
            }
        }
        out.append(periods);
    }
    canonical = proto::writeJson(out);
    return true;
}

std::string emptyScheduleText()
{
    return "[null,null,null,null,null,null,null]";
}

}  // namespace velk::recorder
