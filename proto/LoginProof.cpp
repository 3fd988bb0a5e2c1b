// SPDX-License-Identifier: GPL-3.0-or-later
#include "proto/LoginProof.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <vector>

namespace velk::proto {

namespace {

std::string toHex(const unsigned char* data, std::size_t bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes * 2);
    for (std::size_t i = 0; i < bytes; ++i) {
        out.push_back(digits[data[i] >> 4]);
        out.push_back(digits[data[i] & 0x0F]);
    }
    return out;
}

}  // namespace

std::string randomNonceHex(std::size_t nonceBytes)
{
    std::vector<unsigned char> bytes(nonceBytes);
    if (nonceBytes == 0 || RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1)
        return {};
    return toHex(bytes.data(), bytes.size());
}

std::string hmacSha256Hex(std::string_view key, std::string_view message)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestBytes = 0;
    // An empty key is a valid HMAC key; give OpenSSL a non-null pointer for it.
    static const unsigned char emptyKey = 0;
    const void* keyData = key.empty() ? static_cast<const void*>(&emptyKey) : key.data();
    if (!HMAC(EVP_sha256(), keyData, static_cast<int>(key.size()),
              reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest, &digestBytes))
        return {};
    return toHex(digest, digestBytes);
}

std::string loginProof(std::string_view password, std::string_view serverNonce, std::string_view clientNonce,
                       std::string_view user)
{
    std::string message = "VELK-DVR login\n";
    message.append(serverNonce).append("\n").append(clientNonce).append("\n").append(user);
    return hmacSha256Hex(password, message);
}

bool proofsEqual(std::string_view a, std::string_view b)
{
    if (a.size() != b.size() || a.empty())
        return false;
    return CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace velk::proto
