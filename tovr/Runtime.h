// SPDX-License-Identifier: GPL-3.0-or-later
// The library while it runs: the I/O thread with its io_context (every
// socket and timer), the callback threads (every user callback: one for
// device callbacks, a few shared by the streams so that one slow window
// does not hold up every other), the handle table and the configuration
// read at start. INIT makes one, UNINIT ends it.
#pragma once

#include "CallbackThread.h"
#include "HandleTable.h"
#include "LibraryConfig.h"

#include <asio.hpp>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace velk::tovr {

class Runtime {
public:
    explicit Runtime(LibraryConfig config);
    ~Runtime();

    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    // Starts both threads; false when one could not be started.
    bool start();
    // Shuts every handle down, then stops and joins both threads. Waits for
    // a user callback that is running. Not from a library thread.
    void shutdown();

    bool isStopping() const { return m_stopping.load(); }
    // True on the I/O thread or the callback thread.
    bool onLibraryThread() const;

    asio::io_context& io() { return m_io; }
    const LibraryConfig& config() const { return m_config; }
    HandleTable& handles() { return m_handles; }
    // The thread of device callbacks.
    const std::shared_ptr<CallbackThread>& callbacks() const { return m_callbacks; }
    // A thread for the callbacks of a new stream, taken in turn. Any thread.
    const std::shared_ptr<CallbackThread>& nextStreamCallbacks()
    {
        return m_streamCallbacks[m_nextStreamCallbacks.fetch_add(1) % m_streamCallbacks.size()];
    }

private:
    // I/O thread.
    void runIo();

    const LibraryConfig m_config;
    asio::io_context m_io;
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> m_workGuard;
    std::shared_ptr<CallbackThread> m_callbacks;
    std::vector<std::shared_ptr<CallbackThread>> m_streamCallbacks;
    std::atomic<std::size_t> m_nextStreamCallbacks{0};
    HandleTable m_handles;
    std::thread m_ioThread;
    std::atomic<std::thread::id> m_ioThreadId{};
    std::atomic<bool> m_stopping{false};
    std::mutex m_ioStateLock;  // guards m_ioFinished
    std::condition_variable m_ioFinishedChanged;
    bool m_ioFinished = false;
};

}  // namespace velk::tovr
