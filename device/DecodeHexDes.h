// SPDX-License-Identifier: GPL-3.0-or-later
// Turns the page's password text (hexadecimal DES cipher text) into the
// clear password.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The deciphered text, at most kDecodedPasswordMax bytes; digits past what
// the output can hold are ignored. Reentrant.
std::string decodeHexDesText(std::string_view hexText);

// The same into a process-wide 100-byte buffer, valid until the next call.
// Not reentrant: called from the UI thread only.
const char* DecodeHexDes(const char* hexText);

constexpr std::size_t kDecodedPasswordMax = 99;

// One DES block operation with a 64-bit key (most significant bit first),
// exposed for tests.
void desDecryptBlock(const unsigned char key[8], const unsigned char in[8], unsigned char out[8]);
void desEncryptBlock(const unsigned char key[8], const unsigned char in[8], unsigned char out[8]);
