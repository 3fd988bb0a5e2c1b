// SPDX-License-Identifier: GPL-3.0-or-later
// Private messages the overlay window posts to itself from the libraries'
// threads, so that everything that touches the window runs on the UI thread.
#pragma once

#include <cstdint>

namespace overlay {

enum OverlayMessage : std::uint32_t {
    WM_OVERLAY_STATUS = 0xB01,   // wParam stream generation: the status changed, repaint
    WM_OVERLAY_MEASURE = 0xB02,  // the text items must be measured for the pictures drawn
    WM_OVERLAY_STREAM_ENDED = 0xB03,  // wParam stream generation: the recorder ended the stream
};

}  // namespace overlay
