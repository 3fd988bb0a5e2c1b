// SPDX-License-Identifier: GPL-3.0-or-later
#include "SegmentIndex.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace velk::recorder {

namespace {

constexpr char kMagic[] = "VELKIDX1";
constexpr std::uint32_t kKindKey = 1;
constexpr std::uint32_t kKindExtent = 2;

std::vector<std::uint8_t> encodeRecord(std::uint32_t kind, std::int64_t time, std::uint64_t offset)
{
    std::vector<std::uint8_t> out(kIndexRecordBytes, 0);
    for (int i = 0; i < 4; ++i)
        out[i] = std::uint8_t(kind >> (8 * i));
    const auto t = static_cast<std::uint64_t>(time);
    for (int i = 0; i < 8; ++i) {
        out[8 + i] = std::uint8_t(t >> (8 * i));
        out[16 + i] = std::uint8_t(offset >> (8 * i));
    }
    return out;
}

std::uint64_t le64(const std::uint8_t* p)
{
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

}  // namespace

std::vector<std::uint8_t> indexMagic()
{
    return std::vector<std::uint8_t>(kMagic, kMagic + kIndexMagicBytes);
}

std::vector<std::uint8_t> encodeKey(const IndexKey& key)
{
    return encodeRecord(kKindKey, key.timeMs, key.offset);
}

std::vector<std::uint8_t> encodeExtent(const IndexExtent& extent)
{
    return encodeRecord(kKindExtent, extent.endMs, extent.dataEnd);
}

std::optional<IndexContent> decodeIndex(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kIndexMagicBytes || std::memcmp(bytes.data(), kMagic, kIndexMagicBytes) != 0)
        return std::nullopt;
    IndexContent content;
    for (std::size_t pos = kIndexMagicBytes; pos + kIndexRecordBytes <= bytes.size(); pos += kIndexRecordBytes) {
        const std::uint8_t* r = bytes.data() + pos;
        const std::uint32_t kind = std::uint32_t(r[0]) | std::uint32_t(r[1]) << 8 | std::uint32_t(r[2]) << 16 |
                                   std::uint32_t(r[3]) << 24;
        const auto time = static_cast<std::int64_t>(le64(r + 8));
        const std::uint64_t offset = le64(r + 16);
        if (kind == kKindKey)
            content.keys.push_back(IndexKey{time, offset});
        else if (kind == kKindExtent)
            content.extent = IndexExtent{time, offset};
    }
    return content;
}

std::optional<IndexContent> readIndexFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return decodeIndex(bytes);
}

bool writeIndexFile(const std::filesystem::path& file, const IndexContent& content)
{
    std::vector<std::uint8_t> bytes = indexMagic();
    for (const auto& key : content.keys) {
        const auto r = encodeKey(key);
        bytes.insert(bytes.end(), r.begin(), r.end());
    }
    if (content.extent) {
        const auto r = encodeExtent(*content.extent);
        bytes.insert(bytes.end(), r.begin(), r.end());
    }
    const std::filesystem::path temporary = file.string() + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    std::size_t written = 0;
    bool ok = true;
    while (ok && written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        written += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && ::fdatasync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    std::error_code error;
    if (ok)
        std::filesystem::rename(temporary, file, error);
    if (!ok || error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

}  // namespace velk::recorder
