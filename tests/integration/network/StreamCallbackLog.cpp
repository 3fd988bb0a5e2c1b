// SPDX-License-Identifier: GPL-3.0-or-later
#include "StreamCallbackLog.h"

#include <condition_variable>
#include <map>
#include <mutex>

namespace nettest {

namespace {

std::mutex g_streamCallsLock;  // guards g_calls, g_delays and g_actions
std::condition_variable g_streamCallsChanged;
std::map<std::uintptr_t, std::vector<StreamCall>> g_calls;
std::map<std::uintptr_t, int> g_delays;
std::map<std::uintptr_t, std::function<void(const StreamCall&)>> g_actions;

}  // namespace

std::vector<StreamCall> streamCalls(std::uintptr_t userData)
{
    std::lock_guard lock(g_streamCallsLock);
    return g_calls[userData];
}

bool waitForStreamCalls(std::uintptr_t userData, const std::function<bool(const std::vector<StreamCall>&)>& done,
                        int timeoutMs)
{
    std::unique_lock lock(g_streamCallsLock);
    return g_streamCallsChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                         [&] { return done(g_calls[userData]); });
}

bool waitForStreamCallType(std::uintptr_t userData, std::uint32_t type, int timeoutMs, std::size_t skip)
{
    return waitForStreamCalls(
        userData,
        [&](const std::vector<StreamCall>& calls) {
            for (std::size_t i = skip; i < calls.size(); ++i)
                if (calls[i].type == type)
                    return true;
            return false;
        },
        timeoutMs);
}

void setStreamCallbackDelayMs(std::uintptr_t userData, int delayMs)
{
    std::lock_guard lock(g_streamCallsLock);
    g_delays[userData] = delayMs;
}

void setStreamCallbackAction(std::uintptr_t userData, std::function<void(const StreamCall&)> action)
{
    std::lock_guard lock(g_streamCallsLock);
    g_actions[userData] = std::move(action);
}

void forgetStreamCalls(std::uintptr_t userData)
{
    std::lock_guard lock(g_streamCallsLock);
    g_calls.erase(userData);
}

}  // namespace nettest

// Runs on one of the library's callback threads.
extern "C" std::int32_t testStreamCallback(std::uint32_t type, void* userData, const std::uint8_t* data,
                                           std::uint32_t length, std::uint32_t kind)
{
    using namespace nettest;
    const auto key = reinterpret_cast<std::uintptr_t>(userData);
    int delayMs = 0;
    std::function<void(const StreamCall&)> action;
    StreamCall call;
    call.type = type;
    if (data && length > 0)
        call.data.assign(reinterpret_cast<const char*>(data), length);
    call.kind = kind;
    call.thread = std::this_thread::get_id();
    call.at = std::chrono::system_clock::now();
    {
        std::lock_guard lock(g_streamCallsLock);
        delayMs = g_delays[key];
        action = g_actions[key];
        g_calls[key].push_back(call);
    }
    g_streamCallsChanged.notify_all();
    if (delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    if (action)
        action(call);
    return 0;
}
