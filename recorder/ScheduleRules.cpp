// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScheduleRules.h"

#include "proto/JsonText.h"

#include <json/reader.h>
#include <json/value.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <exception>
#include <memory>
#include <optional>

namespace velk::recorder {

namespace {

constexpr Json::ArrayIndex kDays = 7;
constexpr Json::ArrayIndex kMaxPeriodsPerDay = 8;
constexpr long long kLastSecond = 86399;
constexpr long long kValueLimit = 1LL << 40;  // beyond every valid value; keeps arithmetic in range
constexpr int kMaxNesting = 16;

// Leading white space, an optional sign, then the leading digits; none is 0.
long long leadingInteger(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        value = std::min(value * 10 + (text[i] - '0'), kValueLimit);
    return negative ? -value : value;
}

std::optional<long long> integerOf(const Json::Value& v)
{
    switch (v.type()) {
    case Json::intValue:
        return std::clamp<long long>(v.asLargestInt(), -kValueLimit, kValueLimit);
    case Json::uintValue:
        return static_cast<long long>(std::min<Json::LargestUInt>(v.asLargestUInt(), kValueLimit));
    case Json::realValue: {
        const double d = v.asDouble();
        if (!std::isfinite(d))
            return std::nullopt;
        return static_cast<long long>(std::clamp(std::trunc(d), double(-kValueLimit), double(kValueLimit)));
    }
    case Json::stringValue:
        return leadingInteger(v.asString());
    default:
        return std::nullopt;
    }
}

bool parse(std::string_view text, Json::Value& root, std::string& error)
{
    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    builder["stackLimit"] = kMaxNesting;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    try {
        if (reader->parse(text.data(), text.data() + text.size(), &root, &errors))
            return true;
    } catch (const std::exception& e) {
        errors = e.what();  // nesting beyond the stack limit
    }
    error = "not JSON: " + errors;
    return false;
}

bool normalisePeriod(const Json::Value& entry, Json::Value& out, std::string& error)
{
    if (!entry.isObject()) {
        error = "a period is not an object";
        return false;
    }
    const Json::Value* start = entry.find("S", "S" + 1);
    const Json::Value* end = entry.find("E", "E" + 1);
    const std::optional<long long> s = start ? integerOf(*start) : std::nullopt;
    const std::optional<long long> e = end ? integerOf(*end) : std::nullopt;
    if (!s || !e) {
        error = "a period needs \"S\" and \"E\" as numbers or numeric texts";
        return false;
    }
    if (*s < 0 || *e > kLastSecond || *s > *e) {
        error = "a period must lie within 0..86399 and end no earlier than it starts";
        return false;
    }
    out = Json::Value(Json::objectValue);
    out["S"] = Json::Int64(*s);
    out["E"] = Json::Int64(*e);
    if (const Json::Value* type = entry.find("T", "T" + 1)) {
        const std::optional<long long> t = integerOf(*type);
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
    if (!parse(text, root, error))
        return false;
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
