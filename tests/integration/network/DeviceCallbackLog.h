// SPDX-License-Identifier: GPL-3.0-or-later
// A device callback for tests: records every call, per user data.
#pragma once

#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

namespace nettest {

struct DeviceCallbackCall {
    std::uint32_t kind = 0;
    std::uint32_t userData = 0;
    std::uint32_t value1 = 0, value2 = 0, value3 = 0;
    std::thread::id thread;
};

// Calls recorded for this user data so far.
std::vector<DeviceCallbackCall> deviceCallbackCalls(std::uint32_t userData);
// Waits until at least count calls for userData arrived; false on timeout.
bool waitForDeviceCallbacks(std::uint32_t userData, std::size_t count, int timeoutMs);
// Makes each call of the callback for userData take this long.
void setDeviceCallbackDelayMs(std::uint32_t userData, int delayMs);
// Runs action inside the callback for userData (before recording the call).
void setDeviceCallbackAction(std::uint32_t userData, std::function<void()> action);

}  // namespace nettest

// The callback whose address LOGIN texts of the tests carry.
extern "C" std::int32_t testDeviceCallback(std::uint32_t kind, std::uint32_t userData, std::uint32_t value1,
                                           std::uint32_t value2, std::uint32_t value3);
