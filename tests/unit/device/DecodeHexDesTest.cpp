// SPDX-License-Identifier: GPL-3.0-or-later
// Our DES against OpenSSL's, and the page's password text decoding.
#include "device/DecodeHexDes.h"

#include <openssl/des.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

constexpr unsigned char kPageKey[8] = {'g', 'l', 'a', 'r', 'i', 'n', 'g', 'l'};

void opensslBlock(const unsigned char key[8], const unsigned char in[8], unsigned char out[8], int mode)
{
    DES_cblock keyBlock;
    std::memcpy(keyBlock, key, 8);
    DES_key_schedule schedule;
    DES_set_key_unchecked(&keyBlock, &schedule);
    DES_cblock input;
    DES_cblock output;
    std::memcpy(input, in, 8);
    DES_ecb_encrypt(&input, &output, &schedule, mode);
    std::memcpy(out, output, 8);
}

std::string toHex(const std::string& bytes, bool upper)
{
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 0xF];
    }
    return hex;
}

// What the page does: the password padded with zero bytes to whole blocks,
// enciphered with the shared key, written as hexadecimal digits.
std::string pageCipherText(const std::string& plain, bool upper = true)
{
    std::string padded = plain;
    padded.resize((plain.size() + 7) / 8 * 8, '\0');
    std::string cipher(padded.size(), '\0');
    for (std::size_t i = 0; i < padded.size(); i += 8) {
        opensslBlock(kPageKey, reinterpret_cast<const unsigned char*>(padded.data() + i),
                     reinterpret_cast<unsigned char*>(cipher.data() + i), DES_ENCRYPT);
    }
    return toHex(cipher, upper);
}

}  // namespace

TEST(DesBlock, MatchesOpenSslBothWays)
{
    std::mt19937 random(46);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 500; ++round) {
        unsigned char key[8];
        unsigned char block[8];
        for (int i = 0; i < 8; ++i) {
            key[i] = static_cast<unsigned char>(byte(random));
            block[i] = static_cast<unsigned char>(byte(random));
        }
        unsigned char ours[8];
        unsigned char theirs[8];
        desEncryptBlock(key, block, ours);
        opensslBlock(key, block, theirs, DES_ENCRYPT);
        ASSERT_EQ(0, std::memcmp(ours, theirs, 8)) << "encrypt, round " << round;
        desDecryptBlock(key, block, ours);
        opensslBlock(key, block, theirs, DES_DECRYPT);
        ASSERT_EQ(0, std::memcmp(ours, theirs, 8)) << "decrypt, round " << round;
    }
}

TEST(DecodeHexDes, RoundTripsPasswordsOfEveryLength)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> nonZeroByte(1, 255);
    for (std::size_t length = 0; length <= kDecodedPasswordMax; ++length) {
        std::string password;
        for (std::size_t i = 0; i < length; ++i) {
            password += static_cast<char>(nonZeroByte(random));
        }
        ASSERT_EQ(decodeHexDesText(pageCipherText(password, true)), password) << "length " << length;
        ASSERT_EQ(decodeHexDesText(pageCipherText(password, false)), password) << "length " << length;
        ASSERT_STREQ(DecodeHexDes(pageCipherText(password).c_str()), password.c_str()) << "length " << length;
    }
}

TEST(DecodeHexDes, TenCharactersPaddedToSixteenBytes)
{
    const std::string text = pageCipherText("s3cret-pw!");
    ASSERT_EQ(text.size(), 32u);
    EXPECT_EQ(decodeHexDesText(text), "s3cret-pw!");
}

TEST(DecodeHexDes, EmptyAndNullTexts)
{
    EXPECT_EQ(decodeHexDesText(""), "");
    EXPECT_STREQ(DecodeHexDes(""), "");
    EXPECT_STREQ(DecodeHexDes(nullptr), "");
}

TEST(DecodeHexDes, PartialChunkKeepsWholeBytesOnly)
{
    // A cipher block whose last digit is 0, so 15 digits describe it fully.
    std::mt19937 random(15);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        unsigned char cipher[8];
        for (unsigned char& b : cipher) {
            b = static_cast<unsigned char>(byte(random));
        }
        cipher[7] &= 0xF0;
        unsigned char plain[8];
        opensslBlock(kPageKey, cipher, plain, DES_DECRYPT);
        if (std::memchr(plain, 0, 7) != nullptr) {
            continue;  // a zero byte would end the text early; pick another
        }
        const std::string digits =
            toHex(std::string(reinterpret_cast<const char*>(cipher), 8), true).substr(0, 15);
        EXPECT_EQ(decodeHexDesText(digits), std::string(reinterpret_cast<const char*>(plain), 7));
        // A full first block followed by 15 digits: 8 + 7 bytes.
        const std::string first = pageCipherText("ABCDEFGH");
        EXPECT_EQ(decodeHexDesText(first + digits), "ABCDEFGH" + std::string(reinterpret_cast<const char*>(plain), 7));
        // A lone digit makes no whole byte.
        EXPECT_EQ(decodeHexDesText(first + "7"), "ABCDEFGH");
        return;
    }
    FAIL() << "no suitable block found";
}

TEST(DecodeHexDes, ZeroBytesEndABlockButNotTheText)
{
    const std::string block1 = pageCipherText(std::string("abc\0defg", 8));
    const std::string block2 = pageCipherText(std::string("\0zzzzzzz", 8));
    const std::string block3 = pageCipherText("hij");
    EXPECT_EQ(decodeHexDesText(block1 + block2 + block3), "abchij");
    EXPECT_EQ(decodeHexDesText(block2), "");
}

TEST(DecodeHexDes, TextEndsAtZeroCharacter)
{
    const std::string text = pageCipherText("first123") + std::string(1, '\0') + pageCipherText("second12");
    EXPECT_EQ(decodeHexDesText(text), "first123");
}

TEST(DecodeHexDes, OverLongInputIsCut)
{
    const std::string block = pageCipherText("AAAAAAAA");
    std::string text;
    for (int i = 0; i < 250; ++i) {
        text += block;  // 2000 bytes of clear text, 4000 digits
    }
    EXPECT_EQ(decodeHexDesText(text), std::string(kDecodedPasswordMax, 'A'));
    const char* decoded = DecodeHexDes(text.c_str());
    EXPECT_EQ(std::strlen(decoded), kDecodedPasswordMax);
    // A shorter call afterwards leaves nothing of the long one behind.
    EXPECT_STREQ(DecodeHexDes(pageCipherText("ab").c_str()), "ab");
}
