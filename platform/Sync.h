// SPDX-License-Identifier: GPL-3.0-or-later
// Locks, events, tick count and sleeping, over the C++ library.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

namespace detail {
class SentMessageQueue;
}

// A recursive lock, entered and left by the same thread any number of times.
class CriticalSection {
public:
    void enter() { m_mutex.lock(); }
    bool tryEnter() { return m_mutex.try_lock(); }
    void leave() { m_mutex.unlock(); }

    // BasicLockable, so std::lock_guard / std::unique_lock work too.
    void lock() { enter(); }
    void unlock() { leave(); }

private:
    std::recursive_mutex m_mutex;
};

// Scoped lock: enters the critical section when made, leaves it when destroyed.
class CAtomLock {
public:
    explicit CAtomLock(CriticalSection& cs) : m_cs(cs) { m_cs.enter(); }
    ~CAtomLock() { m_cs.leave(); }
    CAtomLock(const CAtomLock&) = delete;
    CAtomLock& operator=(const CAtomLock&) = delete;

private:
    CriticalSection& m_cs;
};

// A manual- or auto-reset event. An auto-reset event releases one waiter
// and clears itself; a manual-reset event stays set until reset().
// A thread that owns windows handles messages sent to them by other threads
// while it waits here, so a worker that sends to the UI thread never
// deadlocks against a UI thread waiting for that worker.
class Event {
public:
    explicit Event(bool manualReset = false, bool initiallySet = false);
    void set();
    void reset();
    // Waits up to timeoutMs (kInfinite waits for ever); true when signalled.
    bool wait(std::uint32_t timeoutMs = kInfinite);
    bool isSet() const;

    static constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

private:
    friend class detail::SentMessageQueue;

    bool waitPlain(std::uint32_t timeoutMs);
    // Wakes a window thread waiting here so that it handles a message sent
    // to one of its windows. Any thread.
    void wakeForSentMessage();

    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    const bool m_manualReset;
    bool m_set;                       // guarded by m_mutex
    bool m_sentMessageWake = false;   // guarded by m_mutex
};

// Milliseconds since an arbitrary start, as a 32-bit number that wraps.
std::uint32_t tickCount();

void sleepMs(std::uint32_t ms);

}  // namespace platform
