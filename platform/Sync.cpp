// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Sync.h"

#include "platform/SentMessages.h"

#include <chrono>
#include <thread>

namespace platform {

using Clock = std::chrono::steady_clock;

Event::Event(bool manualReset, bool initiallySet) : m_manualReset(manualReset), m_set(initiallySet) {}

void Event::set()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set = true;
    // Every waiter re-checks; an auto-reset event lets only the first through.
    m_cond.notify_all();
}

void Event::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set = false;
}

bool Event::isSet() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_set;
}

void Event::wakeForSentMessage()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sentMessageWake = true;
    m_cond.notify_all();
}

bool Event::waitPlain(std::uint32_t timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    auto signalled = [this] { return m_set; };
    if (timeoutMs == kInfinite)
        m_cond.wait(lock, signalled);
    else if (!m_cond.wait_for(lock, std::chrono::milliseconds(timeoutMs), signalled))
        return false;
    if (!m_manualReset)
        m_set = false;
    return true;
}

bool Event::wait(std::uint32_t timeoutMs)
{
    using detail::SentMessageQueue;
    if (!SentMessageQueue::currentThreadOwnsWindows())
        return waitPlain(timeoutMs);

    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        SentMessageQueue::dispatchForCurrentThread();
        bool hasPending = false;
        Event* previous = SentMessageQueue::enterWait(this, hasPending);
        bool signalled = false;
        bool sentWake = hasPending;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            auto ready = [this] { return m_set || m_sentMessageWake; };
            if (!sentWake) {
                if (timeoutMs == kInfinite)
                    m_cond.wait(lock, ready);
                else
                    m_cond.wait_until(lock, deadline, ready);
            }
            if (m_set) {
                signalled = true;
                if (!m_manualReset)
                    m_set = false;
            } else if (m_sentMessageWake) {
                sentWake = true;
            }
            m_sentMessageWake = false;
        }
        SentMessageQueue::leaveWait(previous);
        if (signalled)
            return true;
        if (!sentWake)
            return false;  // timed out
    }
}

std::uint32_t tickCount()
{
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

void sleepMs(std::uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace platform
