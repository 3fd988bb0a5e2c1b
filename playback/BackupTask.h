// SPDX-License-Identifier: GPL-3.0-or-later
// One backup download: the record StartBackup made, its download thread
// (folder, file name, DOWNLOADVIDEO) and its progress thread (GETPROGRESS
// every poll interval, the recorder's state turned into notes for the
// control window, BackupMailbox.h). The record is shared between the table
// and its threads, so a thread never outlives the record it works on.
#pragma once

#include "device/BackupLink.h"
#include "platform/Sync.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace playback {

// The UploadBackupProcess flags a backup reports.
enum BackupFlag : std::uint32_t {
    kBackupProgress = 0,     // STATE 1, every poll
    kBackupDone = 1,         // STATE 3: the file is complete
    kBackupUnreachable = 2,  // DOWNLOADVIDEO 5, 6 or 8
    kBackupStopped = 3,      // taken out of the table (after 1, 2 or 4 too)
    kBackupFailed = 4,       // STATE 2, not ready in time, refused, or anything else
    kBackupWaiting = 5,      // STATE 0, every poll
};

struct BackupTimings {
    std::uint32_t pollIntervalMs = 500;  // between two GETPROGRESS
    std::uint32_t giveUpMs = 30000;      // not ready (or no readable answer) this long from the first poll: failed
    std::uint32_t retryMs = 10;          // after a GETPROGRESS that failed or could not be read
    std::uint32_t pollerWaitMs = 1000;   // how long a stop waits for the progress thread
};

// The timings every backup started from now on uses. For tests (any thread).
void setBackupTimings(const BackupTimings& timings);
BackupTimings backupTimings();

// The GETPROGRESS answer as read: sizes as unsigned 64-bit numbers.
struct BackupState {
    std::uint32_t state = 0;
    std::uint64_t totalBytes = 0;
    std::uint64_t gotBytes = 0;
};
// nullopt when the text is not {"RESPONSE":{"STATE":n,"GETSIZE":n,"TOTALSIZE":n,...}}
// with unsigned integer members.
std::optional<BackupState> parseBackupProgress(const std::string& response);

class BackupTask : public std::enable_shared_from_this<BackupTask> {
public:
    explicit BackupTask(const BackupRequest& request);
    ~BackupTask();

    BackupTask(const BackupTask&) = delete;
    BackupTask& operator=(const BackupTask&) = delete;

    const BackupRequest& request() const { return m_request; }
    // Unique in the process: tells a note of this record from one of an
    // earlier record under the same key.
    std::uint64_t serial() const { return m_serial; }
    // Given a download thread (UI thread).
    bool started() const { return m_started; }
    BackupProgress progress() const;

    // UI thread: marks the record started and starts its download thread.
    // A thread that cannot be made fails the backup (a failure note).
    void start();
    // UI thread, or a logout's stop thread. Ends the download: the progress
    // thread is told to stop and waited for (at most pollerWaitMs), the
    // command is stopped with STOPCOMMAND; a download thread still inside
    // DOWNLOADVIDEO stops the handle it then gets. No note is left after
    // this. Safe to call more than once.
    void stop();

private:
    // Run on the download thread.
    void download();
    // Run on the progress thread.
    void poll();
    // Download or progress thread: leaves a note unless the backup was stopped.
    void leaveNote(std::uint32_t flag);
    void fail(std::uint32_t flag);
    // Any thread: the command handle, 0 when none or stopped.
    std::uint32_t commandHandle() const;

    const BackupRequest m_request;
    const std::string m_keyUtf8;
    const std::uint64_t m_serial;
    const BackupTimings m_timings;  // as they were when the record was made
    bool m_started = false;         // UI thread only

    // Guards m_commandHandle and m_stopRequested together, so that a stop
    // and a DOWNLOADVIDEO that returns at the same time agree on who
    // stops the handle. Held briefly, never across a library call.
    mutable std::mutex m_handleLock;
    std::uint32_t m_commandHandle = 0;
    bool m_stopRequested = false;
    std::atomic<bool> m_stopping{false};  // m_stopRequested, for reading without the lock

    platform::Event m_stopEvent{true, false};   // set by stop(): wakes the progress thread
    platform::Event m_pollerDone{true, true};   // clear while a progress thread runs
    std::atomic<std::uint64_t> m_totalBytes{0};
    std::atomic<std::uint64_t> m_gotBytes{0};
};

// Backup threads (download, progress and stop threads) alive now; any thread.
int backupThreadsRunning();
// Waits until none is alive, at most timeoutMs; true when none is. Any thread.
bool waitForBackupThreads(std::uint32_t timeoutMs);
// Starts a detached backup thread that is counted until body returns;
// false when no thread could be made. Any thread.
bool startBackupThread(std::function<void()> body);

}  // namespace playback
