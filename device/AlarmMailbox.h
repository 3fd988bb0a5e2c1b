// SPDX-License-Identifier: GPL-3.0-or-later
// Alarms on their way from the network library's callback thread to the
// control window they belong to. The callback leaves each alarm here and
// posts WM_DEVICE_ALARM to the window; the window, on its own thread,
// takes what is waiting for it. A posted message carries no text of its
// own, so nothing is lost or leaked when a window goes away first: its
// alarms are dropped with it.
#pragma once

#include "platform/Window.h"

#include <cstdint>
#include <string>
#include <vector>

struct DeviceAlarm {
    std::uint32_t channel = 0;  // 0-based
    std::uint32_t kind = 0;     // TOVR_ALARM_* of TOVR.h
    bool active = false;        // raised (true) or over (false)
    std::string localTime;      // when the control heard of it, "YYYY-MM-DD hh:mm:ss"
};

// The alarm content text handed to the page with UploadAlarm, a JSON
// object: {"active":true,"channel":3,"kind":"motion","time":"2026-12-08 10:15:00"}.
std::string alarmContentText(const DeviceAlarm& alarm);

// The UploadAlarm type: 1 a motion alarm raised, 0 an alarm input (or any
// other kind) raised, 2 an alarm of any kind over.
std::uint32_t alarmUploadType(const DeviceAlarm& alarm);

// Any thread. Keeps at most kMaxWaiting alarms per window; beyond, the
// oldest goes (a window that does not take them is not kept alive by them).
void leaveAlarm(platform::WindowHandle window, DeviceAlarm alarm);
// The window's thread: the alarms waiting for the window, oldest first.
std::vector<DeviceAlarm> takeAlarms(platform::WindowHandle window);
// The window is gone: what waits for it is dropped.
void dropAlarms(platform::WindowHandle window);

inline constexpr std::size_t kMaxWaitingAlarms = 256;
