// SPDX-License-Identifier: GPL-3.0-or-later
// LOGIN and LOGOUT: reading their parameters and running them.
#pragma once

#include "CommandOutputs.h"
#include "LoginCredentials.h"
#include "Runtime.h"

#include <json/value.h>

#include <cstdint>
#include <optional>

namespace velk::tovr {

struct LoginParams {
    LoginCredentials credentials;
    std::uint64_t callback = 0;  // address of a TOVR_DeviceCallback; 0 = none
    std::uint32_t userData = 0;
};

// nullopt when a member is missing, of the wrong JSON kind or out of range.
std::optional<LoginParams> readLoginParams(const Json::Value& param);

// Caller's thread (never a library thread for LOGIN's waiting part).
std::int32_t runLogin(Runtime& runtime, const Json::Value& param, const CommandOutputs& out);
std::int32_t runLogout(Runtime& runtime, const Json::Value& param, const CommandOutputs& out);

}  // namespace velk::tovr
