// SPDX-License-Identifier: GPL-3.0-or-later
// Walking the frames of a recorded segment (a local record file: 1024-byte
// prefix, then container frames of one channel's main stream, video only),
// telling good frames from damaged ones, and recovering a segment that was
// never finished (a crash, a power cut). Plain file access; any thread.
#pragma once

#include "SegmentIndex.h"

#include "proto/RecordFile.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velk::recorder {

constexpr std::int64_t kFrameIntervalMs = 40;  // 25 frames a second

// Reads a file through its descriptor (pread; the descriptor is not owned).
class DescriptorSource : public recordfile::ByteSource {
public:
    explicit DescriptorSource(int fd);
    std::uint64_t size() const override { return m_size; }
    std::size_t readAt(std::uint64_t offset, std::uint8_t* out, std::size_t count) override;

private:
    int m_fd;
    std::uint64_t m_size = 0;
};

struct ScannedFrame {
    std::uint64_t offset = 0;
    std::uint32_t length = 0;  // header + body
    std::int64_t timeMs = 0;
    bool key = false;
};

// The frame at offset when it is a good one: wholly before end, its header
// and items well formed, a video frame of the main stream of this channel
// with a time item. bytes receives the frame.
std::optional<ScannedFrame> frameAt(recordfile::ByteSource& source, std::uint64_t offset, std::uint64_t end,
                                    std::uint32_t channel, std::vector<std::uint8_t>& bytes);
// The first offset after from (up to end) where a good frame starts.
std::optional<std::uint64_t> nextGoodFrameAfter(recordfile::ByteSource& source, std::uint64_t from,
                                                std::uint64_t end, std::uint32_t channel);

struct SegmentWalk {
    IndexContent index;            // keys and the extent of the good data
    std::uint64_t frames = 0;
    std::uint64_t damaged = 0;     // damaged stretches skipped in the middle
    std::uint64_t goodEnd = 0;     // end of the last good frame (kDataOffset when none)
    std::optional<std::int64_t> firstMs;
};

// Walks every frame from offset 1024 up to end; a damaged stretch is skipped
// to the next good frame, and whatever follows the last good frame is left
// out of goodEnd.
SegmentWalk walkSegment(recordfile::ByteSource& source, std::uint64_t end, std::uint32_t channel);

// Writes the finished header of a segment (times from the header scan).
bool writeSegmentHeader(int fd, std::uint32_t channel);

struct Recovery {
    bool ok = false;
    bool empty = false;  // no good frame: the caller deletes it
    SegmentWalk walk;
    std::string message;
};

// Recovers an unfinished segment: cuts what follows its last good frame (a
// torn frame), rebuilds its index beside it and writes its header.
Recovery recoverSegment(const std::filesystem::path& file, std::uint32_t channel);

}  // namespace velk::recorder
