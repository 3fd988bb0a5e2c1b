// SPDX-License-Identifier: GPL-3.0-or-later
// One segment being recorded: its data file (1024 zero bytes, then whole
// container frames) and its index (SegmentIndex.h). Frames are written as
// they come; sync() flushes the data to disk and only then appends the
// index records of what was flushed, so the index never points past the
// data a crash leaves. finish() writes the header. Used by the recording
// writer's thread only.
#pragma once

#include "RecordingCatalog.h"
#include "SegmentIndex.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace velk::recorder {

// A write failure to pretend (for the simulator's disk faults): 0 none,
// else the errno every write of frame data and every new segment then fails
// with (as a full disk: what was written can still be flushed).
using WriteFault = std::atomic<int>;

class SegmentWriter {
public:
    ~SegmentWriter();
    SegmentWriter(const SegmentWriter&) = delete;
    SegmentWriter& operator=(const SegmentWriter&) = delete;

    // Creates the segment (and its folders) under root at relativePath; it
    // must not exist. Nothing (and error) on failure.
    static std::unique_ptr<SegmentWriter> create(const std::filesystem::path& root, const std::string& relativePath,
                                                 std::uint32_t channel, RecordType type, const WriteFault* fault,
                                                 std::string& error);

    // Appends one whole frame. False (and error) when it could not be
    // written whole; the segment then ends at the frame before.
    bool append(std::span<const std::uint8_t> frame, std::int64_t timeMs, bool key, std::string& error);
    // Flushes the data and appends the index records of what was flushed.
    bool sync(std::string& error);
    // Flushes, cuts anything after the last whole frame, writes the header
    // and closes. A segment without frames is deleted (false from hasFrames).
    bool finish(std::string& error);

    const std::string& relativePath() const { return m_relativePath; }
    std::uint32_t channel() const { return m_channel; }
    RecordType type() const { return m_type; }
    bool hasFrames() const { return m_frames > 0; }
    std::int64_t startMs() const { return m_startMs; }
    std::int64_t lastMs() const { return m_lastMs; }  // the newest frame's time
    std::int64_t endMs() const { return m_lastMs + 40; }
    std::uint64_t dataEnd() const { return m_end; }           // whole frames written
    std::uint64_t syncedEnd() const { return m_syncedEnd; }   // of those, flushed and indexed
    std::int64_t syncedEndMs() const { return m_syncedEndMs; }
    std::uint64_t frames() const { return m_frames; }
    std::uint64_t indexBytes() const { return m_indexBytes; }

private:
    SegmentWriter() = default;
    bool failing(std::string& error, const char* what);
    bool appendIndex(const std::vector<std::uint8_t>& bytes, std::string& error);

    std::filesystem::path m_file;
    std::filesystem::path m_indexFile;
    std::string m_relativePath;
    std::uint32_t m_channel = 0;
    RecordType m_type = RecordType::Normal;
    const WriteFault* m_fault = nullptr;
    int m_fd = -1;
    int m_indexFd = -1;
    std::uint64_t m_end = 0;
    std::uint64_t m_syncedEnd = 0;
    std::int64_t m_syncedEndMs = 0;
    std::uint64_t m_indexBytes = 0;
    std::int64_t m_startMs = 0;
    std::int64_t m_lastMs = 0;
    std::uint64_t m_frames = 0;
    std::vector<IndexKey> m_unsyncedKeys;
};

}  // namespace velk::recorder
