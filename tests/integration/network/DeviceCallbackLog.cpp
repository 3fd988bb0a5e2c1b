// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceCallbackLog.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

namespace nettest {

namespace {

std::mutex g_callsLock;  // guards g_calls, g_delays and g_actions
std::condition_variable g_callsChanged;
std::map<std::uint32_t, std::vector<DeviceCallbackCall>> g_calls;
std::map<std::uint32_t, int> g_delays;
std::map<std::uint32_t, std::function<void()>> g_actions;

}  // namespace

std::vector<DeviceCallbackCall> deviceCallbackCalls(std::uint32_t userData)
{
    std::lock_guard lock(g_callsLock);
    return g_calls[userData];
}

bool waitForDeviceCallbacks(std::uint32_t userData, std::size_t count, int timeoutMs)
{
    std::unique_lock lock(g_callsLock);
    return g_callsChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return g_calls[userData].size() >= count; });
}

void setDeviceCallbackDelayMs(std::uint32_t userData, int delayMs)
{
    std::lock_guard lock(g_callsLock);
    g_delays[userData] = delayMs;
}

void setDeviceCallbackAction(std::uint32_t userData, std::function<void()> action)
{
    std::lock_guard lock(g_callsLock);
    g_actions[userData] = std::move(action);
}

}  // namespace nettest

// Runs on the library's callback thread.
extern "C" std::int32_t testDeviceCallback(std::uint32_t kind, std::uint32_t userData, std::uint32_t value1,
                                           std::uint32_t value2, std::uint32_t value3)
{
    using namespace nettest;
    int delayMs = 0;
    std::function<void()> action;
    {
        std::lock_guard lock(g_callsLock);
        delayMs = g_delays[userData];
        action = g_actions[userData];
    }
    if (delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    if (action)
        action();
    {
        std::lock_guard lock(g_callsLock);
        g_calls[userData].push_back({kind, userData, value1, value2, value3, std::this_thread::get_id()});
    }
    g_callsChanged.notify_all();
    return 0;
}
