// SPDX-License-Identifier: GPL-3.0-or-later
// Command texts for the network library: {"KEY": name, "PARAM": {...}},
// written compactly with members in sorted order and no trailing line break.
#pragma once

#include <json/value.h>

#include <cstdint>
#include <string>
#include <vector>

class CommandEnvelope {
public:
    explicit CommandEnvelope(const char* key);

    CommandEnvelope& uint(const char* name, std::uint64_t value);   // handles, ports, addresses
    CommandEnvelope& sint(const char* name, std::int32_t value);    // DEVTYPE, REALPLAY's CHANNEL/STREAMTYPE
    CommandEnvelope& text(const char* name, const std::string& utf8);
    CommandEnvelope& uintArray(const char* name, const std::vector<std::uint32_t>& values);

    // The compact command text.
    std::string toText() const;

private:
    Json::Value m_root;
};

// The outcome of one call of TOVR_JsonCommand.
struct CommandResult {
    std::int32_t result = 0;      // the library's result
    std::uint32_t handle = 0;     // handle output (when asked for)
    std::uint32_t detail = 0;     // detail output
    std::string response;         // response text (when a buffer was given)

    bool ok() const { return result == 0; }
    // Success that also produced a nonzero handle.
    bool okWithHandle() const { return result == 0 && handle != 0; }
};

// Sends a command. wantHandle/wantDetail pass the outputs; responseBytes > 0
// passes a response buffer of that size. The detail output is cleared to 0
// before the call. Any thread.
CommandResult sendCommand(const CommandEnvelope& command, bool wantHandle = false,
                          bool wantDetail = false, std::uint32_t responseBytes = 0);

// The function sendCommand() calls, with TOVR_JsonCommand's arguments.
using CommandFunction = std::int32_t (*)(const char* commandText, std::uint32_t* handleOut, char* response,
                                         std::uint32_t responseSize, std::uint32_t* detailOut);

// Puts another command function in place of the network library's entry
// point (tests fake the library this way); nullptr restores the entry point.
// Returns the function that was in place. Any thread.
CommandFunction setCommandFunction(CommandFunction function);
