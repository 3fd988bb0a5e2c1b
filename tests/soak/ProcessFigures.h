// SPDX-License-Identifier: GPL-3.0-or-later
// What a soak test watches of a process, read from /proc: resident memory,
// threads and open file descriptors; and, for this process only, the bytes
// the heap holds for the program.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string_view>

struct ProcessFigures {
    std::int64_t rssKiB = -1;  // VmRSS; -1 when unreadable (the process is gone)
    int threads = -1;          // Threads
    int fds = -1;              // entries of /proc/<pid>/fd
};

// The figures of a process; pid 0 is this process (its directory listing's
// own descriptor is not counted).
ProcessFigures readProcessFigures(pid_t pid = 0);

// Bytes the program holds on the heap now (freed blocks not counted): the
// C library's malloc statistics, or the sanitizer allocator's under a
// sanitizer (whose quarantine keeps freed blocks resident for a while).
std::int64_t liveHeapBytes();

// Keeps the C library allocator's thresholds for mapping large blocks and
// for trimming free memory where they start. By default it raises both
// after a large block is freed (up to 32 and 64 MiB), and then keeps that
// much free memory of every arena resident: with sixteen channels' pictures
// coming and going, tens of MiB that say nothing about leaks. Call before
// any thread starts. Does nothing under a sanitizer.
void fixAllocatorThresholds();

// Hands the C library allocator's free pages back to the system, so that
// resident memory shows what is in use rather than what was in use once.
// Does nothing under a sanitizer (its allocator is not the C library's).
void releaseFreeHeapPages();

// True when built with a sanitizer that keeps freed memory resident (so that
// resident memory says little about leaks).
bool underSanitizer();

// A running child of this process by its command name (the kernel keeps
// the first 15 characters of it); 0 when there is none.
pid_t findChildProcess(std::string_view name);
