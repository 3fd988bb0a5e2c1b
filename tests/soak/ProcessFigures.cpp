// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProcessFigures.h"

#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <string>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VELK_SOAK_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VELK_SOAK_SANITIZER 1
#endif

#ifdef VELK_SOAK_SANITIZER
// The sanitizer runtimes' allocator statistics (GCC installs no header for
// them): bytes of blocks allocated and not yet freed.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

std::string procPath(pid_t pid, const char* entry)
{
    return (pid == 0 ? std::string("/proc/self/") : "/proc/" + std::to_string(pid) + "/") + entry;
}

// The number after "Name:" in a /proc status text, or -1.
std::int64_t statusNumber(const std::string& text, std::string_view name)
{
    const std::size_t at = text.find("\n" + std::string(name) + ":");
    if (at == std::string::npos)
        return -1;
    std::size_t begin = at + name.size() + 2;
    while (begin < text.size() && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    std::int64_t value = -1;
    std::from_chars(text.data() + begin, text.data() + text.size(), value);
    return value;
}

int countDescriptors(pid_t pid)
{
    DIR* dir = ::opendir(procPath(pid, "fd").c_str());
    if (!dir)
        return -1;
    const std::string own = std::to_string(::dirfd(dir));
    int count = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (pid == 0 && name == own)
            continue;
        ++count;
    }
    ::closedir(dir);
    return count;
}

}  // namespace

ProcessFigures readProcessFigures(pid_t pid)
{
    ProcessFigures figures;
    std::ifstream file(procPath(pid, "status"));
    if (!file)
        return figures;
    const std::string text = "\n" + std::string(std::istreambuf_iterator<char>(file), {});
    figures.rssKiB = statusNumber(text, "VmRSS");
    figures.threads = static_cast<int>(statusNumber(text, "Threads"));
    figures.fds = countDescriptors(pid);
    return figures;
}

std::int64_t liveHeapBytes()
{
#ifdef VELK_SOAK_SANITIZER
    return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = ::mallinfo2();
    return static_cast<std::int64_t>(info.uordblks + info.hblkhd);
#endif
}

void fixAllocatorThresholds()
{
#ifndef VELK_SOAK_SANITIZER
    // glibc's defaults; setting them explicitly turns their growth off.
    constexpr int kThresholdBytes = 128 * 1024;
    ::mallopt(M_MMAP_THRESHOLD, kThresholdBytes);
    ::mallopt(M_TRIM_THRESHOLD, kThresholdBytes);
#endif
}

void releaseFreeHeapPages()
{
#ifndef VELK_SOAK_SANITIZER
    ::malloc_trim(0);
#endif
}

bool underSanitizer()
{
#ifdef VELK_SOAK_SANITIZER
    return true;
#else
    return false;
#endif
}

pid_t findChildProcess(std::string_view name)
{
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return 0;
    const pid_t self = ::getpid();
    pid_t found = 0;
    while (const dirent* entry = ::readdir(proc)) {
        pid_t pid = 0;
        const std::string_view digits = entry->d_name;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
        if (error != std::errc() || end != digits.data() + digits.size() || pid <= 0)
            continue;
        // /proc/<pid>/stat: "pid (comm) state ppid ..."; comm may hold spaces
        // and parentheses, so the fields are read after its last ')'.
        std::ifstream file(procPath(pid, "stat"));
        const std::string stat(std::istreambuf_iterator<char>(file), {});
        const std::size_t open = stat.find('(');
        const std::size_t close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 4 >= stat.size())
            continue;
        const std::string_view comm(stat.data() + open + 1, close - open - 1);
        const pid_t parent = static_cast<pid_t>(std::strtol(stat.c_str() + close + 4, nullptr, 10));
        if (parent == self && comm == name.substr(0, 15)) {
            found = pid;
            break;
        }
    }
    ::closedir(proc);
    return found;
}
