// SPDX-License-Identifier: GPL-3.0-or-later
// The index beside each recorded segment (".idx"): where its key frames are
// and how far its data is known to be on disk. Little-endian binary:
//
//   bytes 0-7    "VELKIDX1"
//   then records of 24 bytes each:
//     u32 kind    1 key frame, 2 extent
//     u32 zero
//     i64 time    key frame: its time (ms since 1970 UTC);
//                 extent: the time of the last frame plus one frame interval
//     u64 offset  key frame: its byte offset in the segment;
//                 extent: the end of the data flushed to disk
//
// Records are appended only after the data they describe was flushed, so an
// index never points past what a crash leaves. A torn last record (a size
// that is not 8 + 24 k) is ignored. The last extent says how far a reader
// may read; a finished segment's last extent is its whole data.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace velk::recorder {

constexpr std::size_t kIndexMagicBytes = 8;
constexpr std::size_t kIndexRecordBytes = 24;

struct IndexKey {
    std::int64_t timeMs = 0;
    std::uint64_t offset = 0;
    bool operator==(const IndexKey&) const = default;
};

struct IndexExtent {
    std::int64_t endMs = 0;
    std::uint64_t dataEnd = 0;
    bool operator==(const IndexExtent&) const = default;
};

struct IndexContent {
    std::vector<IndexKey> keys;
    std::optional<IndexExtent> extent;  // the last one
};

std::vector<std::uint8_t> indexMagic();
std::vector<std::uint8_t> encodeKey(const IndexKey& key);
std::vector<std::uint8_t> encodeExtent(const IndexExtent& extent);
// Nothing when the magic is wrong; records of an unknown kind are skipped.
std::optional<IndexContent> decodeIndex(std::span<const std::uint8_t> bytes);

std::optional<IndexContent> readIndexFile(const std::filesystem::path& file);
// Writes a whole index (a temporary file flushed, then renamed over).
bool writeIndexFile(const std::filesystem::path& file, const IndexContent& content);

}  // namespace velk::recorder
