// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's own main stream, made in this process with the recorder's
// encoder (libx264 through libavcodec, as velk-recorder encodes it), as the
// container frames the recorder sends: what the decode benchmark feeds to
// both decoders.
#pragma once

#include <cstdint>
#include <vector>

namespace bench {

using ContainerFrame = std::vector<std::uint8_t>;

// frameCount container frames of channel 0's stream of the type, the
// encoded loop played round as often as needed, with frame times 40 ms
// apart from startTimeMs. Empty when the encoder is not available.
// Caller's thread (it waits for the recorder's encoder threads).
std::vector<ContainerFrame> makeRecorderStream(std::uint32_t streamType, std::size_t frameCount,
                                               std::uint64_t startTimeMs);

}  // namespace bench
