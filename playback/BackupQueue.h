// SPDX-License-Identifier: GPL-3.0-or-later
// A device session's backups: the table ordered by key (compared as texts),
// at most two running, the next in key order started whenever one ends.
// The running count is the number of started records in the table, so it
// can never drift from what runs.
#pragma once

#include "device/BackupLink.h"
#include "platform/Sync.h"
#include "playback/BackupTask.h"

#include <QString>

#include <map>
#include <memory>
#include <vector>

namespace playback {

class BackupQueue : public IBackupQueue {
public:
    static constexpr int kMaxRunning = 2;
    // How long a logout waits for each backup's stop thread.
    static constexpr std::uint32_t kStopWaitMs = 1000;

    BackupQueue() = default;
    ~BackupQueue() override;  // ends every backup, as stopAll()

    BackupQueue(const BackupQueue&) = delete;
    BackupQueue& operator=(const BackupQueue&) = delete;

    bool add(const BackupRequest& request) override;
    std::optional<BackupProgress> stop(const QString& key) override;
    void startQueued() override;
    // Each started backup is stopped on a thread of its own (a thread that
    // cannot be made is tried once more after 2 ms, then the stop runs
    // here); each is waited for at most kStopWaitMs. No notes follow.
    void stopAll() override;
    bool isCurrent(const QString& key, std::uint64_t serial) const override;

    // For tests and the debug log.
    std::size_t size() const;
    int runningCount() const;
    std::vector<QString> runningKeys() const;
    std::shared_ptr<BackupTask> find(const QString& key) const;

private:
    // Guards m_table. UI thread (the only one that changes the table), held
    // only while the table is read or changed, never across a stop.
    mutable platform::CriticalSection m_tableLock;
    std::map<QString, std::shared_ptr<BackupTask>> m_table;
};

}  // namespace playback
