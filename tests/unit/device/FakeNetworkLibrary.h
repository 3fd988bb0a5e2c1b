// SPDX-License-Identifier: GPL-3.0-or-later
// An in-process stand-in for the network library's entry point: records the
// command texts and answers with programmed outputs.
#pragma once

#include "device/CommandEnvelope.h"

#include <cstdint>
#include <string>
#include <vector>

struct FakeAnswer {
    std::int32_t result = 0;
    std::uint32_t handle = 0;
    std::uint32_t detail = 0;
    std::string response;  // copied into the response buffer as is, without terminator
};

struct FakeCall {
    std::string text;
    bool handleGiven = false;
    bool detailGiven = false;
    std::uint32_t detailOnEntry = 0xFFFFFFFFu;
    std::uint32_t responseSize = 0;
};

// While alive, sendCommand() reaches this fake instead of the library.
class FakeNetworkLibrary {
public:
    FakeNetworkLibrary();
    ~FakeNetworkLibrary();

    FakeNetworkLibrary(const FakeNetworkLibrary&) = delete;
    FakeNetworkLibrary& operator=(const FakeNetworkLibrary&) = delete;

    void answer(const FakeAnswer& next) { m_answer = next; }
    const std::vector<FakeCall>& calls() const { return m_calls; }

private:
    static std::int32_t entry(const char* text, std::uint32_t* handleOut, char* response,
                              std::uint32_t responseSize, std::uint32_t* detailOut);
    static FakeNetworkLibrary* s_current;

    FakeAnswer m_answer;
    std::vector<FakeCall> m_calls;
    CommandFunction m_previous = nullptr;
};
