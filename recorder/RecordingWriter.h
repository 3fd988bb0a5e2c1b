// SPDX-License-Identifier: GPL-3.0-or-later
// The thread that writes recordings to disk, so that the I/O thread never
// waits on a disk or a flush. The I/O thread queues frames (a bounded queue:
// when it is full the frame is dropped and counted, never waited for); the
// writer thread puts each channel's frames into its current segment,
// starting a new one at a key frame when the record type changes, the
// segment reached its length, or the local day changed, and ending it when
// the frames' times break off (a gap of more than gapMs, or a step back: a
// camera that stalled or came back, a clock set back), so that a search
// shows the gap and a seek never lands inside one; flushes every open
// segment about once a second (data first, then its index, then the
// SegmentTable learns the new extent); deletes the oldest segments by the
// retention limits; and on a write error finishes the segment with what was
// written, logs one line and tries a new segment after the retry time.
// At start, before any frame, it recovers unfinished segments and fills
// the SegmentTable from what is stored.
#pragma once

#include "RecordingCatalog.h"
#include "Retention.h"
#include "SegmentTable.h"
#include "SegmentWriter.h"

#include <json/value.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velk::recorder {

struct RecordingWriterSettings {
    std::filesystem::path root;  // <data>/recordings
    std::int64_t segmentMs = 300000;
    RetentionLimits retention;
    std::int64_t retryMs = 30000;        // after a write error, the next segment no sooner than this
    std::int64_t syncIntervalMs = 1000;  // how often open segments are flushed and indexed
    std::int64_t gapMs = 5000;           // frames further apart than this are in separate segments
    // Room for some seconds of every channel's frames while a flush takes
    // its time, cameras' big key frames and pre-alarm frames included (a
    // 4 MP camera is about 1 MB a second).
    std::size_t queueBytes = 64 * 1024 * 1024;
    std::function<void(const std::string&)> log;  // one line per event (stderr in the program)
};

struct ChannelRecordingStatus {
    bool recording = false;  // a segment is open
    RecordType type = RecordType::Normal;
    std::string segment;     // its path relative to the recordings folder
    std::uint64_t bytesWritten = 0;
    std::uint64_t framesWritten = 0;
    std::uint64_t framesDropped = 0;  // queue full, write error, or waiting for a key frame
    std::uint64_t writeErrors = 0;
    std::string lastError;
};

class RecordingWriter {
public:
    RecordingWriter(RecordingWriterSettings settings, SegmentTable& table);
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    // Starts the writer thread (recovery, retention, then frames).
    void start();
    // Writes what is queued, finishes every open segment, joins the thread.
    void stop();

    // Any thread (the I/O thread). False when the frame was dropped: the
    // queue is full or the writer is stopped.
    bool push(std::uint32_t channel, RecordType type, std::int64_t timeMs, bool key, std::vector<std::uint8_t> frame);
    // The channel's open segment is finished (its recording stops).
    void finish(std::uint32_t channel);
    // Applies the retention limits now.
    void retain();
    // Every write from now on fails with this errno (0: writes work again).
    void setFault(int errnoValue) { m_fault.store(errnoValue, std::memory_order_relaxed); }
    int fault() const { return m_fault.load(std::memory_order_relaxed); }
    // True once the stored segments were recovered and loaded.
    bool ready() const { return m_ready.load(std::memory_order_acquire); }

    std::map<std::uint32_t, ChannelRecordingStatus> status() const;

private:
    enum class JobKind { Frame, Finish, Retain };
    struct Job {
        JobKind kind = JobKind::Frame;
        std::uint32_t channel = 0;
        RecordType type = RecordType::Normal;
        std::int64_t timeMs = 0;
        bool key = false;
        std::vector<std::uint8_t> frame;
    };
    struct Channel {  // writer thread only
        std::unique_ptr<SegmentWriter> writer;
        std::string day;
        std::chrono::steady_clock::time_point lastSync;
        std::chrono::steady_clock::time_point retryAt;
    };
    using Clock = std::chrono::steady_clock;

    void run();
    void handleFrame(Job& job);
    // Finishes the open segment; false (and error) when it could not be
    // finished cleanly (it keeps what was flushed).
    bool finishSegment(std::uint32_t channel, Channel& c, std::string& error);
    void failSegment(std::uint32_t channel, Channel& c, const std::string& error);
    void syncDue(bool all);
    void publishOpen(const SegmentWriter& writer);
    void applyRetention();
    bool enqueue(Job job);
    void updateStatus(std::uint32_t channel, const std::function<void(ChannelRecordingStatus&)>& change);

    const RecordingWriterSettings m_settings;
    SegmentTable& m_table;
    WriteFault m_fault{0};
    std::atomic<bool> m_ready{false};
    std::map<std::uint32_t, Channel> m_channels;  // writer thread only

    // I/O thread: the channels whose last frame was dropped for a full
    // queue (one log line when a channel begins to lose frames).
    std::map<std::uint32_t, bool> m_dropping;

    std::mutex m_queueLock;  // guards m_queue, m_queuedBytes, m_stopping
    std::condition_variable m_queueChanged;
    std::deque<Job> m_queue;
    std::size_t m_queuedBytes = 0;
    bool m_stopping = false;

    mutable std::mutex m_statusLock;  // guards m_status (updated by the writer, read by /sim/status)
    std::map<std::uint32_t, ChannelRecordingStatus> m_status;

    std::thread m_thread;
};

}  // namespace velk::recorder
