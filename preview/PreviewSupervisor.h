// SPDX-License-Identifier: GPL-3.0-or-later
// The preview panel's supervisor thread (PreviewCtrolProc): it takes the
// panel's open-all and close-all requests and carries out the newest one,
// dropping older ones that were not started yet. A start while the channels
// are running leaves the channels that are up alone and only opens those
// that are not (a channel whose recorder went away and came back); a start
// otherwise closes everything, pauses 135 ms and opens the channels.
#pragma once

#include "platform/Sync.h"

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class PreviewSupervisor {
public:
    // What the supervisor asks of its panel. All run on the supervisor thread.
    struct Actions {
        std::function<void()> stopAll;     // close every channel; running becomes false
        std::function<void()> restartAll;  // close all, pause, open all; running becomes true
        std::function<void()> reopenClosed;  // while running: open the channels that are not open
        std::function<bool()> isRunning;
    };

    // The pause between closing and opening all channels, 9 x 15 ms.
    static constexpr int kRestartPauseSteps = 9;
    static constexpr std::uint32_t kRestartPauseStepMs = 15;

    // Starts the supervisor thread.
    explicit PreviewSupervisor(Actions actions);
    // Ends the thread (after the operation it is running) and joins it.
    ~PreviewSupervisor();

    PreviewSupervisor(const PreviewSupervisor&) = delete;
    PreviewSupervisor& operator=(const PreviewSupervisor&) = delete;

    // Queue a request and wake the thread. Any thread.
    void requestStart();
    void requestStop();
    // Drops the requests not taken yet. Any thread.
    void clearRequests();
    // Ends the thread and waits for it; requests after this are dropped.
    // Not on the supervisor thread.
    void shutdown();
    // Requests queued and not taken yet. Any thread.
    std::size_t pendingRequests() const;

private:
    enum Request { kStop = 0, kStart = 1 };

    void enqueue(Request request);
    // The thread's loop. Runs on the supervisor thread.
    void run();
    // Clears the wake event unless a request or the quit flag is waiting.
    // Supervisor thread, with m_requestLock held.
    void resetWakeUnlessDueLocked();

    const Actions m_actions;
    platform::Event m_wake{true, false};  // manual reset
    // Guards m_requests.
    mutable std::mutex m_requestLock;
    std::deque<Request> m_requests;
    std::atomic<bool> m_quit{false};
    std::thread m_thread;
};
