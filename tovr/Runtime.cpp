// SPDX-License-Identifier: GPL-3.0-or-later
#include "Runtime.h"

#include <openssl/crypto.h>

#include <system_error>

namespace velk::tovr {

namespace {

// How long shutdown lets closing sockets and timers finish on their own
// before it stops the io_context outright.
constexpr std::chrono::milliseconds kDrainTimeout{2000};

}  // namespace

Runtime::Runtime(LibraryConfig config) : m_config(config), m_callbacks(std::make_shared<CallbackThread>()) {}

Runtime::~Runtime()
{
    shutdown();
}

bool Runtime::start()
{
    m_workGuard.emplace(asio::make_work_guard(m_io));
    if (!m_callbacks->start())
        return false;
    try {
        m_ioThread = std::thread([this] { runIo(); });
    } catch (const std::system_error&) {
        m_callbacks->stop();
        return false;
    }
    return true;
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
    return std::this_thread::get_id() == m_ioThreadId.load() || m_callbacks->onThisThread();
}

void Runtime::shutdown()
{
    if (m_stopping.exchange(true))
        return;
    for (auto& object : m_handles.closeAndTakeAll())
        object->shutdown();
    m_callbacks->stop();
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
