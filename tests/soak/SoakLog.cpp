// SPDX-License-Identifier: GPL-3.0-or-later
#include "SoakLog.h"

#include <cstdio>

namespace {

double mebibytes(std::int64_t bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

std::string format(const char* pattern, auto... values)
{
    char line[256];
    std::snprintf(line, sizeof line, pattern, values...);
    return line;
}

}  // namespace

const SoakSample* SoakLog::find(const std::string& phase) const
{
    for (const SoakSample& sample : m_samples)
        if (sample.phase == phase)
            return &sample;
    return nullptr;
}

const SoakSample* SoakLog::middle() const
{
    const SoakSample* warm = find("warm-up");
    const SoakSample* end = find("after");
    if (!warm || !end)
        return nullptr;
    const int half = warm->cycle + (end->cycle - warm->cycle + 1) / 2;
    for (const SoakSample& sample : m_samples)
        if (sample.phase != "after" && sample.cycle > warm->cycle && sample.cycle >= half)
            return &sample;
    return nullptr;
}

std::string SoakLog::table() const
{
    std::string text = header();
    for (const SoakSample& sample : m_samples)
        text += row(sample);
    return text + summary();
}

std::string SoakLog::header() const
{
    std::string text = "\n" + m_title + "\n";
    text += "                          |                 viewer (this process)            |  recorder (child process)\n";
    text += "phase      cycle     time |  RSS MiB  trimmed  heap MiB  threads      fds |  RSS MiB  threads      fds\n";
    text += "----------------------------------------------------------------------------------------------------------\n";
    return text;
}

std::string SoakLog::row(const SoakSample& s)
{
    return format("%-8s %7d %7.1fs | %8.1f %8.1f %9.2f %8d %8d | %8.1f %8d %8d\n", s.phase.c_str(), s.cycle,
                  s.seconds, s.viewer.rssKiB / 1024.0, s.viewerTrimmedRssKiB / 1024.0, mebibytes(s.viewerHeapBytes),
                  s.viewer.threads, s.viewer.fds, s.recorder.rssKiB / 1024.0, s.recorder.threads, s.recorder.fds);
}

std::string SoakLog::summary() const
{
    std::string text;
    const SoakSample* warm = find("warm-up");
    const SoakSample* end = find("after");
    if (warm && end) {
        text += format("%-25s | %+8.1f %+8.1f %+9.2f %+8d %+8d | %+8.1f %+8d %+8d\n", "after - warm-up",
                       (end->viewer.rssKiB - warm->viewer.rssKiB) / 1024.0,
                       (end->viewerTrimmedRssKiB - warm->viewerTrimmedRssKiB) / 1024.0,
                       mebibytes(end->viewerHeapBytes - warm->viewerHeapBytes), end->viewer.threads - warm->viewer.threads,
                       end->viewer.fds - warm->viewer.fds, (end->recorder.rssKiB - warm->recorder.rssKiB) / 1024.0,
                       end->recorder.threads - warm->recorder.threads, end->recorder.fds - warm->recorder.fds);
        const int cycles = end->cycle - warm->cycle;
        if (cycles > 0)
            text += format("per cycle after warm-up: viewer heap %+.0f bytes, viewer trimmed RSS %+.1f KiB, recorder "
                           "RSS %+.1f KiB; %.2f s a cycle\n",
                           static_cast<double>(end->viewerHeapBytes - warm->viewerHeapBytes) / cycles,
                           static_cast<double>(end->viewerTrimmedRssKiB - warm->viewerTrimmedRssKiB) / cycles,
                           static_cast<double>(end->recorder.rssKiB - warm->recorder.rssKiB) / cycles,
                           (end->seconds - warm->seconds) / cycles);
        if (const SoakSample* mid = middle())
            text += format("second half (cycles %d to %d): viewer heap %+lld bytes\n", mid->cycle, end->cycle,
                           static_cast<long long>(end->viewerHeapBytes - mid->viewerHeapBytes));
    }
    return text;
}

std::vector<std::string> SoakLog::excesses(const SoakBounds& bounds) const
{
    std::vector<std::string> found;
    const SoakSample* warm = find("warm-up");
    const SoakSample* end = find("after");
    if (!warm || !end)
        return found;
    const auto check = [&found](const char* what, std::int64_t before, std::int64_t after, std::int64_t bound,
                                const char* unit) {
        if (after > before + bound)
            found.push_back(format("%s grew from %lld to %lld %s (allowed: +%lld)", what, static_cast<long long>(before),
                                   static_cast<long long>(after), unit, static_cast<long long>(bound)));
    };
    check("viewer threads", warm->viewer.threads, end->viewer.threads, bounds.threads, "");
    check("viewer descriptors", warm->viewer.fds, end->viewer.fds, bounds.fds, "");
    check("viewer heap", warm->viewerHeapBytes, end->viewerHeapBytes, bounds.heapBytes, "bytes");
    if (const SoakSample* mid = middle())
        check("viewer heap over the second half", mid->viewerHeapBytes, end->viewerHeapBytes, bounds.lateHeapBytes,
              "bytes");
    check("recorder threads", warm->recorder.threads, end->recorder.threads, bounds.threads, "");
    check("recorder descriptors", warm->recorder.fds, end->recorder.fds, bounds.fds, "");
    if (bounds.checkRss) {
        check("viewer RSS (trimmed)", warm->viewerTrimmedRssKiB, end->viewerTrimmedRssKiB, bounds.rssKiB, "KiB");
        check("recorder RSS", warm->recorder.rssKiB, end->recorder.rssKiB, bounds.rssKiB, "KiB");
    }
    return found;
}
