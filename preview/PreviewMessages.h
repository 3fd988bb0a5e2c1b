// SPDX-License-Identifier: GPL-3.0-or-later
// Private window messages between the video windows, their grid and the
// preview panel. The ones the control handles (WM_CHANNEL_CLICK,
// WM_CHANNEL_DBLCLK, WM_CHANNEL_RECORD_STATE, WM_CHANNEL_VIEW_STATE,
// WM_STREAMTYPE_CHANGED) are in platform/Messages.h.
#pragma once

#include "platform/Messages.h"

#include <cstdint>

namespace preview {

enum PreviewMessage : std::uint32_t {
    // Gestures a video window reports to its grid.
    WM_CHANNEL_BUTTONUP = 0x405,   // wParam window index, lParam 1
    WM_CHANNEL_MENU = 0x701,       // view -> its window: right button released
    WM_EXIT_FULLSCREEN = 0x806,    // a key or the menu asks to leave full screen
    WM_CHANNEL_VIEW_ALL = 0x809,   // wParam 0 open all, 1 close all
    WM_CHANNEL_DRAG = 0x815,       // wParam window index: a drag began

    // A window to itself, posted from worker and library threads so that
    // everything that touches a widget runs on the UI thread.
    WM_VIEW_STATUS_SHOW = 0xA01,      // view: show its current status (repaint)
    WM_STREAM_FIRST_FRAME = 0xA02,    // window: wParam stream generation
    WM_STREAM_FAILED = 0xA03,         // window: wParam stream generation, lParam status to show
    WM_PICTURE_SIZE_KNOWN = 0xA04,    // window: lay the view out for the picture size
};

}  // namespace preview
