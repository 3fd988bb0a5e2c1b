// SPDX-License-Identifier: GPL-3.0-or-later
// CPU time of this process, of the calling thread, and of another process
// (the recorder), in microseconds.
#pragma once

#include <cstdint>
#include <sys/types.h>

namespace bench {

// User + system time of every thread of this process. Any thread.
std::uint64_t processCpuUs();
// CPU time of the calling thread. Any thread.
std::uint64_t threadCpuUs();
// User + system time of another process from /proc; 0 when unreadable.
std::uint64_t otherProcessCpuUs(pid_t pid);
// Microseconds of the monotonic clock. Any thread.
std::uint64_t monotonicUs();
// Milliseconds since 1970 of the wall clock, as frame time items carry. Any thread.
std::uint64_t wallClockMs();

}  // namespace bench
