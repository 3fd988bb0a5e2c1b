// SPDX-License-Identifier: GPL-3.0-or-later
// Control ids of the playback page's windows. A skinned button posts its id
// to its parent as the message number when pressed, so no id here may be a
// message the parent handles otherwise (WM_KEYDOWN 0x100, WM_HSCROLL 0x114,
// WM_VSCROLL 0x115, the 0x800 range, the slider's 0x28D1/0x28D2).
#pragma once

namespace playback_ids {

constexpr int kVolumeSlider = 199;
constexpr int kGrid = 201;
constexpr int kBar = 202;
constexpr int kTimelineToggle = 295;
constexpr int kFullScreen = 301;
constexpr int kTimelineScroll = 303;
constexpr int kViewMode = 359;
// The bar's push buttons.
constexpr int kPlay = 310;
constexpr int kPause = 311;
constexpr int kStop = 312;
constexpr int kSlow = 313;
constexpr int kFast = 314;
constexpr int kNextFrame = 315;
constexpr int kSnapshot = 316;
constexpr int kZoomIn = 317;
constexpr int kZoomOut = 318;
constexpr int kVolume = 319;
constexpr int kMuted = 320;
constexpr int kSplit4 = 321;
constexpr int kSplit9 = 322;
constexpr int kSplit16 = 323;
constexpr int kPrevious = 324;
constexpr int kNext = 325;

}  // namespace playback_ids
