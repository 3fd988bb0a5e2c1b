// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/ScheduleText.h"

#include "schedule/ScheduleStore.h"

#include "proto/JsonText.h"

#include <json/value.h>
#include <json/writer.h>

#include <algorithm>
#include <limits>
#include <optional>

namespace schedule {

namespace {

bool fail(std::string* error, const std::string& reason)
{
    if (error)
        *error = reason;
    return false;
}

bool readPeriod(const Json::Value& entry, int mode, SchedulePeriod& period, std::string* error)
{
    if (!entry.isObject())
        return fail(error, "a period is not an object");
    const Json::Value* start = entry.find("S", "S" + 1);
    const Json::Value* end = entry.find("E", "E" + 1);
    if (!start || !end)
        return fail(error, "a period lacks \"S\" or \"E\"");
    const std::optional<long long> s = velk::proto::looseInteger(*start);
    const std::optional<long long> e = velk::proto::looseInteger(*end);
    if (!s || !e)
        return fail(error, "\"S\" and \"E\" must be numbers or numeric texts");
    if (*s < 0 || *e > kLastSecond || *s > *e)
        return fail(error, "a period must lie within 0..86399 and end no earlier than it starts");
    std::uint32_t type = kTypeAlarm;
    if (mode == kModeTyped) {
        long long t = 0;
        if (const Json::Value* typeValue = entry.find("T", "T" + 1)) {
            const std::optional<long long> value = velk::proto::looseInteger(*typeValue);
            if (!value || (*value != 0 && *value != 1))
                return fail(error, "\"T\" must be 0 (normal) or 1 (alarm)");
            t = *value;
        }
        type = static_cast<std::uint32_t>(t + 1);
    }
    period = {static_cast<std::int32_t>(*s), static_cast<std::int32_t>(*e), type};
    return true;
}

}  // namespace

bool parseScheduleText(std::string_view utf8Text, int mode, WeekPeriods& week, std::string* error)
{
    Json::Value root;
    std::string reason;
    if (!velk::proto::parseJsonValue(utf8Text, root, &reason))
        return fail(error, "not JSON: " + reason);
    if (!root.isArray() || root.size() != kDays)
        return fail(error, "the schedule must be an array of 7 days");
    WeekPeriods read;
    for (Json::ArrayIndex d = 0; d < static_cast<Json::ArrayIndex>(kDays); ++d) {
        const Json::Value& day = root[d];
        if (day.isNull())
            continue;
        if (!day.isArray())
            return fail(error, "a day must be an array of periods or null");
        if (day.size() > static_cast<Json::ArrayIndex>(kMaxPeriodsPerDay))
            return fail(error, "more than 8 periods on a day");
        for (const Json::Value& entry : day) {
            SchedulePeriod period;
            if (!readPeriod(entry, mode, period, error))
                return false;
            read[d].push_back(period);
        }
    }
    week = std::move(read);
    return true;
}

std::string writeScheduleText(const ScheduleStore& store, int mode)
{
    Json::Value root(Json::arrayValue);
    for (int d = 0; d < kDays; ++d) {
        Json::Value day(Json::nullValue);
        for (const SchedulePeriod& run : store.dayPeriods(d)) {
            if (run.type == kTypeNone)
                continue;
            Json::Value period(Json::objectValue);
            period["S"] = run.startSecond;
            period["E"] = run.endSecond;
            if (mode == kModeTyped)
                period["T"] = static_cast<int>(run.type) - 1;
            day.append(period);
        }
        root.append(day);
    }
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    return Json::writeString(writer, root);
}

}  // namespace schedule
