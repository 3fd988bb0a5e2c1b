// SPDX-License-Identifier: GPL-3.0-or-later
// What is known of every stored segment, shared between the recording
// writer's thread (which publishes segments as they are flushed, finished,
// recovered or deleted) and the I/O thread (searches and readers copy what
// they need). Every member function takes m_lock for a copy or an update
// only; no file is touched under it.
#pragma once

#include "RecordingCatalog.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velk::recorder {

struct SegmentSummary {
    std::uint32_t channel = 0;
    RecordType type = RecordType::Normal;
    std::string path;              // relative to <data>/recordings, '/'-separated
    std::int64_t startMs = 0;      // time of its first frame
    std::int64_t endMs = 0;        // time of its last readable frame plus one frame interval
    std::uint64_t dataEnd = 0;     // file offset up to which frames are flushed and indexed
    std::uint64_t indexBytes = 0;  // size of its index file
    bool finished = false;         // its header is written; false while it is recorded
};

class SegmentTable {
public:
    // Adds a segment or replaces the one of the same channel and path.
    void publish(const SegmentSummary& segment);
    void remove(std::uint32_t channel, const std::string& path);
    // The channel's segments ordered by start.
    std::vector<SegmentSummary> channel(std::uint32_t channel) const;
    std::optional<SegmentSummary> find(std::uint32_t channel, const std::string& path) const;
    std::vector<SegmentSummary> all() const;

private:
    // m_lock guards m_segments; held only to copy or change entries.
    mutable std::mutex m_lock;
    std::map<std::uint32_t, std::vector<SegmentSummary>> m_segments;  // per channel, by start
};

}  // namespace velk::recorder
