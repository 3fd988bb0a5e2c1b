// SPDX-License-Identifier: GPL-3.0-or-later
#include "DownloadFile.h"

#include "proto/RecordFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <system_error>
#include <vector>

namespace velk::tovr {

namespace {

// Chunks gathered into one write.
constexpr std::size_t kMaxGather = 256;

bool writeFully(int fd, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::unique_ptr<DownloadFile> DownloadFile::create(const std::string& path, EndedHandler ended,
                                                   DrainedHandler drained)
{
    const std::string partPath = path + kPartSuffix;
    const int fd = ::open(partPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return nullptr;
    const std::array<char, recordfile::kDataOffset> zeros{};
    struct stat info {};
    if (!writeFully(fd, zeros.data(), zeros.size()) || ::fstat(fd, &info) != 0) {
        ::close(fd);
        ::unlink(partPath.c_str());
        return nullptr;
    }
    std::unique_ptr<DownloadFile> file(new DownloadFile(path, fd, std::move(ended), std::move(drained)));
    file->m_device = info.st_dev;
    file->m_inode = info.st_ino;
    try {
        file->m_thread = std::thread([raw = file.get()] { raw->run(); });
    } catch (const std::system_error&) {
        ::close(fd);
        file->m_fd = -1;
        file->removePart();
        return nullptr;
    }
    return file;
}

DownloadFile::DownloadFile(std::string path, int fd, EndedHandler ended, DrainedHandler drained)
    : m_path(std::move(path)),
      m_partPath(m_path + kPartSuffix),
      m_fd(fd),
      m_onEnded(std::move(ended)),
      m_onDrained(std::move(drained))
{
}

DownloadFile::~DownloadFile()
{
    abort();
    if (!m_thread.joinable())
        return;
    // The last owner may let go inside the ended handler, on the writer
    // thread itself, which is then about to end anyway.
    if (m_thread.get_id() == std::this_thread::get_id())
        m_thread.detach();
    else
        m_thread.join();
}

bool DownloadFile::append(std::string bytes)
{
    std::lock_guard lock(m_queueLock);
    if (m_finishing || m_aborted || m_writerDone)
        return true;
    if (!m_queue.empty() && m_queue.back().size() + bytes.size() <= kChunkBytes) {
        queueLocked(bytes);
    } else {
        // A piece that starts a chunk is kept as it is (no copy).
        m_queuedBytes += bytes.size();
        if (!m_queue.empty())
            m_queueChanged.notify_one();
        if (bytes.size() < kChunkBytes)
            bytes.reserve(kChunkBytes);
        m_queue.push_back(std::move(bytes));
    }
    return underHighMarkLocked();
}

bool DownloadFile::append(std::span<const std::string_view> pieces)
{
    std::lock_guard lock(m_queueLock);
    if (m_finishing || m_aborted || m_writerDone)
        return true;
    for (const std::string_view piece : pieces)
        queueLocked(piece);
    return underHighMarkLocked();
}

void DownloadFile::queueLocked(std::string_view bytes)
{
    m_queuedBytes += bytes.size();
    // Small pieces are gathered into chunks, and the writer is woken for
    // whole chunks only: a wake-up per piece would cost more than the write.
    if (m_queue.empty() || m_queue.back().size() + bytes.size() > kChunkBytes) {
        if (!m_queue.empty())
            m_queueChanged.notify_one();
        m_queue.emplace_back();
        m_queue.back().reserve(std::max(kChunkBytes, bytes.size()));
    }
    m_queue.back().append(bytes);
}

bool DownloadFile::underHighMarkLocked()
{
    if (m_queuedBytes < kQueueHighBytes)
        return true;
    m_queueChanged.notify_one();
    m_full = true;
    return false;
}

void DownloadFile::finish(int channel)
{
    {
        std::lock_guard lock(m_queueLock);
        if (m_finishing || m_aborted)
            return;
        m_finishing = true;
        m_channel = channel;
    }
    m_queueChanged.notify_one();
}

void DownloadFile::abort()
{
    {
        std::lock_guard lock(m_queueLock);
        m_aborted = true;
        m_queue.clear();
        m_queuedBytes = 0;
    }
    m_queueChanged.notify_one();
}

void DownloadFile::join()
{
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

void DownloadFile::run()
{
    bool complete = false;
    for (;;) {
        std::deque<std::string> chunks;
        bool finishing = false;
        int channel = 0;
        bool drained = false;
        {
            std::unique_lock lock(m_queueLock);
            // A chunk still being filled waits for more, or for the end.
            m_queueChanged.wait(lock, [this] {
                return m_aborted || m_finishing || m_queue.size() > 1 || m_queuedBytes >= kQueueHighBytes;
            });
            if (m_aborted)
                break;
            chunks.swap(m_queue);
            m_queuedBytes = 0;
            finishing = m_finishing;
            channel = m_channel;
            if (m_full) {
                m_full = false;
                drained = true;
            }
        }
        // Everything queued is taken now, so the reader may go on while
        // these bytes are written.
        if (drained && m_onDrained)
            m_onDrained();
        if (!writeAll(chunks))
            break;
        if (finishing) {
            // Nothing can be appended after finish(): the queue was final.
            complete = finishFile(channel);
            break;
        }
    }
    if (!complete) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        removePart();
    }
    {
        std::lock_guard lock(m_queueLock);
        m_writerDone = true;
        m_queue.clear();
        m_queuedBytes = 0;
    }
    if (m_onEnded)
        m_onEnded(complete);
}

bool DownloadFile::writeAll(std::deque<std::string>& chunks)
{
    std::vector<iovec> gather;
    gather.reserve(kMaxGather);
    std::size_t next = 0;
    std::size_t offset = 0;  // into chunks[next], after a short write
    while (next < chunks.size()) {
        gather.clear();
        for (std::size_t i = next; i < chunks.size() && gather.size() < kMaxGather; ++i) {
            const std::size_t skip = i == next ? offset : 0;
            gather.push_back(iovec{chunks[i].data() + skip, chunks[i].size() - skip});
        }
        const ssize_t n = ::writev(m_fd, gather.data(), static_cast<int>(gather.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        auto written = static_cast<std::size_t>(n);
        while (written > 0) {
            const std::size_t left = chunks[next].size() - offset;
            if (written < left) {
                offset += written;
                written = 0;
            } else {
                written -= left;
                ++next;
                offset = 0;
            }
        }
        // Chunks written whole are skipped (empty ones too).
        while (next < chunks.size() && chunks[next].size() == offset) {
            ++next;
            offset = 0;
        }
        // A stop comes through between large writes.
        std::lock_guard lock(m_queueLock);
        if (m_aborted)
            return false;
    }
    return true;
}

bool DownloadFile::finishFile(int channel)
{
    // The header is read back from the data, as for a local record file
    // (the file was opened for reading and writing for this).
    std::FILE* file = ::fdopen(m_fd, "r+b");
    if (!file)
        return false;
    m_fd = -1;  // the stdio file owns it now
    recordfile::FileSource source(file);
    const recordfile::HeaderFields fields = recordfile::scanHeaderFields(source, channel);
    bool ok = recordfile::writeHeader(file, recordfile::buildHeader(fields));
    ok = std::fflush(file) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    if (ok) {
        std::lock_guard lock(m_queueLock);
        // A stop that came meanwhile wins: the file is not made whole then.
        if (m_aborted)
            return false;
        ok = std::rename(m_partPath.c_str(), m_path.c_str()) == 0;
        // Renamed under the lock, so abort() afterwards finds it complete.
        if (ok)
            m_writerDone = true;
    }
    return ok;
}

void DownloadFile::removePart()
{
    // Only our own file: another download may have made a new one of the
    // same name since.
    struct stat info {};
    if (::stat(m_partPath.c_str(), &info) == 0 && info.st_dev == m_device && info.st_ino == m_inode)
        ::unlink(m_partPath.c_str());
}

}  // namespace velk::tovr
