// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/BackupQueue.h"

#include "platform/Debug.h"

namespace playback {

BackupQueue::~BackupQueue()
{
    stopAll();
}

bool BackupQueue::add(const BackupRequest& request)
{
    bool added = false;
    {
        platform::CAtomLock lock(m_tableLock);
        if (m_table.find(request.key) == m_table.end()) {
            m_table.emplace(request.key, std::make_shared<BackupTask>(request));
            added = true;
        }
    }
    startQueued();
    return added;
}

std::optional<BackupProgress> BackupQueue::stop(const QString& key)
{
    std::shared_ptr<BackupTask> task;
    {
        platform::CAtomLock lock(m_tableLock);
        const auto found = m_table.find(key);
        if (found == m_table.end())
            return std::nullopt;
        task = std::move(found->second);
        m_table.erase(found);
    }
    if (task->started())
        task->stop();
    return task->progress();
}

void BackupQueue::startQueued()
{
    for (;;) {
        std::shared_ptr<BackupTask> next;
        {
            platform::CAtomLock lock(m_tableLock);
            int running = 0;
            for (const auto& [key, task] : m_table) {
                if (task->started())
                    ++running;
                else if (!next)
                    next = task;
            }
            if (running >= kMaxRunning || !next)
                return;
        }
        next->start();
    }
}

void BackupQueue::stopAll()
{
    std::map<QString, std::shared_ptr<BackupTask>> taken;
    {
        platform::CAtomLock lock(m_tableLock);
        taken.swap(m_table);
    }
    std::vector<std::shared_ptr<platform::Event>> stopped;
    for (const auto& [key, task] : taken) {
        if (!task->started())
            continue;
        auto done = std::make_shared<platform::Event>(true, false);
        const auto stopper = [task, done] {
            task->stop();
            done->set();
        };
        if (!startBackupThread(stopper)) {
            platform::sleepMs(2);
            if (!startBackupThread(stopper))
                stopper();
        }
        stopped.push_back(std::move(done));
    }
    for (const auto& done : stopped) {
        if (!done->wait(kStopWaitMs))
            platform::debugOutput("backup: a stop did not end in time\n");
    }
}

bool BackupQueue::isCurrent(const QString& key, std::uint64_t serial) const
{
    platform::CAtomLock lock(m_tableLock);
    const auto found = m_table.find(key);
    return found != m_table.end() && found->second->serial() == serial;
}

std::size_t BackupQueue::size() const
{
    platform::CAtomLock lock(m_tableLock);
    return m_table.size();
}

int BackupQueue::runningCount() const
{
    return static_cast<int>(runningKeys().size());
}

std::vector<QString> BackupQueue::runningKeys() const
{
    platform::CAtomLock lock(m_tableLock);
    std::vector<QString> keys;
    for (const auto& [key, task] : m_table)
        if (task->started())
            keys.push_back(key);
    return keys;
}

std::shared_ptr<BackupTask> BackupQueue::find(const QString& key) const
{
    platform::CAtomLock lock(m_tableLock);
    const auto found = m_table.find(key);
    return found == m_table.end() ? nullptr : found->second;
}

}  // namespace playback
