// SPDX-License-Identifier: GPL-3.0-or-later
// Every skin image of the control, by family.
#pragma once

#include "SkinCanvas.h"

#include <vector>

std::vector<SkinImage> buttonSkins();      // playback bar buttons, four states each
std::vector<SkinImage> scrollBarSkins();   // the eight scroll bar strips
std::vector<SkinImage> sliderSkins();      // volume slider track and thumbs
std::vector<SkinImage> backgroundSkins();  // panel and bar backgrounds
