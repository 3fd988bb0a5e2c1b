// SPDX-License-Identifier: GPL-3.0-or-later
#include "StreamProfile.h"

namespace velk::recorder {

std::optional<StreamProfile> streamProfile(std::uint32_t streamType)
{
    switch (streamType) {
    case 0: return StreamProfile{0, 704, 576, 25, "MAIN"};
    case 1: return StreamProfile{1, 352, 288, 25, "SUB"};
    case 2: return StreamProfile{2, 176, 144, 25, "THIRD"};
    default: return std::nullopt;
    }
}

}  // namespace velk::recorder
