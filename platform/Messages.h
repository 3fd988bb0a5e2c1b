// SPDX-License-Identifier: GPL-3.0-or-later
// Private window message numbers shared by the control, its panels and workers.
#pragma once

#include <cstdint>

namespace platform {

enum Message : std::uint32_t {
    WM_SIZE = 0x0005,  // the control's size message (wParam, lParam as given)

    WM_CHANNEL_CLICK = 0x401,
    WM_CHANNEL_DBLCLK = 0x404,
    WM_ALARM_2 = 0x406,
    WM_ALARM_1 = 0x407,
    WM_ALARM_0 = 0x408,
    WM_BACKUP_NOTIFY = 0x413,       // 0x413..0x418, flag = message - 0x413
    WM_BACKUP_NOTIFY_LAST = 0x418,
    WM_TIMELINE_SEEK = 0x803,
    WM_TIMELINE_VIEW = 0x805,
    WM_CHANNEL_RECORD_STATE = 0x807,
    WM_CHANNEL_VIEW_STATE = 0x808,
    WM_DEVICE_STATE_CHANGED = 0x812,
    WM_GRID_DAY_EDITED = 0x813,
    WM_STREAMTYPE_CHANGED = 0x814,
    WM_DEVICE_ALARM = 0x815,  // alarms wait in the device's alarm mailbox for the window
};

}  // namespace platform
