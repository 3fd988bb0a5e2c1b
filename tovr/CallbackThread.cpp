// SPDX-License-Identifier: GPL-3.0-or-later
#include "CallbackThread.h"

#include <algorithm>
#include <system_error>

namespace velk::tovr {

CallbackThread::CallbackThread(std::size_t maxQueued) : m_maxQueued(maxQueued) {}

CallbackThread::~CallbackThread()
{
    if (onThisThread()) {
        // Only reachable if the owner is released by one of its own
        // callbacks; never join the running thread from itself.
        if (m_thread.joinable())
            m_thread.detach();
        return;
    }
    stop();
}

bool CallbackThread::start()
{
    std::lock_guard lock(m_queueLock);
    if (m_thread.joinable())
        return true;
    m_stopping = false;
    try {
        m_thread = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CallbackThread::stop()
{
    {
        std::lock_guard lock(m_queueLock);
        m_stopping = true;
        m_queue.clear();
    }
    m_queueChanged.notify_all();
    if (m_thread.joinable() && !onThisThread())
        m_thread.join();
}

bool CallbackThread::post(const std::shared_ptr<CallbackGate>& gate, std::function<void()> callback)
{
    {
        std::lock_guard lock(m_queueLock);
        if (m_stopping || !gate || !gate->m_open)
            return false;
        if (m_queue.size() + gate->m_heldCallbacks.size() >= m_maxQueued) {
            m_dropped.fetch_add(1);
            return false;
        }
        if (gate->m_held) {
            gate->m_heldCallbacks.push_back(std::move(callback));
            return true;
        }
        m_queue.push_back(Item{gate, std::move(callback)});
    }
    m_queueChanged.notify_all();
    return true;
}

void CallbackThread::closeGate(const std::shared_ptr<CallbackGate>& gate)
{
    if (!gate)
        return;
    std::deque<Item> dropped;  // destroyed outside the lock
    std::deque<std::function<void()>> droppedHeld;
    {
        std::unique_lock lock(m_queueLock);
        gate->m_open = false;
        droppedHeld.swap(gate->m_heldCallbacks);
        auto it = std::stable_partition(m_queue.begin(), m_queue.end(),
                                        [&](const Item& item) { return item.gate != gate; });
        std::move(it, m_queue.end(), std::back_inserter(dropped));
        m_queue.erase(it, m_queue.end());
        if (!onThisThread())
            m_queueChanged.wait(lock, [&] { return m_running != gate.get(); });
    }
}

void CallbackThread::releaseGate(const std::shared_ptr<CallbackGate>& gate)
{
    if (!gate)
        return;
    {
        std::lock_guard lock(m_queueLock);
        gate->m_held = false;
        for (auto& callback : gate->m_heldCallbacks)
            m_queue.push_back(Item{gate, std::move(callback)});
        gate->m_heldCallbacks.clear();
    }
    m_queueChanged.notify_all();
}

void CallbackThread::run()
{
    m_threadId.store(std::this_thread::get_id());
    std::unique_lock lock(m_queueLock);
    for (;;) {
        m_queueChanged.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_stopping)
            break;
        Item item = std::move(m_queue.front());
        m_queue.pop_front();
        if (!item.gate->m_open)
            continue;
        m_running = item.gate.get();
        lock.unlock();
        item.callback();
        item = Item{};
        lock.lock();
        m_running = nullptr;
        m_queueChanged.notify_all();
    }
    m_running = nullptr;
    m_queueChanged.notify_all();
}

}  // namespace velk::tovr
