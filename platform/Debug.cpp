// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Debug.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>

namespace platform {

namespace {

// One debug text longer than this is cut, so the log stays bounded in bytes.
constexpr std::size_t kMaxEntryBytes = 16 * 1024;

struct DebugLog {
    std::mutex logLock;  // guards entries and dropped
    std::deque<std::string> entries;
    std::size_t dropped = 0;
};

DebugLog& debugLog()
{
    static DebugLog log;
    return log;
}

bool toStderr()
{
    static const bool enabled = [] {
        const char* value = std::getenv("VELK_DVR_DEBUG");
        return value != nullptr && value[0] != '\0';
    }();
    return enabled;
}

// Cut at a character boundary.
std::string bounded(const std::string& text)
{
    if (text.size() <= kMaxEntryBytes)
        return text;
    std::size_t length = kMaxEntryBytes;
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        --length;
    return text.substr(0, length);
}

}  // namespace

void debugOutput(const std::string& text)
{
    if (toStderr()) {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
    }
    std::string entry = bounded(text);
    DebugLog& log = debugLog();
    std::lock_guard<std::mutex> lock(log.logLock);
    if (log.entries.size() >= kDebugLogCapacity) {
        log.entries.pop_front();
        ++log.dropped;
    }
    log.entries.push_back(std::move(entry));
}

void debugPrintf(const char* format, ...)
{
    if (format == nullptr)
        return;
    va_list args;
    va_start(args, format);
    va_list sizing;
    va_copy(sizing, args);
    const int needed = std::vsnprintf(nullptr, 0, format, sizing);
    va_end(sizing);
    std::string text;
    if (needed > 0) {
        text.resize(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<std::size_t>(needed));
    }
    va_end(args);
    if (needed >= 0)
        debugOutput(text);
}

std::vector<std::string> takeDebugLines()
{
    DebugLog& log = debugLog();
    std::lock_guard<std::mutex> lock(log.logLock);
    std::vector<std::string> lines(std::make_move_iterator(log.entries.begin()),
                                   std::make_move_iterator(log.entries.end()));
    log.entries.clear();
    return lines;
}

std::size_t droppedDebugLines()
{
    DebugLog& log = debugLog();
    std::lock_guard<std::mutex> lock(log.logLock);
    return log.dropped;
}

}  // namespace platform
