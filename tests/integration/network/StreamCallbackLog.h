// SPDX-License-Identifier: GPL-3.0-or-later
// A stream callback for tests: records every call per user data (the
// pointer-sized value REALPLAY was given), with a copy of its data.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace nettest {

struct StreamCall {
    std::uint32_t type = 0;
    std::string data;
    std::uint32_t kind = 0;
    std::thread::id thread;
    std::chrono::system_clock::time_point at;
};

std::vector<StreamCall> streamCalls(std::uintptr_t userData);
// Waits until done(calls so far) holds; false on timeout.
bool waitForStreamCalls(std::uintptr_t userData, const std::function<bool(const std::vector<StreamCall>&)>& done,
                        int timeoutMs);
// Waits for a call of this type after the first skip calls; false on timeout.
bool waitForStreamCallType(std::uintptr_t userData, std::uint32_t type, int timeoutMs, std::size_t skip = 0);
// Makes each call for userData take this long.
void setStreamCallbackDelayMs(std::uintptr_t userData, int delayMs);
// Runs action inside each call for userData (after recording it).
void setStreamCallbackAction(std::uintptr_t userData, std::function<void(const StreamCall&)> action);
void forgetStreamCalls(std::uintptr_t userData);

}  // namespace nettest

// The callback whose address REALPLAY texts of the tests carry.
extern "C" std::int32_t testStreamCallback(std::uint32_t type, void* userData, const std::uint8_t* data,
                                           std::uint32_t length, std::uint32_t kind);
