// SPDX-License-Identifier: GPL-3.0-or-later
#include "SegmentWriter.h"

#include "SegmentNames.h"
#include "SegmentScan.h"

#include "proto/RecordFile.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace velk::recorder {

namespace {

bool writeAll(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t offset)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

int faultOf(const WriteFault* fault)
{
    return fault ? fault->load(std::memory_order_relaxed) : 0;
}

}  // namespace

SegmentWriter::~SegmentWriter()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_indexFd >= 0)
        ::close(m_indexFd);
}

bool SegmentWriter::failing(std::string& error, const char* what)
{
    error = std::string(what) + " " + m_file.string() + ": " + std::strerror(errno);
    return false;
}

std::unique_ptr<SegmentWriter> SegmentWriter::create(const std::filesystem::path& root,
                                                     const std::string& relativePath, std::uint32_t channel,
                                                     RecordType type, const WriteFault* fault, std::string& error)
{
    std::unique_ptr<SegmentWriter> writer(new SegmentWriter);
    writer->m_file = root / relativePath;
    writer->m_indexFile = root / indexPathOf(relativePath);
    writer->m_relativePath = relativePath;
    writer->m_channel = channel;
    writer->m_type = type;
    writer->m_fault = fault;
    if (const int f = faultOf(fault)) {
        errno = f;
        writer->failing(error, "cannot create");
        return nullptr;
    }
    std::error_code ec;
    std::filesystem::create_directories(writer->m_file.parent_path(), ec);
    writer->m_fd = ::open(writer->m_file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (writer->m_fd < 0) {
        writer->failing(error, "cannot create");
        return nullptr;
    }
    const std::vector<std::uint8_t> prefix(recordfile::kDataOffset, 0);
    writer->m_indexFd = ::open(writer->m_indexFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const auto magic = indexMagic();
    if (writer->m_indexFd < 0 || !writeAll(writer->m_fd, prefix.data(), prefix.size(), 0) ||
        !writeAll(writer->m_indexFd, magic.data(), magic.size(), 0)) {
        writer->failing(error, "cannot create");
        ::close(writer->m_fd);
        writer->m_fd = -1;
        std::filesystem::remove(writer->m_file, ec);
        std::filesystem::remove(writer->m_indexFile, ec);
        return nullptr;
    }
    writer->m_indexBytes = magic.size();
    writer->m_end = writer->m_syncedEnd = recordfile::kDataOffset;
    return writer;
}

bool SegmentWriter::append(std::span<const std::uint8_t> frame, std::int64_t timeMs, bool key, std::string& error)
{
    if (m_fd < 0) {
        errno = EBADF;
        return failing(error, "cannot write");
    }
    if (const int f = faultOf(m_fault)) {
        errno = f;
        return failing(error, "cannot write");
    }
    if (!writeAll(m_fd, frame.data(), frame.size(), m_end))
        return failing(error, "cannot write");
    if (key)
        m_unsyncedKeys.push_back(IndexKey{timeMs, m_end});
    if (m_frames == 0)
        m_startMs = timeMs;
    m_lastMs = timeMs;
    ++m_frames;
    m_end += frame.size();
    return true;
}

bool SegmentWriter::appendIndex(const std::vector<std::uint8_t>& bytes, std::string& error)
{
    if (!writeAll(m_indexFd, bytes.data(), bytes.size(), m_indexBytes)) {
        error = "cannot write " + m_indexFile.string() + ": " + std::strerror(errno);
        return false;
    }
    m_indexBytes += bytes.size();
    return true;
}

bool SegmentWriter::sync(std::string& error)
{
    if (m_fd < 0 || m_end == m_syncedEnd)
        return m_fd >= 0;
    if (::fdatasync(m_fd) != 0)
        return failing(error, "cannot flush");
    std::vector<std::uint8_t> records;
    for (const auto& key : m_unsyncedKeys) {
        const auto r = encodeKey(key);
        records.insert(records.end(), r.begin(), r.end());
    }
    const auto extent = encodeExtent(IndexExtent{endMs(), m_end});
    records.insert(records.end(), extent.begin(), extent.end());
    if (!appendIndex(records, error))
        return false;
    m_unsyncedKeys.clear();
    m_syncedEnd = m_end;
    m_syncedEndMs = endMs();
    return true;
}

bool SegmentWriter::finish(std::string& error)
{
    if (m_fd < 0)
        return false;
    std::error_code ec;
    if (m_frames == 0) {
        ::close(m_fd);
        ::close(m_indexFd);
        m_fd = m_indexFd = -1;
        std::filesystem::remove(m_file, ec);
        std::filesystem::remove(m_indexFile, ec);
        return true;
    }
    bool ok = true;
    std::string syncError;
    // Whatever a failed write left after the last whole frame goes.
    if (::ftruncate(m_fd, static_cast<off_t>(m_end)) != 0 || !sync(syncError)) {
        if (syncError.empty())
            syncError = "cannot cut " + m_file.string() + ": " + std::strerror(errno);
        // What could not be flushed or indexed goes: the segment keeps the
        // frames flushed before, and its index is made again from them.
        ok = false;
        error = syncError;
        if (::ftruncate(m_fd, static_cast<off_t>(m_syncedEnd)) == 0 && ::fdatasync(m_fd) == 0) {
            DescriptorSource source(m_fd);
            const SegmentWalk walk = walkSegment(source, m_syncedEnd, m_channel);
            writeIndexFile(m_indexFile, walk.index);
            m_end = m_syncedEnd;
        }
    } else {
        ::fdatasync(m_indexFd);
    }
    // A header only over data known to be on disk.
    if (!writeSegmentHeader(m_fd, m_channel) && ok) {
        ok = false;
        error = "cannot write the header of " + m_file.string() + ": " + std::strerror(errno);
    }
    ::close(m_fd);
    ::close(m_indexFd);
    m_fd = m_indexFd = -1;
    return ok;
}

}  // namespace velk::recorder
