// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the network library's entry point, linked into the control
// tests in place of libTOVR's: it records every command text and answers
// LOGIN as the test says.
#pragma once

#include "TOVR.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fake_tovr {

// Forgets the commands and answers LOGIN with success and a fresh handle.
void reset();
// How the next LOGIN commands are answered.
void setLoginAnswer(std::int32_t result, std::uint32_t handle, std::uint32_t detail);
// KEY of every command so far, in order.
std::vector<std::string> keys();
// Texts of the commands with this KEY.
std::vector<std::string> commands(const std::string& key);
// CALLBACK and USERDATA of the last LOGIN.
TOVR_DeviceCallback lastDeviceCallback();
std::uint32_t lastUserData();

}  // namespace fake_tovr
