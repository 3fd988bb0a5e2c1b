// SPDX-License-Identifier: GPL-3.0-or-later
#include "proto/JsonText.h"

#include <json/reader.h>
#include <json/writer.h>

#include <limits>
#include <string>
#include <exception>
#include <memory>

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

bool isInteger(const Json::Value& v)
{
    return v.type() == Json::intValue || v.type() == Json::uintValue;
}

}  // namespace

std::string writeJson(const Json::Value& value)
{
    return Json::writeString(compactWriter(), value);
}

bool parseJsonObject(std::string_view text, Json::Value& out, std::string* error)
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

}  // namespace velk::proto
