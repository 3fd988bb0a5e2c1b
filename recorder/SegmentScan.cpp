// SPDX-License-Identifier: GPL-3.0-or-later
#include "SegmentScan.h"

#include "SegmentNames.h"

#include "proto/MediaFrame.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velk::recorder {

namespace {

// The longest container frame there can be (a camera's key frame may be
// several megabytes).
constexpr std::uint64_t kMaxFrameBytes = media::kHeaderBytes + media::kMaxBodyBytes;
constexpr std::size_t kScanChunk = 64 * 1024;

}  // namespace

DescriptorSource::DescriptorSource(int fd) : m_fd(fd)
{
    struct stat st {};
    if (::fstat(fd, &st) == 0)
        m_size = static_cast<std::uint64_t>(st.st_size);
}

std::size_t DescriptorSource::readAt(std::uint64_t offset, std::uint8_t* out, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(m_fd, out + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::optional<ScannedFrame> frameAt(recordfile::ByteSource& source, std::uint64_t offset, std::uint64_t end,
                                    std::uint32_t channel, std::vector<std::uint8_t>& bytes)
{
    if (offset >= end || end - offset < media::kHeaderBytes)
        return std::nullopt;
    std::uint8_t header[media::kHeaderBytes];
    if (source.readAt(offset, header, sizeof header) != sizeof header)
        return std::nullopt;
    const std::size_t length = media::frameLength(std::span<const std::uint8_t>(header, sizeof header));
    if (length == 0 || length > kMaxFrameBytes || length > end - offset)
        return std::nullopt;
    bytes.resize(length);
    if (source.readAt(offset, bytes.data(), length) != length)
        return std::nullopt;
    const auto view = media::parseFrame(bytes);
    if (!view || !media::isVideo(view->kind) || view->channel != channel || view->streamType != 0 || !view->time ||
        view->time->milliseconds > 999)
        return std::nullopt;
    ScannedFrame frame;
    frame.offset = offset;
    frame.length = static_cast<std::uint32_t>(length);
    frame.timeMs = std::int64_t(view->time->seconds) * 1000 + view->time->milliseconds;
    frame.key = view->kind == media::MediaKind::VideoKey;
    return frame;
}

std::optional<std::uint64_t> nextGoodFrameAfter(recordfile::ByteSource& source, std::uint64_t from,
                                                std::uint64_t end, std::uint32_t channel)
{
    std::vector<std::uint8_t> chunk;
    std::vector<std::uint8_t> frame;
    for (std::uint64_t start = from + 1; start + 4 <= end;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kScanChunk, end - start));
        chunk.resize(want);
        const std::size_t got = source.readAt(start, chunk.data(), want);
        if (got < 4)
            return std::nullopt;
        for (std::size_t i = 0; i + 4 <= got; ++i) {
            if (chunk[i + 1] == '2' && chunk[i + 2] == 'd' && chunk[i + 3] == 'c' &&
                frameAt(source, start + i, end, channel, frame))
                return start + i;
        }
        start += got - 3;  // a magic may straddle two chunks
    }
    return std::nullopt;
}

SegmentWalk walkSegment(recordfile::ByteSource& source, std::uint64_t end, std::uint32_t channel)
{
    SegmentWalk walk;
    walk.goodEnd = recordfile::kDataOffset;
    std::vector<std::uint8_t> bytes;
    std::uint64_t offset = recordfile::kDataOffset;
    std::int64_t lastMs = 0;
    while (offset < end) {
        const auto frame = frameAt(source, offset, end, channel, bytes);
        if (!frame) {
            const auto next = nextGoodFrameAfter(source, offset, end, channel);
            if (!next)
                break;  // a torn or damaged tail
            ++walk.damaged;
            offset = *next;
            continue;
        }
        if (frame->key)
            walk.index.keys.push_back(IndexKey{frame->timeMs, frame->offset});
        if (!walk.firstMs)
            walk.firstMs = frame->timeMs;
        lastMs = frame->timeMs;
        ++walk.frames;
        offset += frame->length;
        walk.goodEnd = offset;
    }
    if (walk.frames > 0)
        walk.index.extent = IndexExtent{lastMs + kFrameIntervalMs, walk.goodEnd};
    return walk;
}

bool writeSegmentHeader(int fd, std::uint32_t channel)
{
    DescriptorSource source(fd);
    const auto header = recordfile::buildHeader(recordfile::scanHeaderFields(source, static_cast<int>(channel)));
    std::size_t done = 0;
    while (done < header.size()) {
        const ssize_t n = ::pwrite(fd, header.data() + done, header.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return ::fdatasync(fd) == 0;
}

Recovery recoverSegment(const std::filesystem::path& file, std::uint32_t channel)
{
    Recovery recovery;
    const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        recovery.message = "cannot open " + file.string() + ": " + std::strerror(errno);
        return recovery;
    }
    DescriptorSource source(fd);
    recovery.walk = walkSegment(source, source.size(), channel);
    if (recovery.walk.frames == 0) {
        ::close(fd);
        recovery.empty = true;
        recovery.ok = true;
        return recovery;
    }
    bool ok = true;
    if (recovery.walk.goodEnd < source.size())
        ok = ::ftruncate(fd, static_cast<off_t>(recovery.walk.goodEnd)) == 0;
    ok = ok && ::fdatasync(fd) == 0;
    std::filesystem::path index = file;
    index.replace_extension(".idx");
    ok = ok && writeIndexFile(index, recovery.walk.index);
    ok = ok && writeSegmentHeader(fd, channel);
    ::close(fd);
    recovery.ok = ok;
    if (!ok)
        recovery.message = "cannot recover " + file.string() + ": " + std::strerror(errno);
    return recovery;
}

}  // namespace velk::recorder
