// SPDX-License-Identifier: GPL-3.0-or-later
// The recordings stored under <data>/recordings as a RecordingCatalog: one
// span per segment (consecutive segments stay separate spans, each naming
// its own file), and readers that walk a channel's segments in time order,
// finding their place through each segment's index. A segment still being
// recorded is read up to what its writer has flushed and indexed. What is
// stored is known from the SegmentTable, which the recording writer keeps
// up to date from its thread; searches and readers run on the I/O thread.
#pragma once

#include "RecordingCatalog.h"
#include "SegmentTable.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velk::recorder {

// Reads what is under root (<data>/recordings): every segment with a valid
// header, by its index (made again in memory when it is missing or does not
// cover the file), and every unfinished one (header all zero). With recover,
// unfinished segments are repaired on disk first (a torn last frame cut,
// index rebuilt, header written) and empty ones deleted; log receives one
// line per segment recovered or given up.
std::vector<SegmentSummary> scanRecordings(const std::filesystem::path& root, bool recover,
                                           const std::function<void(const std::string&)>& log = {});

class StoredRecordings : public RecordingCatalog {
public:
    // channels: readers of a channel at or above it are refused (null).
    explicit StoredRecordings(std::filesystem::path dataFolder, std::uint32_t channels = 64);

    // <data>/recordings
    const std::filesystem::path& folder() const { return m_folder; }
    SegmentTable& table() { return *m_table; }
    const SegmentTable& table() const { return *m_table; }
    // Fills the table from what is on disk without changing anything there
    // (for a catalog without a recording writer: tests and tools).
    void load();

    std::vector<RecordSpan> spans(std::uint32_t channel, std::int64_t fromMs, std::int64_t toMs,
                                  RecordTypeFilter filter) const override;
    std::unique_ptr<FrameReader> openReader(std::uint32_t channel, std::int64_t fromMs, std::int64_t toMs,
                                            RecordTypeFilter filter) const override;

private:
    std::filesystem::path m_folder;
    std::uint32_t m_channels;
    std::shared_ptr<SegmentTable> m_table;  // readers keep it alive
};

}  // namespace velk::recorder
