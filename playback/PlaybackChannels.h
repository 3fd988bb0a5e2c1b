// SPDX-License-Identifier: GPL-3.0-or-later
// What a playback channel selection (bit n = channel n) means for the
// timeline and the grid. Pure calculations.
#pragma once

#include <cstdint>

namespace playback_channels {

// The number of selected channels.
int channelCount(std::uint32_t mask);

// Rows the selection asks for: 0 for no channel, 1 for channel 1 alone,
// then 4, 6, 8, 9, 13 or 16 by the highest selected channel.
int rowsFor(std::uint32_t mask);

// Rows the timeline is given for that: 4, 8 or 16.
int timelineRowsFor(std::uint32_t mask);

}  // namespace playback_channels
