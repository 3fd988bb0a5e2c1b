// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/DeviceCallback.h"

#include "device/AlarmMailbox.h"
#include "platform/Messages.h"

#include "TOVR.h"

#include <QDateTime>

#include <mutex>
#include <type_traits>
#include <unordered_map>

static_assert(std::is_same_v<decltype(&DeviceCallback), TOVR_DeviceCallback>,
              "DeviceCallback must have the network library's callback type");

namespace {

struct SessionWindowRegistry {
    // Guards windows; held only to read or change one entry.
    std::mutex windowsLock;
    std::unordered_map<std::uint32_t, platform::WindowHandle> windows;  // session id -> control window
};

// Never destroyed, so a library thread that calls back while the process
// exits still finds a valid registry.
SessionWindowRegistry& registry()
{
    static auto* instance = new SessionWindowRegistry;
    return *instance;
}

// Any thread.
platform::WindowHandle windowOf(std::uint32_t sessionId)
{
    SessionWindowRegistry& reg = registry();
    std::lock_guard<std::mutex> guard(reg.windowsLock);
    const auto found = reg.windows.find(sessionId);
    return found == reg.windows.end() ? 0 : found->second;
}

}  // namespace

// The library knows a session only by its id (USERDATA), never by its
// address, so a notification that arrives after the session was deleted
// finds no window and does nothing.
extern "C" std::int32_t DeviceCallback(std::uint32_t kind, std::uint32_t userData, std::uint32_t value1,
                                       std::uint32_t value2, std::uint32_t value3)
{
    if ((kind != TOVR_DEVICE_NOTIFY_STATE_CHANGED && kind != TOVR_DEVICE_NOTIFY_ALARM) || userData == 0) {
        return 0;
    }
    const platform::WindowHandle control = windowOf(userData);
    if (control == 0) {
        return 0;
    }
    if (kind == TOVR_DEVICE_NOTIFY_STATE_CHANGED) {
        platform::postMessage(control, platform::WM_DEVICE_STATE_CHANGED, 0, 0);
        return 0;
    }
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    leaveAlarm(control, DeviceAlarm{value1, value2, value3 != 0, now.toStdString()});
    platform::postMessage(control, platform::WM_DEVICE_ALARM, 0, 0);
    return 0;
}

void registerSessionWindow(std::uint32_t sessionId, platform::WindowHandle control)
{
    if (sessionId == 0) {
        return;
    }
    if (control == 0) {
        unregisterSessionWindow(sessionId);
        return;
    }
    SessionWindowRegistry& reg = registry();
    std::lock_guard<std::mutex> guard(reg.windowsLock);
    reg.windows[sessionId] = control;
}

void unregisterSessionWindow(std::uint32_t sessionId)
{
    SessionWindowRegistry& reg = registry();
    std::lock_guard<std::mutex> guard(reg.windowsLock);
    reg.windows.erase(sessionId);
}
