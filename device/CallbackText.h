// SPDX-License-Identifier: GPL-3.0-or-later
// The JSON texts the network library hands stream callbacks
// ({"KEY": name, "PARAM": {...}}), read the same way by every window. Any
// thread.
#pragma once

#include <json/value.h>

#include <cstdint>
#include <string>

struct CallbackText {
    std::string key;
    Json::Value param;  // an object
};

// Reads a callback's text (up to its terminator when it has one); false
// for no text, a text that is not JSON, or one without a text KEY and an
// object PARAM.
bool readCallbackText(const std::uint8_t* data, std::uint32_t length, CallbackText& text);
