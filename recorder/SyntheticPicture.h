// SPDX-License-Identifier: GPL-3.0-or-later
// The moving synthetic picture of one channel's stream: a static gradient
// tinted per channel, a bright square gliding to and fro once per loop,
// the channel's overlay on top of it: its privacy masks black, then its
// on-screen texts where the overlay puts them (item 0 the channel name,
// "CH05" by default, with the stream's label and size under it; item 1 a
// clock that counts the loop's own time, "00:07.24"; item 2 a title),
// each on a dark box. Overlay coordinates are the main stream's (704 ×
// 576) and are scaled to the stream's size. The picture at index 0 follows
// the last one seamlessly, so the encoded loop can be played round and
// round.
#pragma once

#include "BitmapFont.h"
#include "OverlaySettings.h"
#include "StreamProfile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velk::recorder {

class SyntheticPicture {
public:
    SyntheticPicture(std::uint32_t channel, const StreamProfile& profile, std::size_t loopFrames);
    SyntheticPicture(std::uint32_t channel, const StreamProfile& profile, std::size_t loopFrames,
                     OverlaySettings overlay);

    // Draws picture index (0 .. loopFrames-1) into 4:2:0 planes of the
    // profile's size (chroma planes half as wide and high). Any thread.
    void draw(std::size_t index, Plane luma, Plane cb, Plane cr) const;

    // "mm:ss.cc" of picture index in the loop's own time.
    static std::string clockText(std::size_t index, unsigned frameRate);
    // "CH05": the channel number as users count (1-based).
    static std::string channelText(std::uint32_t channel);

    struct Place {
        int x = 0;
        int y = 0;
    };
    // Where the three texts stand unless the overlay moves them, in
    // main-stream coordinates: the channel name top left, the title above
    // the clock, the clock bottom left.
    static std::array<Place, kOsdItems> defaultLayout();

    // The moving square of picture index in a picture of width x height (in
    // the main stream's coordinates when width x height is 704 x 576).
    static OverlayRect squareAt(std::size_t index, std::size_t loopFrames, int width, int height);

private:
    // A text at its main-stream place on a dark box, scaled to this stream.
    void drawItem(Plane luma, int x, int y, const std::string& text, const std::string& below) const;
    void drawMasks(Plane luma, Plane cb, Plane cr) const;

    const StreamProfile m_profile;
    const std::size_t m_loopFrames;
    std::vector<std::uint8_t> m_background;  // luma, width x height
    std::uint8_t m_cb = 128;
    std::uint8_t m_cr = 128;
    const OverlaySettings m_overlay;
};

}  // namespace velk::recorder
