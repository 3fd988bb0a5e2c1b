// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/CallbackText.h"

#include <json/reader.h>

#include <algorithm>
#include <memory>

bool readCallbackText(const std::uint8_t* data, std::uint32_t length, CallbackText& text)
{
    if (data == nullptr || length == 0)
        return false;
    const auto* begin = reinterpret_cast<const char*>(data);
    // A text that ends with its terminator is read up to it.
    const char* end = std::find(begin, begin + length, '\0');
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    if (!reader->parse(begin, end, &root, &errors) || !root.isObject())
        return false;
    const Json::Value& key = root["KEY"];
    const Json::Value& param = root["PARAM"];
    if (!key.isString() || !param.isObject())
        return false;
    text.key = key.asString();
    text.param = param;
    return true;
}
