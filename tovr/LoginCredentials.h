// SPDX-License-Identifier: GPL-3.0-or-later
// What LOGIN was given, kept for reconnecting in the background.
#pragma once

#include <cstdint>
#include <string>

namespace velk::tovr {

struct LoginCredentials {
    std::string host;
    std::uint16_t port = 0;
    std::string user;
    std::string password;
    std::uint32_t clientId = 0;
    std::int32_t devType = 0;
};

}  // namespace velk::tovr
