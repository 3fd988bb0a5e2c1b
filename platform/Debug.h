// SPDX-License-Identifier: GPL-3.0-or-later
// Debug output: one function. Lines go to stderr when VELK_DVR_DEBUG is set
// (looked at once, at the first output), and always to a bounded in-memory
// log that the host and tests can read. One text longer than 16 KiB is cut.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// Writes a text as it is (texts carry their own line breaks). Any thread.
void debugOutput(const std::string& text);
// printf-style variant.
void debugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Texts written since the last call, oldest first, and forgets them. At most
// kDebugLogCapacity entries are kept; older ones are dropped and counted.
std::vector<std::string> takeDebugLines();
std::size_t droppedDebugLines();

constexpr std::size_t kDebugLogCapacity = 4096;

}  // namespace platform
