// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingPlan.h"

#include <json/reader.h>
#include <json/value.h>

#include <ctime>
#include <memory>

namespace velk::recorder {

LocalMoment localMomentOf(std::int64_t wallMs)
{
    const std::time_t seconds = static_cast<std::time_t>(wallMs >= 0 ? wallMs / 1000 : (wallMs - 999) / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    return LocalMoment{local.tm_wday, local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec};
}

std::optional<RecordingPlan> RecordingPlan::fromScheduleText(const std::string& text)
{
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors) || !root.isArray() ||
        root.size() != 7)
        return std::nullopt;
    RecordingPlan plan;
    for (Json::ArrayIndex day = 0; day < 7; ++day) {
        const Json::Value& periods = root[day];
        if (periods.isNull())
            continue;
        if (!periods.isArray())
            return std::nullopt;
        for (const auto& period : periods) {
            if (!period.isObject() || !period["S"].isUInt() || !period["E"].isUInt())
                return std::nullopt;
            PlanPeriod p;
            p.startSecond = period["S"].asUInt();
            p.endSecond = period["E"].asUInt();
            p.type = period.isMember("T") && period["T"].isUInt() && period["T"].asUInt() == 0 ? RecordType::Normal
                                                                                               : RecordType::Alarm;
            if (p.startSecond > p.endSecond || p.endSecond > 86399)
                return std::nullopt;
            plan.days[day].push_back(p);
        }
    }
    return plan;
}

bool RecordingPlan::empty() const
{
    for (const auto& day : days)
        if (!day.empty())
            return false;
    return true;
}

std::optional<RecordType> RecordingPlan::decide(const LocalMoment& moment, bool alarmWindow) const
{
    if (moment.weekday < 0 || moment.weekday > 6)
        return std::nullopt;
    bool normal = false;
    bool alarm = false;
    for (const auto& p : days[static_cast<std::size_t>(moment.weekday)]) {
        if (moment.secondOfDay < static_cast<int>(p.startSecond) || moment.secondOfDay > static_cast<int>(p.endSecond))
            continue;
        (p.type == RecordType::Normal ? normal : alarm) = true;
    }
    if (alarm && alarmWindow)
        return RecordType::Alarm;
    if (normal)
        return RecordType::Normal;
    return std::nullopt;
}

}  // namespace velk::recorder
