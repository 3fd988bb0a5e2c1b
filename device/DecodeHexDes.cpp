// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/DecodeHexDes.h"

#include <cstring>

namespace {

// The key the page and the control share; DES uses its first 8 bytes.
constexpr char kKeyText[] = "glaringly_oak";
static_assert(sizeof(kKeyText) > 8);

constexpr std::size_t kDigitsPerBlock = 16;
constexpr std::size_t kOutputBytes = kDecodedPasswordMax + 1;

// A hexadecimal digit's value; any other character gives the low four bits
// of the same arithmetic, so nothing is rejected.
unsigned digitValue(unsigned char ch)
{
    const int value = ch <= 64 ? ch - 48 : ch - 55;
    return static_cast<unsigned>(value) & 0xFu;
}

// UI thread only: the buffer DecodeHexDes() returns.
char g_decodedPassword[kOutputBytes];

}  // namespace

std::string decodeHexDesText(std::string_view hexText)
{
    // The page's text is a narrow C text: it ends at its first zero byte.
    const std::size_t end = hexText.find('\0');
    if (end != std::string_view::npos) {
        hexText = hexText.substr(0, end);
    }
    unsigned char key[8];
    std::memcpy(key, kKeyText, sizeof key);

    std::string clear;
    for (std::size_t start = 0; start < hexText.size() && clear.size() < kDecodedPasswordMax;
         start += kDigitsPerBlock) {
        const std::string_view chunk = hexText.substr(start, kDigitsPerBlock);
        // The first digit goes to the high half of the first byte; missing
        // digits of a short last chunk leave zero bits.
        unsigned char cipher[8] = {};
        for (std::size_t i = 0; i < chunk.size(); ++i) {
            const unsigned value = digitValue(static_cast<unsigned char>(chunk[i]));
            cipher[i / 2] |= static_cast<unsigned char>(i % 2 == 0 ? value << 4 : value);
        }
        unsigned char plain[8];
        desDecryptBlock(key, cipher, plain);
        // Only whole bytes of the chunk count, and a zero byte (the page's
        // padding) ends this block's contribution; the next block is
        // appended where the text ends. The output is cut when full.
        const std::size_t keep = chunk.size() / 2;
        for (std::size_t i = 0; i < keep && plain[i] != 0 && clear.size() < kDecodedPasswordMax; ++i) {
            clear.push_back(static_cast<char>(plain[i]));
        }
    }
    return clear;
}

const char* DecodeHexDes(const char* hexText)
{
    std::memset(g_decodedPassword, 0, sizeof g_decodedPassword);
    const std::string clear = decodeHexDesText(hexText ? std::string_view(hexText) : std::string_view());
    std::memcpy(g_decodedPassword, clear.data(), clear.size());  // at most kDecodedPasswordMax bytes
    return g_decodedPassword;
}
