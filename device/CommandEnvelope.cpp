// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/CommandEnvelope.h"

#include "TOVR.h"

#include <json/writer.h>

#include <atomic>
#include <cstring>
#include <memory>

namespace {

// The command function in use: the network library's entry point unless a
// test put another one in place. Read from any thread.
std::atomic<CommandFunction> g_commandFunction{&TOVR_JsonCommand};

// One compact writer configuration for every command text: no white space,
// no trailing line break. Non-ASCII text goes out as UTF-8 bytes rather than
// \u escapes, so the recorder receives names and passwords exactly as the
// user typed them; quotes, back-slashes and control characters are still
// escaped.
Json::StreamWriterBuilder compactWriterBuilder()
{
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["commentStyle"] = "None";
    builder["emitUTF8"] = true;
    builder["enableYAMLCompatibility"] = false;
    builder["dropNullPlaceholders"] = false;
    return builder;
}

}  // namespace

CommandEnvelope::CommandEnvelope(const char* key)
    : m_root(Json::objectValue)
{
    m_root["KEY"] = key;
}

// Json::Value keeps an object's members in a std::map ordered by byte
// comparison of the names, so the writer emits them in ascending byte order
// ("CALLBACK" < "CLIENTID" < "DEVIP").
CommandEnvelope& CommandEnvelope::uint(const char* name, std::uint64_t value)
{
    m_root["PARAM"][name] = Json::Value(static_cast<Json::UInt64>(value));
    return *this;
}

CommandEnvelope& CommandEnvelope::sint(const char* name, std::int32_t value)
{
    m_root["PARAM"][name] = Json::Value(static_cast<Json::Int>(value));
    return *this;
}

CommandEnvelope& CommandEnvelope::text(const char* name, const std::string& utf8)
{
    m_root["PARAM"][name] = Json::Value(utf8);
    return *this;
}

CommandEnvelope& CommandEnvelope::uintArray(const char* name, const std::vector<std::uint32_t>& values)
{
    Json::Value array(Json::arrayValue);
    for (std::uint32_t value : values) {
        array.append(Json::Value(static_cast<Json::UInt>(value)));
    }
    m_root["PARAM"][name] = array;
    return *this;
}

std::string CommandEnvelope::toText() const
{
    static const Json::StreamWriterBuilder builder = compactWriterBuilder();
    return Json::writeString(builder, m_root);
}

CommandResult sendCommand(const CommandEnvelope& command, bool wantHandle, bool wantDetail,
                          std::uint32_t responseBytes)
{
    const std::string text = command.toText();
    CommandResult out;
    std::unique_ptr<char[]> response;
    if (responseBytes > 0) {
        response = std::make_unique<char[]>(responseBytes);
        std::memset(response.get(), 0, responseBytes);
    }
    out.detail = 0;
    const CommandFunction function = g_commandFunction.load();
    out.result = function(text.c_str(), wantHandle ? &out.handle : nullptr, response.get(), responseBytes,
                          wantDetail ? &out.detail : nullptr);
    if (response) {
        // The library may fill the whole buffer without a terminator.
        out.response.assign(response.get(), strnlen(response.get(), responseBytes));
    }
    return out;
}

CommandFunction setCommandFunction(CommandFunction function)
{
    return g_commandFunction.exchange(function ? function : &TOVR_JsonCommand);
}
