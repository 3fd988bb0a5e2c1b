// SPDX-License-Identifier: GPL-3.0-or-later
// The device callback given to the network library at LOGIN.
#pragma once

#include "platform/Window.h"

#include <cstdint>

// Runs on a network library thread: for kind 8 it posts
// WM_DEVICE_STATE_CHANGED to the control window of the session whose id is
// userData; for an alarm (kind 16) it leaves the alarm in the window's
// mailbox (AlarmMailbox.h) and posts WM_DEVICE_ALARM. Returns 0.
extern "C" std::int32_t DeviceCallback(std::uint32_t kind, std::uint32_t userData, std::uint32_t value1,
                                       std::uint32_t value2, std::uint32_t value3);

// Where the callback finds a session's control window. Any thread.
void registerSessionWindow(std::uint32_t sessionId, platform::WindowHandle control);
void unregisterSessionWindow(std::uint32_t sessionId);
