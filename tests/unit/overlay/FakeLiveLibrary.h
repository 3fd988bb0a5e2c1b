// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the network library's live commands, put in place of the
// entry point through setCommandFunction(): it records the commands, answers
// REALPLAY and GETDECODER as the test says, and gives a real decoder of the
// decode-render library (opened on the window given at REALPLAY, closed at
// REALPLAYSTOP) so that the draw callback can be registered. The test plays
// the library's callback thread with callBack().
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fake_live {

struct Answers {
    std::int32_t realPlay = 0;
    std::int32_t getDecoder = 0;
    // GETDECODER gives a handle the decode-render library does not know.
    bool unknownDecoder = false;
};

// Puts the fake in place with these answers (and forgets everything);
// uninstall() restores the library's entry point and closes open decoders.
void install(Answers answers = {});
void uninstall();

std::vector<std::string> keys();
std::size_t count(const std::string& key);
// The last REALPLAY's parameters.
std::uint64_t lastWindow();
std::uint64_t lastUserData();
int lastChannel();
int lastStreamType();
// The decoder GETDECODER gave last (0 none) and whether it is still open.
std::uint32_t lastDecoder();
bool decoderOpen();

// Calls the open stream's callback as the library does; false without one.
bool callBack(std::uint32_t type, std::uint32_t kind = 0);

}  // namespace fake_live
