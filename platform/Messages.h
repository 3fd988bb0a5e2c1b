// SPDX-License-Identifier: GPL-3.0-or-later
// Private window message numbers shared by the control, its panels and workers.
#pragma once

#include <cstdint>

namespace platform {

enum Message : std::uint32_t {
    WM_SIZE = 0x0005,  // the control's size message (wParam, lParam as given)
    WM_KEYDOWN = 0x0100,  // posted by the timeline to its parent for Space (play/pause)
    // Scroll notifications to a scroll bar's parent: wParam low word the
    // code (SB_*), high word the position; lParam the bar's window handle.
    WM_HSCROLL = 0x0114,
    WM_VSCROLL = 0x0115,

    // Scroll-bar control messages a skinned scroll bar answers.
    SBM_SETPOS = 0x00E0,
    SBM_GETPOS = 0x00E1,
    SBM_SETRANGE = 0x00E2,
    SBM_GETRANGE = 0x00E3,
    SBM_ENABLE_ARROWS = 0x00E4,
    SBM_SETRANGEREDRAW = 0x00E6,
    SBM_SETSCROLLINFO = 0x00E9,
    SBM_GETSCROLLINFO = 0x00EA,
    SBM_GETSCROLLBARINFO = 0x00EB,

    WM_CHANNEL_CLICK = 0x401,
    WM_CHANNEL_DBLCLK = 0x404,
    WM_ALARM_2 = 0x406,
    WM_ALARM_1 = 0x407,
    WM_ALARM_0 = 0x408,
    WM_BACKUP_NOTIFY = 0x413,       // 0x413..0x418, flag = message - 0x413
    WM_BACKUP_NOTIFY_LAST = 0x418,
    WM_PLAYBACK_FULLSCREEN = 0x800,  // wParam 1 enter, 0 leave
    WM_TIMELINE_SEEK = 0x803,  // wParam: SystemTime* of the cursor time (sent)
    WM_TIMELINE_VIEW = 0x805,  // wParam: SystemTime* of the view start (sent)
    WM_CHANNEL_RECORD_STATE = 0x807,
    WM_CHANNEL_VIEW_STATE = 0x808,
    WM_DEVICE_STATE_CHANGED = 0x812,
    WM_GRID_DAY_EDITED = 0x813,
    WM_STREAMTYPE_CHANGED = 0x814,
    WM_DEVICE_ALARM = 0x815,  // alarms wait in the device's alarm mailbox for the window
    WM_BACKUP_MAIL = 0x816,   // backup notes wait in the backup mailbox for the window

    // A bitmap slider's thumb moved (drag) or settled (drag end, key);
    // wParam the slider's control id, lParam the position.
    WM_SLIDER_DRAG = 0x28D1,
    WM_SLIDER_POS = 0x28D2,
};

// Scroll notification codes (low word of WM_HSCROLL / WM_VSCROLL's wParam).
enum ScrollCode : std::uint32_t {
    SB_LINEUP = 0,  // also line left
    SB_LINEDOWN = 1,
    SB_PAGEUP = 2,
    SB_PAGEDOWN = 3,
    SB_THUMBPOSITION = 4,
    SB_THUMBTRACK = 5,
    SB_TOP = 6,
    SB_BOTTOM = 7,
    SB_ENDSCROLL = 8,
};

}  // namespace platform
