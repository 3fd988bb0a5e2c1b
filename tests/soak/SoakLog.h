// SPDX-License-Identifier: GPL-3.0-or-later
// The figures a soak took, printed as a table a person can read, and the
// comparisons of the end figures with those after the warm-up.
#pragma once

#include "ProcessFigures.h"

#include <cstdint>
#include <string>
#include <vector>

struct SoakSample {
    std::string phase;  // "before", "warm-up", "cycle", "after"
    int cycle = 0;      // cycles done when taken
    double seconds = 0;  // since the soak began
    ProcessFigures viewer;
    std::int64_t viewerTrimmedRssKiB = 0;  // resident once free heap pages were handed back
    std::int64_t viewerHeapBytes = 0;
    ProcessFigures recorder;
};

// How far the end figures may lie above the warm-up figures.
struct SoakBounds {
    int threads = 0;
    int fds = 0;
    std::int64_t heapBytes = 0;
    // Heap growth over the second half (from the first sample halfway
    // between warm-up and end): a slow leak that the whole-run bound lets
    // through in a long soak shows here once caches and logs are full.
    std::int64_t lateHeapBytes = 0;
    std::int64_t rssKiB = 0;  // the viewer's trimmed RSS, the recorder's RSS
    bool checkRss = true;     // false where resident memory holds freed memory too
};

class SoakLog {
public:
    explicit SoakLog(std::string title) : m_title(std::move(title)) {}

    void add(SoakSample sample) { m_samples.push_back(std::move(sample)); }
    const std::vector<SoakSample>& samples() const { return m_samples; }
    // The sample of this phase, or nullptr.
    const SoakSample* find(const std::string& phase) const;
    // The first sample at or after the middle between warm-up and end
    // (never the end itself), or nullptr.
    const SoakSample* middle() const;

    // The samples as a table, with the growth from warm-up to the end: the
    // header, one row per sample and the summary, which can also be printed
    // one by one as the soak goes.
    std::string table() const;
    std::string header() const;
    static std::string row(const SoakSample& sample);
    std::string summary() const;
    // One line for each end figure above its bound (with both figures);
    // empty when everything stayed within bounds or a sample is missing.
    std::vector<std::string> excesses(const SoakBounds& bounds) const;

private:
    std::string m_title;
    std::vector<SoakSample> m_samples;
};
