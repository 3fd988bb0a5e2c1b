// SPDX-License-Identifier: GPL-3.0-or-later
// Challenge-response login: the password never crosses the wire. The
// recorder sends a random nonce in its hello; the client answers with its
// own nonce and proof = HMAC-SHA256(key: password, message: "VELK-DVR
// login\n" server nonce "\n" client nonce "\n" user name), in lower-case
// hex. The recorder computes the same and compares in constant time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velk::proto {

// Lower-case hex of nonceBytes random bytes from OpenSSL's generator;
// empty when the generator fails.
std::string randomNonceHex(std::size_t nonceBytes = 32);

std::string hmacSha256Hex(std::string_view key, std::string_view message);

std::string loginProof(std::string_view password, std::string_view serverNonce, std::string_view clientNonce,
                       std::string_view user);

// Constant-time comparison of two proofs.
bool proofsEqual(std::string_view a, std::string_view b);

}  // namespace velk::proto
