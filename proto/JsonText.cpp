// SPDX-License-Identifier: GPL-3.0-or-later
#include "proto/JsonText.h"

#include <json/reader.h>
#include <json/writer.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <exception>
#include <limits>
#include <memory>
#include <string>

namespace velk::proto {

namespace {

const Json::StreamWriterBuilder& compactWriter()
{
    static const Json::StreamWriterBuilder builder = [] {
        Json::StreamWriterBuilder b;
        b["indentation"] = "";
        b["emitUTF8"] = true;
        return b;
    }();
    return builder;
}

const Json::CharReaderBuilder& strictReader()
{
    static const Json::CharReaderBuilder builder = [] {
        Json::CharReaderBuilder b;
        Json::CharReaderBuilder::strictMode(&b.settings_);
        b["stackLimit"] = 64;
        return b;
    }();
    return builder;
}

constexpr long long kLooseIntegerLimit = 1LL << 40;

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
        value = std::min(value * 10 + (text[i] - '0'), kLooseIntegerLimit);
    return negative ? -value : value;
}

bool isInteger(const Json::Value& v)
{
    return v.type() == Json::intValue || v.type() == Json::uintValue;
}

}  // namespace

std::string writeJson(const Json::Value& value)
{
    return Json::writeString(compactWriter(), value);
}

bool parseJsonValue(std::string_view text, Json::Value& out, std::string* error)
{
    const std::unique_ptr<Json::CharReader> reader(strictReader().newCharReader());
    std::string errors;
    Json::Value value;
    bool parsed = false;
    try {
        parsed = reader->parse(text.data(), text.data() + text.size(), &value, &errors);
    } catch (const std::exception& e) {
        // JsonCpp throws instead of failing when nesting passes stackLimit.
        errors = e.what();
    }
    if (!parsed) {
        if (error)
            *error = errors;
        return false;
    }
    out = std::move(value);
    return true;
}

bool parseJsonObject(std::string_view text, Json::Value& out, std::string* error)
{
    Json::Value value;
    if (!parseJsonValue(text, value, error))
        return false;
    if (!value.isObject()) {
        if (error)
            *error = "not a JSON object";
        return false;
    }
    out = std::move(value);
    return true;
}

std::optional<std::uint64_t> memberUInt64(const Json::Value& object, const char* name)
{
    const Json::Value* v = object.isObject() ? object.find(name, name + std::char_traits<char>::length(name)) : nullptr;
    if (!v || !isInteger(*v) || !v->isUInt64())
        return std::nullopt;
    return v->asUInt64();
}

std::optional<std::uint32_t> memberUInt32(const Json::Value& object, const char* name)
{
    const auto wide = memberUInt64(object, name);
    if (!wide || *wide > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return static_cast<std::uint32_t>(*wide);
}

std::optional<std::int32_t> memberInt32(const Json::Value& object, const char* name)
{
    const Json::Value* v = object.isObject() ? object.find(name, name + std::char_traits<char>::length(name)) : nullptr;
    if (!v || !isInteger(*v) || !v->isInt())
        return std::nullopt;
    return v->asInt();
}

std::optional<std::string> memberString(const Json::Value& object, const char* name)
{
    const Json::Value* v = object.isObject() ? object.find(name, name + std::char_traits<char>::length(name)) : nullptr;
    if (!v || !v->isString())
        return std::nullopt;
    return v->asString();
}

std::optional<long long> looseInteger(const Json::Value& v)
{
    switch (v.type()) {
    case Json::intValue:
        return std::clamp<long long>(v.asLargestInt(), -kLooseIntegerLimit, kLooseIntegerLimit);
    case Json::uintValue:
        return static_cast<long long>(std::min<Json::LargestUInt>(v.asLargestUInt(), kLooseIntegerLimit));
    case Json::realValue: {
        const double d = v.asDouble();
        if (!std::isfinite(d))
            return std::nullopt;
        return static_cast<long long>(
            std::clamp(std::trunc(d), double(-kLooseIntegerLimit), double(kLooseIntegerLimit)));
    }
    case Json::stringValue:
        return leadingInteger(v.asString());
    default:
        return std::nullopt;
    }
}

}  // namespace velk::proto
