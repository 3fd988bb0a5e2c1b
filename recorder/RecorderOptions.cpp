// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecorderOptions.h"

#include "HostCheck.h"
#include "SourceAddress.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace velk::recorder {

namespace {

bool parseNumber(std::string_view text, std::uint64_t minValue, std::uint64_t maxValue, std::uint64_t& out)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < minValue || value > maxValue)
        return false;
    out = value;
    return true;
}

// A source address: an rtsp:// address, or a local file that exists and can
// be read now.
bool checkSourceAddress(const std::string& address, const char* what, std::string& message)
{
    if (address.empty()) {
        message = std::string(what) + " is empty";
        return false;
    }
    if (hasScheme(address)) {
        if (isRtspAddress(address))
            return true;
        message = std::string(what) + " " + shownAddress(address) + ": only rtsp:// addresses and local files are taken";
        return false;
    }
    std::error_code error;
    if (!std::filesystem::exists(address, error)) {
        message = std::string(what) + " " + address + ": no such file";
        return false;
    }
    if (std::filesystem::is_directory(address, error)) {
        message = std::string(what) + " " + address + " is a folder, not a video file";
        return false;
    }
    if (::access(address.c_str(), R_OK) != 0) {
        message = std::string(what) + " " + address + " cannot be read (permissions)";
        return false;
    }
    return true;
}

// "C=URL[,sub=URL2][,credentials=FILE]". The fields after the address start
// at a comma followed by "sub=" or "credentials=", so an address may hold
// other commas.
bool parseSource(std::string_view value, SourceOption& source, std::string& message)
{
    const auto eq = value.find('=');
    std::uint64_t channel = 0;
    if (eq == std::string_view::npos || !parseNumber(value.substr(0, eq), 0, 63, channel)) {
        message = "bad value for --source: give C=URL[,sub=URL2][,credentials=FILE] with a channel 0..63";
        return false;
    }
    source.channel = static_cast<std::uint32_t>(channel);
    std::string_view rest = value.substr(eq + 1);
    // Splits off the last field while one is there; fields may come in either order.
    bool subGiven = false;
    bool credentialsGiven = false;
    while (true) {
        const auto sub = rest.rfind(",sub=");
        const auto credentials = rest.rfind(",credentials=");
        const auto last = sub == std::string_view::npos ? credentials
                          : credentials == std::string_view::npos ? sub
                                                                   : std::max(sub, credentials);
        if (last == std::string_view::npos)
            break;
        const bool isSub = last == sub;
        const std::string_view field = rest.substr(last + (isSub ? 5 : 13));
        if ((isSub && subGiven) || (!isSub && credentialsGiven)) {
            message = "--source " + std::to_string(channel) + ": " + (isSub ? "sub" : "credentials") + " given twice";
            return false;
        }
        (isSub ? subGiven : credentialsGiven) = true;
        (isSub ? source.subUrl : source.credentialsFile) = std::string(field);
        if (field.empty()) {
            message = "--source " + std::to_string(channel) + ": " + (isSub ? "sub" : "credentials") + " is empty";
            return false;
        }
        rest = rest.substr(0, last);
    }
    source.url = std::string(rest);
    const std::string prefix = "--source " + std::to_string(channel) + ": ";
    if (!checkSourceAddress(source.url, "address", message) ||
        (subGiven && !checkSourceAddress(source.subUrl, "sub address", message))) {
        message = prefix + message;
        return false;
    }
    if (!source.credentialsFile.empty()) {
        if (!isRtspAddress(source.url) && !(subGiven && isRtspAddress(source.subUrl))) {
            message = prefix + "credentials are for rtsp:// addresses, not files";
            return false;
        }
        if (hasUserInfo(source.url) || hasUserInfo(source.subUrl)) {
            message = prefix + "give the user either in the address or in the credentials file, not both";
            return false;
        }
        std::string user;
        std::string password;
        if (!readCredentialsFile(source.credentialsFile, user, password, message)) {
            message = prefix + message;
            return false;
        }
    }
    return true;
}

}  // namespace

std::string usageText()
{
    return "usage: velk-recorder [options]\n"
           "  --port N                 device protocol port (default 9000; 0 = any free port)\n"
           "  --http-port N            web page and API port (default 8080; 0 = any free port)\n"
           "  --bind ADDR              address to listen on (default 127.0.0.1)\n"
           "  --http-name NAME         another name (or address) the web page is reached by; repeatable.\n"
           "                           Requests for any name but these, the loopback names and the\n"
           "                           bind address are refused (403)\n"
           "  --channels N             number of channels, 1..64 (default 16)\n"
           "  --user NAME:PASSWORD     a user account; repeatable (default admin:admin)\n"
           "  --data DIR               folder for stored data (default $XDG_DATA_HOME/velk-recorder\n"
           "                           or ~/.local/share/velk-recorder)\n"
           "  --web DIR                folder of the web page served at / (default <exe>/../../web if present)\n"
           "  --heartbeat-ms N         heartbeat interval towards clients (default 1000)\n"
           "  --heartbeat-timeout-ms N drop a client silent this long (default 4000)\n"
           "  --handshake-timeout-ms N close a connection not logged in (or streaming) this long after\n"
           "                           it was opened (default 10000)\n"
           "  --max-clients N          device-protocol connections served at once, 1..4096 (default 256)\n"
           "  --deny USER:C            USER may not view channel C (0-based); repeatable\n"
           "  --substream-off C        channel C (0-based) encodes no sub stream; repeatable\n"
           "  --encode-ahead           encode every channel's main and sub stream at start (about\n"
           "                           half a second of CPU per channel) instead of when first watched\n"
           "  --segment-seconds N      longest recorded segment, 1..3600 seconds (default 300)\n"
           "  --pre-alarm-seconds N    recorded from before an alarm, 0..60 (default 5)\n"
           "  --post-alarm-seconds N   recorded after an alarm ended, 0..3600 (default 10)\n"
           "  --retain-hours N         delete recordings older than this, 1..87600 (default 168)\n"
           "  --retain-bytes B         keep at most this much recorded, suffix K, M or G (default 2G)\n"
           "  --history-days N         0..60: every channel has generated recordings from midnight N\n"
           "                           days before today up to the start (default 0)\n"
           "  --source C=URL[,sub=URL2][,credentials=FILE]\n"
           "                           channel C (0-based) shows a camera (URL rtsp://[user:pass@]host/path,\n"
           "                           over TCP) or a local video file (H.264 or H.265, played in a loop)\n"
           "                           instead of the synthetic picture; sub=URL2 its sub stream;\n"
           "                           credentials=FILE holds user:password on its first line (chmod 600).\n"
           "                           At most one per channel; repeatable\n"
           "  --help                   this text\n"
           "On start one line is printed: velk-recorder: device port <N> http port <M>\n";
}

ParseOutcome parseOptions(int argc, const char* const* argv, RecorderOptions& options, std::string& message)
{
    bool usersGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h")
            return ParseOutcome::Help;
        if (arg == "--encode-ahead") {
            options.encodeAhead = true;
            continue;
        }

        std::string_view name = arg;
        std::string_view value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        const bool known = name == "--port" || name == "--http-port" || name == "--bind" || name == "--channels" ||
                           name == "--user" || name == "--data" || name == "--web" || name == "--heartbeat-ms" ||
                           name == "--heartbeat-timeout-ms" || name == "--max-clients" || name == "--deny" ||
                           name == "--substream-off" || name == "--http-name" || name == "--handshake-timeout-ms" ||
                           name == "--segment-seconds" || name == "--pre-alarm-seconds" ||
                           name == "--post-alarm-seconds" || name == "--retain-hours" || name == "--retain-bytes" ||
                           name == "--history-days" || name == "--source";
        if (!known) {
            message = "unknown option: " + std::string(arg);
            return ParseOutcome::Error;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                message = "option " + std::string(name) + " needs a value";
                return ParseOutcome::Error;
            }
            value = argv[++i];
        }

        std::uint64_t number = 0;
        const auto bad = [&](const char* what) {
            message = "bad value for " + std::string(name) + ": '" + std::string(value) + "' (" + what + ")";
            return ParseOutcome::Error;
        };
        if (name == "--port" || name == "--http-port") {
            if (!parseNumber(value, 0, 65535, number))
                return bad("a port number 0..65535");
            (name == "--port" ? options.devicePort : options.httpPort) = static_cast<std::uint16_t>(number);
        } else if (name == "--channels") {
            if (!parseNumber(value, 1, 64, number))
                return bad("1..64");
            options.channels = static_cast<std::uint32_t>(number);
        } else if (name == "--heartbeat-ms" || name == "--heartbeat-timeout-ms") {
            if (!parseNumber(value, 10, 600000, number))
                return bad("10..600000 milliseconds");
            (name == "--heartbeat-ms" ? options.heartbeatMs : options.heartbeatTimeoutMs) =
                static_cast<std::uint32_t>(number);
        } else if (name == "--handshake-timeout-ms") {
            if (!parseNumber(value, 10, 600000, number))
                return bad("10..600000 milliseconds");
            options.handshakeTimeoutMs = static_cast<std::uint32_t>(number);
        } else if (name == "--history-days") {
            if (!parseNumber(value, 0, 60, number))
                return bad("0..60 days");
            options.historyDays = static_cast<std::uint32_t>(number);
        } else if (name == "--http-name") {
            if (!validHostName(value))
                return bad("a host name, an IPv4 address or an [IPv6] address");
            options.httpNames.emplace_back(value);
        } else if (name == "--max-clients") {
            if (!parseNumber(value, 1, 4096, number))
                return bad("1..4096");
            options.maxClients = static_cast<std::uint32_t>(number);
        } else if (name == "--bind") {
            if (value.empty())
                return bad("an address");
            options.bindAddress = std::string(value);
        } else if (name == "--user") {
            const auto colon = value.find(':');
            if (colon == std::string_view::npos || colon == 0)
                return bad("NAME:PASSWORD with a non-empty name");
            if (!usersGiven)
                options.users.clear();
            usersGiven = true;
            options.users.push_back(UserAccount{std::string(value.substr(0, colon)), std::string(value.substr(colon + 1))});
        } else if (name == "--deny") {
            const auto colon = value.rfind(':');
            if (colon == std::string_view::npos || colon == 0 || !parseNumber(value.substr(colon + 1), 0, 63, number))
                return bad("USER:CHANNEL with a channel 0..63");
            options.denied.emplace_back(std::string(value.substr(0, colon)), static_cast<std::uint32_t>(number));
        } else if (name == "--substream-off") {
            if (!parseNumber(value, 0, 63, number))
                return bad("a channel 0..63");
            options.substreamOff.push_back(static_cast<std::uint32_t>(number));
        } else if (name == "--segment-seconds") {
            if (!parseNumber(value, 1, 3600, number))
                return bad("1..3600 seconds");
            options.segmentSeconds = static_cast<std::uint32_t>(number);
        } else if (name == "--pre-alarm-seconds") {
            if (!parseNumber(value, 0, 60, number))
                return bad("0..60 seconds");
            options.preAlarmSeconds = static_cast<std::uint32_t>(number);
        } else if (name == "--post-alarm-seconds") {
            if (!parseNumber(value, 0, 3600, number))
                return bad("0..3600 seconds");
            options.postAlarmSeconds = static_cast<std::uint32_t>(number);
        } else if (name == "--retain-hours") {
            if (!parseNumber(value, 1, 87600, number))
                return bad("1..87600 hours");
            options.retainHours = static_cast<std::uint32_t>(number);
        } else if (name == "--retain-bytes") {
            const auto bytes = parseByteSize(value);
            if (!bytes || *bytes == 0)
                return bad("a size in bytes, with K, M or G");
            options.retainBytes = *bytes;
        } else if (name == "--source") {
            SourceOption source;
            if (!parseSource(value, source, message))
                return ParseOutcome::Error;
            options.sources.push_back(std::move(source));
        } else if (name == "--data" || name == "--web") {
            if (value.empty())
                return bad("a folder");
            (name == "--data" ? options.dataDir : options.webDir) = std::string(value);
        }
    }
    if (options.heartbeatTimeoutMs < 2 * options.heartbeatMs) {
        message = "--heartbeat-timeout-ms must be at least twice --heartbeat-ms";
        return ParseOutcome::Error;
    }
    for (const auto& [user, channel] : options.denied) {
        if (channel >= options.channels) {
            message = "--deny " + user + ":" + std::to_string(channel) + ": no such channel";
            return ParseOutcome::Error;
        }
    }
    for (const auto channel : options.substreamOff) {
        if (channel >= options.channels) {
            message = "--substream-off " + std::to_string(channel) + ": no such channel";
            return ParseOutcome::Error;
        }
    }
    for (std::size_t i = 0; i < options.sources.size(); ++i) {
        const std::uint32_t channel = options.sources[i].channel;
        if (channel >= options.channels) {
            message = "--source " + std::to_string(channel) + ": no such channel (--channels is " +
                      std::to_string(options.channels) + ")";
            return ParseOutcome::Error;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (options.sources[j].channel == channel) {
                message = "--source " + std::to_string(channel) + ": channel given twice";
                return ParseOutcome::Error;
            }
        }
    }
    if (options.users.empty())
        options.users.push_back(UserAccount{"admin", "admin"});
    return ParseOutcome::Run;
}

std::optional<std::uint64_t> parseByteSize(std::string_view text)
{
    std::uint64_t unit = 1;
    if (!text.empty()) {
        switch (text.back()) {
        case 'K': case 'k': unit = 1ULL << 10; break;
        case 'M': case 'm': unit = 1ULL << 20; break;
        case 'G': case 'g': unit = 1ULL << 30; break;
        default: break;
        }
    }
    if (unit != 1)
        text.remove_suffix(1);
    std::uint64_t value = 0;
    if (!parseNumber(text, 0, UINT64_MAX / unit, value))
        return std::nullopt;
    return value * unit;
}

std::string defaultDataFolder()
{
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        return (std::filesystem::path(xdg) / "velk-recorder").string();
    if (const char* home = std::getenv("HOME"); home && *home)
        return (std::filesystem::path(home) / ".local" / "share" / "velk-recorder").string();
    return "velk-recorder-data";
}

std::string defaultWebFolder()
{
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    const auto web = exe.parent_path() / ".." / ".." / "web";
    if (!std::filesystem::is_directory(web, error))
        return {};
    return std::filesystem::weakly_canonical(web, error).string();
}

}  // namespace velk::recorder
