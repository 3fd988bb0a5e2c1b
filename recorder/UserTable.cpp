// SPDX-License-Identifier: GPL-3.0-or-later
#include "UserTable.h"

#include "proto/DetailCode.h"
#include "proto/LoginProof.h"

namespace velk::recorder {

UserTable::UserTable(const std::vector<UserAccount>& users)
{
    for (const auto& user : users)
        m_passwords[user.name] = user.password;  // a later --user of the same name wins
}

std::int32_t UserTable::checkLogin(const std::string& user, const std::string& serverNonce,
                                   const std::string& clientNonce, const std::string& proof) const
{
    const auto it = m_passwords.find(user);
    if (it == m_passwords.end())
        return proto::kDetailUnknownUser;
    const std::string expected = proto::loginProof(it->second, serverNonce, clientNonce, user);
    return proto::proofsEqual(expected, proof) ? proto::kDetailNone : proto::kDetailWrongPassword;
}

}  // namespace velk::recorder
