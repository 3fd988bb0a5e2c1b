// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/PlaybackChannels.h"

#include <bit>

namespace playback_channels {

int channelCount(std::uint32_t mask)
{
    return std::popcount(mask);
}

int rowsFor(std::uint32_t mask)
{
    if (mask <= 1)
        return static_cast<int>(mask);
    if (mask < 16)
        return 4;
    if (mask < 64)
        return 6;
    if (mask < 256)
        return 8;
    if (mask < 512)
        return 9;
    if (mask < 8192)
        return 13;
    return 16;
}

int timelineRowsFor(std::uint32_t mask)
{
    const int rows = rowsFor(mask);
    return rows <= 4 ? 4 : (rows <= 8 ? 8 : 16);
}

}  // namespace playback_channels
