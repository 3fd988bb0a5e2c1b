// SPDX-License-Identifier: GPL-3.0-or-later
// The local file of one download and the thread that writes it. The data
// go to "<name>.part": 1024 zero bytes (where the record file header goes),
// then the container frames exactly as received. The I/O thread only
// queues what it received; the writer thread writes it in large gathered
// writes, so a slow disk never holds up the I/O thread that also carries
// live streams. The queue is bounded: past its high mark append() says so
// and the caller stops reading its socket until the writer has caught up
// (then the drained handler runs).
//
// The file ends in one of two ways, reported once through the ended
// handler on the writer thread, after the fact on disk:
//   complete: every byte written, the header filled in from a scan of the
//             data (proto/RecordFile), the file flushed, closed and renamed
//             to <name> (replacing a file of that name);
//   failed:   a write error (a full disk), abort(), or a failure while
//             finishing: the ".part" file is closed and removed.
// Nothing is written after abort() and join() have returned.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>

namespace velk::tovr {

class DownloadFile {
public:
    // The queue's high mark (bytes waiting to be written).
    static constexpr std::size_t kQueueHighBytes = 8 * 1024 * 1024;
    // Received frames are gathered into chunks of up to this size; the
    // writer takes whole chunks (and the last one at the end).
    static constexpr std::size_t kChunkBytes = 512 * 1024;
    static constexpr const char* kPartSuffix = ".part";

    // Writer thread: the file is complete (renamed) or failed (removed).
    using EndedHandler = std::function<void(bool complete)>;
    // Writer thread: the writer took the whole queue after append() had
    // reported it full.
    using DrainedHandler = std::function<void()>;

    // Creates (or truncates) path + ".part", writes the zero prefix and
    // starts the writer thread; null when the file cannot be created or
    // the thread cannot start. Caller's thread.
    static std::unique_ptr<DownloadFile> create(const std::string& path, EndedHandler ended, DrainedHandler drained);
    ~DownloadFile();

    DownloadFile(const DownloadFile&) = delete;
    DownloadFile& operator=(const DownloadFile&) = delete;

    // Queues bytes for the file. False when the queue is past its high
    // mark (the bytes are queued all the same): the caller should stop
    // reading until the drained handler runs. Bytes after finish(), abort()
    // or a write error are dropped. Any thread (the I/O thread).
    bool append(std::string bytes);
    // The same for several pieces at once, copied into the queue's chunks
    // under one lock (a run of received frames).
    bool append(std::span<const std::string_view> pieces);
    // Everything was appended: write the rest, the header (with this
    // 0-based channel), close and rename. Any thread.
    void finish(int channel);
    // Ends the file as failed (unless it is already complete): nothing more
    // is written and the ".part" file is removed. Does not wait. Any thread.
    void abort();
    // Waits for the writer thread to end; call abort() or finish() first.
    // Not from the writer thread (the ended handler). Any other thread.
    void join();

    const std::string& partPath() const { return m_partPath; }

private:
    DownloadFile(std::string path, int fd, EndedHandler ended, DrainedHandler drained);
    // Under m_queueLock: adds bytes to the last chunk or a new one.
    void queueLocked(std::string_view bytes);
    // Under m_queueLock: true while under the high mark (else marks the queue full).
    bool underHighMarkLocked();
    // Writer thread.
    void run();
    bool writeAll(std::deque<std::string>& chunks);
    bool finishFile(int channel);
    // Removes the ".part" file if it is still the one this download made.
    void removePart();

    const std::string m_path;
    const std::string m_partPath;
    int m_fd;  // writer thread only, after start
    dev_t m_device = 0;
    ino_t m_inode = 0;
    const EndedHandler m_onEnded;
    const DrainedHandler m_onDrained;

    std::mutex m_queueLock;  // guards the members down to m_thread
    std::condition_variable m_queueChanged;
    std::deque<std::string> m_queue;
    std::size_t m_queuedBytes = 0;
    bool m_full = false;      // append() reported the queue full; drained not yet called
    bool m_finishing = false;  // finish() was called
    int m_channel = 0;
    bool m_aborted = false;
    bool m_writerDone = false;  // the writer took its last bytes

    std::thread m_thread;
};

}  // namespace velk::tovr
