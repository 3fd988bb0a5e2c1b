// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the network library's live commands, put in place of the
// entry point through setCommandFunction(): it records every command text,
// answers REALPLAY as the test says (per channel if asked), hands out play
// and decoder handles, and lets the test call a stream's callback as the
// library would, from any thread.
#pragma once

#include <json/value.h>

#include <cstdint>
#include <string>
#include <vector>

namespace fake_stream {

// Puts the fake in place (and forgets everything); uninstall() restores the
// library's entry point.
void install();
void uninstall();

struct RealPlayAnswer {
    std::int32_t result = 0;
    std::uint32_t detail = 0;
    bool withHandle = true;
};
// How REALPLAY is answered from now on, for every channel or for one.
void setRealPlayAnswer(RealPlayAnswer answer);
void setRealPlayAnswer(int channel, RealPlayAnswer answer);
// How long a REALPLAY takes (the library waits for the recorder).
void setRealPlayDelayMs(std::uint32_t delayMs);
// REALPLAYSTOP's result, and how long it takes.
void setStopResult(std::int32_t result);
void setStopDelayMs(std::uint32_t delayMs);

// Commands so far: their KEYs in order, and the parsed texts of one KEY.
std::vector<std::string> keys();
std::size_t count(const std::string& key);
std::vector<Json::Value> commands(const std::string& key);
// REALPLAYs with this channel.
std::size_t realPlaysOf(int channel);
// Open streams (REALPLAY answered with a handle, not stopped yet).
std::size_t openStreams();
std::uint32_t lastPlayHandle();

// Calls the callback of an open stream as the library does; false when the
// handle is not open.
bool callBack(std::uint32_t playHandle, std::uint32_t type, const std::string& data = {},
              std::uint32_t kind = 0);

}  // namespace fake_stream
