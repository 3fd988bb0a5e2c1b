// SPDX-License-Identifier: GPL-3.0-or-later
// The picture format of each stream type every channel offers: main (0),
// sub (1) and third (2), all at 25 frames a second.
#pragma once

#include <cstdint>
#include <optional>

namespace velk::recorder {

struct StreamProfile {
    std::uint32_t streamType = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t frameRate = 25;
    const char* label = "";  // drawn on the picture
};

// nullopt for a stream type the recorder does not have.
std::optional<StreamProfile> streamProfile(std::uint32_t streamType);

inline constexpr std::uint32_t kFrameIntervalMs = 40;  // 25 frames a second

}  // namespace velk::recorder
