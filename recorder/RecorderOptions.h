// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velk::recorder {

struct UserAccount {
    std::string name;
    std::string password;
};

// --source C=URL[,sub=URL2][,credentials=FILE]: channel C (0-based) shows a
// camera (rtsp://) or a video file played in a loop instead of the
// synthetic picture.
struct SourceOption {
    std::uint32_t channel = 0;
    std::string url;              // the main stream: rtsp:// address or a file path
    std::string subUrl;           // the sub stream; empty: the channel has none
    std::string credentialsFile;  // "user:password" on its first line; empty: none or in the URL
};

struct RecorderOptions {
    std::uint16_t devicePort = 9000;     // 0: any free port
    std::uint16_t httpPort = 8080;       // 0: any free port
    std::string bindAddress = "127.0.0.1";
    // --http-name NAME: a name the web server is reached by besides the
    // loopback names and the bind address; repeatable. Requests naming any
    // other host are refused.
    std::vector<std::string> httpNames;
    std::uint32_t channels = 16;         // 1..64
    std::vector<UserAccount> users;      // default: admin:admin
    std::string dataDir;                 // empty: defaultDataFolder()
    std::string webDir;                  // empty: <exe dir>/../../web when it exists, else none
    std::uint32_t heartbeatMs = 1000;        // how often heartbeats are sent to clients
    std::uint32_t heartbeatTimeoutMs = 4000; // silence after which a client is dropped
    std::uint32_t maxClients = 256;          // device-protocol connections served at once
    std::uint32_t handshakeTimeoutMs = 10000; // hello and login (or opening a stream) must be done within this
    // --deny USER:C: user may not view channel C (0-based); repeatable.
    std::vector<std::pair<std::string, std::uint32_t>> denied;
    // --substream-off C: channel C (0-based) encodes no sub stream; repeatable.
    std::vector<std::uint32_t> substreamOff;
    // --encode-ahead: every channel's main and sub stream loops are encoded
    // at start, not when first watched.
    bool encodeAhead = false;
    // Recording to <data>/recordings (see docs/recorder-protocol.md).
    std::uint32_t segmentSeconds = 300;         // --segment-seconds: a segment's longest length
    std::uint32_t preAlarmSeconds = 5;          // --pre-alarm-seconds: kept from before an alarm
    std::uint32_t postAlarmSeconds = 10;        // --post-alarm-seconds: recorded after an alarm ended
    std::uint32_t retainHours = 168;            // --retain-hours: older segments are deleted
    std::uint64_t retainBytes = 2ULL << 30;     // --retain-bytes: the oldest go beyond this
    // --history-days N (0..60): every channel has generated recordings from
    // local midnight N days before the start day up to the start
    // (HistoryRecordings.h); their main-stream loops are encoded at start.
    std::uint32_t historyDays = 0;
    // --source: channels taken from cameras and video files, at most one each.
    std::vector<SourceOption> sources;
};

// "2G", "500M", "64K" or a number of bytes (binary units); nothing when bad.
std::optional<std::uint64_t> parseByteSize(std::string_view text);

enum class ParseOutcome { Run, Help, Error };

// Fills options from argv. On Error, message says what was wrong.
ParseOutcome parseOptions(int argc, const char* const* argv, RecorderOptions& options, std::string& message);

std::string usageText();

// $XDG_DATA_HOME/velk-recorder, else $HOME/.local/share/velk-recorder,
// else velk-recorder-data in the current folder.
std::string defaultDataFolder();

// <folder of the running program>/../../web when that folder exists, else "".
std::string defaultWebFolder();

}  // namespace velk::recorder
