// SPDX-License-Identifier: GPL-3.0-or-later
#include "Runtime.h"

#include <openssl/crypto.h>

#include <system_error>

namespace velk::tovr {

namespace {

// How long shutdown lets closing sockets and timers finish on their own
// before it stops the io_context outright.
constexpr std::chrono::milliseconds kDrainTimeout{2000};

// Threads the stream callbacks are spread over (by play handle).
constexpr std::size_t kStreamCallbackThreads = 3;
// Each holds up to this many waiting callbacks (a few seconds of sixteen
// streams of video and sound) before it drops new ones.
constexpr std::size_t kStreamCallbacksQueued = 4096;

}  // namespace

Runtime::Runtime(LibraryConfig config) : m_config(config), m_callbacks(std::make_shared<CallbackThread>())
{
    for (std::size_t i = 0; i < kStreamCallbackThreads; ++i)
        m_streamCallbacks.push_back(std::make_shared<CallbackThread>(kStreamCallbacksQueued));
}

Runtime::~Runtime()
{
    shutdown();
}

bool Runtime::start()
{
    m_workGuard.emplace(asio::make_work_guard(m_io));
    // Make the reactor and the timer service here, before the I/O thread
    // exists, so they are not first made by a caller while the I/O thread
    // already waits in the scheduler.
    { asio::steady_timer warmUp(m_io); }
    bool started = m_callbacks->start();
    for (const auto& thread : m_streamCallbacks)
        started = started && thread->start();
    if (started) {
        try {
            m_ioThread = std::thread([this] { runIo(); });
            return true;
        } catch (const std::system_error&) {
        }
    }
    m_callbacks->stop();
    for (const auto& thread : m_streamCallbacks)
        thread->stop();
    return false;
}

void Runtime::runIo()
{
    m_ioThreadId.store(std::this_thread::get_id());
    for (;;) {
        try {
            m_io.run();
            break;
        } catch (...) {
            // A handler must not end the I/O thread; carry on with the next.
        }
    }
    // Free OpenSSL's per-thread state (the random generator of the login nonces).
    OPENSSL_thread_stop();
    {
        std::lock_guard lock(m_ioStateLock);
        m_ioFinished = true;
    }
    m_ioFinishedChanged.notify_all();
}

bool Runtime::onLibraryThread() const
{
    if (std::this_thread::get_id() == m_ioThreadId.load() || m_callbacks->onThisThread())
        return true;
    for (const auto& thread : m_streamCallbacks)
        if (thread->onThisThread())
            return true;
    return false;
}

void Runtime::shutdown()
{
    if (m_stopping.exchange(true))
        return;
    for (auto& object : m_handles.closeAndTakeAll())
        object->shutdown();
    m_callbacks->stop();
    for (const auto& thread : m_streamCallbacks)
        thread->stop();
    m_workGuard.reset();
    if (m_ioThread.joinable()) {
        std::unique_lock lock(m_ioStateLock);
        if (!m_ioFinishedChanged.wait_for(lock, kDrainTimeout, [this] { return m_ioFinished; }))
            m_io.stop();
        lock.unlock();
        m_ioThread.join();
    }
}

}  // namespace velk::tovr
