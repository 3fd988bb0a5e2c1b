// SPDX-License-Identifier: GPL-3.0-or-later
// Annex B access units and their parameter sets (SPS and PPS for H.264;
// VPS, SPS and PPS for H.265). A camera need not repeat its parameter sets
// before every key frame (many send them once, or only in the session
// description); the recorder's key frames must start with them, so that a
// stream or a recording can begin at any of them. Pure: no libav types.
#pragma once

#include "proto/MediaFrame.h"

#include <cstdint>
#include <span>
#include <vector>

namespace velk::recorder {

// The NAL units of an Annex B buffer (start codes removed), in order.
std::vector<std::span<const std::uint8_t>> annexBUnits(std::span<const std::uint8_t> data);

// The type of a NAL unit (its header's type field) for the codec.
int nalType(media::VideoCodec codec, std::span<const std::uint8_t> unit);

// Keeps the newest parameter sets of a stream and puts them before key
// frames that lack them.
class ParameterSets {
public:
    explicit ParameterSets(media::VideoCodec codec) : m_codec(codec) {}

    // Takes the parameter sets found in Annex B data (the stream's
    // extradata, or a frame), replacing older ones of the same kind.
    void learn(std::span<const std::uint8_t> annexB);
    // Whether every kind the codec needs is known.
    bool complete() const;

    // A key frame with its parameter sets first (after an access unit
    // delimiter, which must stay first): unchanged when sets of every kind
    // lead it already; else the newest known ones are put there and any
    // the frame carried further in are moved there. Learns what the frame
    // carries.
    std::vector<std::uint8_t> keyFrame(std::span<const std::uint8_t> annexB);

private:
    // Index 0 VPS (H.265 only), 1 SPS, 2 PPS; -1 for any other unit.
    int kindOf(std::span<const std::uint8_t> unit) const;

    media::VideoCodec m_codec;
    // Each kind's units from the last buffer that had that kind (a stream
    // may have several PPS).
    std::vector<std::vector<std::uint8_t>> m_sets[3];
};

}  // namespace velk::recorder
