// SPDX-License-Identifier: GPL-3.0-or-later
// The moving synthetic picture of one channel's stream: a static gradient
// tinted per channel, a bright square gliding to and fro once per loop,
// the channel number ("CH05", 1-based as users count), the stream's label
// and size, and a clock that counts the loop's own time ("00:07.24"). The
// picture at index 0 follows the last one seamlessly, so the encoded loop
// can be played round and round.
#pragma once

#include "BitmapFont.h"
#include "StreamProfile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velk::recorder {

class SyntheticPicture {
public:
    SyntheticPicture(std::uint32_t channel, const StreamProfile& profile, std::size_t loopFrames);

    // Draws picture index (0 .. loopFrames-1) into 4:2:0 planes of the
    // profile's size (chroma planes half as wide and high). Any thread.
    void draw(std::size_t index, Plane luma, Plane cb, Plane cr) const;

    // "mm:ss.cc" of picture index in the loop's own time.
    static std::string clockText(std::size_t index, unsigned frameRate);
    // "CH05": the channel number as users count (1-based).
    static std::string channelText(std::uint32_t channel);

private:
    const std::uint32_t m_channel;
    const StreamProfile m_profile;
    const std::size_t m_loopFrames;
    std::vector<std::uint8_t> m_background;  // luma, width x height
    std::uint8_t m_cb = 128;
    std::uint8_t m_cr = 128;
};

}  // namespace velk::recorder
