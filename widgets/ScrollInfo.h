// SPDX-License-Identifier: GPL-3.0-or-later
// The records and style bits of the scroll-bar control messages
// (SBM_SETSCROLLINFO, SBM_GETSCROLLINFO, SBM_GETSCROLLBARINFO in
// platform/Messages.h). Their field layout is the desktop's, so that code
// written against an ordinary scroll bar reads the same: a record whose
// cbSize is not the record's size is refused.
#pragma once

#include <cstdint>

// Style bits given to CXeScrollBarBase::Create.
inline constexpr std::uint32_t SBS_HORZ = 0x0;  // no vertical bit: horizontal
inline constexpr std::uint32_t SBS_VERT = 0x1;
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000;
inline constexpr std::uint32_t WS_DISABLED = 0x08000000;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000;

// ScrollInfo::fMask bits.
inline constexpr std::uint32_t SIF_RANGE = 0x1;
inline constexpr std::uint32_t SIF_PAGE = 0x2;
inline constexpr std::uint32_t SIF_POS = 0x4;
inline constexpr std::uint32_t SIF_DISABLENOSCROLL = 0x8;
inline constexpr std::uint32_t SIF_TRACKPOS = 0x10;
inline constexpr std::uint32_t SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;

// SBM_ENABLE_ARROWS flags (wParam).
inline constexpr std::uint32_t ESB_ENABLE_BOTH = 0x0;
inline constexpr std::uint32_t ESB_DISABLE_LTUP = 0x1;
inline constexpr std::uint32_t ESB_DISABLE_RTDN = 0x2;
inline constexpr std::uint32_t ESB_DISABLE_BOTH = 0x3;

// ScrollBarInfo::rgstate bits.
inline constexpr std::uint32_t STATE_SYSTEM_UNAVAILABLE = 0x1;
inline constexpr std::uint32_t STATE_SYSTEM_PRESSED = 0x8;
inline constexpr std::uint32_t STATE_SYSTEM_INVISIBLE = 0x8000;

// Range, page and position of a scroll bar (lParam of SBM_SETSCROLLINFO and
// SBM_GETSCROLLINFO). fMask says which fields a set takes.
struct ScrollInfo {
    std::uint32_t cbSize = sizeof(ScrollInfo);
    std::uint32_t fMask = 0;
    std::int32_t nMin = 0;
    std::int32_t nMax = 0;
    std::uint32_t nPage = 0;
    std::int32_t nPos = 0;
    std::int32_t nTrackPos = 0;
};
static_assert(sizeof(ScrollInfo) == 28, "ScrollInfo keeps the desktop's 28-byte layout");

// A rectangle with right and bottom exclusive, in screen pixels.
struct ScrollRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// What SBM_GETSCROLLBARINFO reports. rgstate: 0 the bar, 1 the first arrow,
// 2 the track before the thumb, 3 the thumb, 4 the track after the thumb,
// 5 the second arrow.
struct ScrollBarInfo {
    std::uint32_t cbSize = sizeof(ScrollBarInfo);
    ScrollRect rcScrollBar;        // the bar on the screen
    std::int32_t dxyLineButton = 0;  // arrow length
    std::int32_t xyThumbTop = 0;     // thumb start along the axis, in the bar
    std::int32_t xyThumbBottom = 0;  // thumb end (exclusive)
    std::int32_t reserved = 0;
    std::uint32_t rgstate[6] = {};
};
static_assert(sizeof(ScrollBarInfo) == 60, "ScrollBarInfo keeps the desktop's 60-byte layout");
