// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/CpuClock.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace bench {

namespace {

std::uint64_t toUs(const timeval& t)
{
    return std::uint64_t(t.tv_sec) * 1'000'000 + std::uint64_t(t.tv_usec);
}

}  // namespace

std::uint64_t processCpuUs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return toUs(usage.ru_utime) + toUs(usage.ru_stime);
}

std::uint64_t threadCpuUs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::uint64_t(now.tv_sec) * 1'000'000 + std::uint64_t(now.tv_nsec) / 1000;
}

std::uint64_t otherProcessCpuUs(pid_t pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr)
        return 0;
    char buffer[1024] = {};
    const std::size_t read = std::fread(buffer, 1, sizeof buffer - 1, file);
    std::fclose(file);
    buffer[read] = '\0';
    // Fields after the command name (which may hold spaces, in parentheses):
    // state is field 3; utime and stime are fields 14 and 15.
    const char* rest = std::strrchr(buffer, ')');
    if (rest == nullptr)
        return 0;
    unsigned long long utime = 0, stime = 0;
    if (std::sscanf(rest + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2)
        return 0;
    const long ticks = sysconf(_SC_CLK_TCK);
    return ticks > 0 ? (utime + stime) * 1'000'000ull / static_cast<unsigned long long>(ticks) : 0;
}

std::uint64_t monotonicUs()
{
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

std::uint64_t wallClockMs()
{
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

}  // namespace bench
