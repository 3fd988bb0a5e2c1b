// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's user accounts and the check of a login proof.
#pragma once

#include "RecorderOptions.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace velk::recorder {

class UserTable {
public:
    explicit UserTable(const std::vector<UserAccount>& users);

    // 0 when proof is the user's proof over both nonces; else the detail
    // code for an unknown user or a wrong password.
    std::int32_t checkLogin(const std::string& user, const std::string& serverNonce, const std::string& clientNonce,
                            const std::string& proof) const;

private:
    std::map<std::string, std::string> m_passwords;  // user name -> password
};

}  // namespace velk::recorder
