// SPDX-License-Identifier: GPL-3.0-or-later
// A thread on which user callbacks run, so that a slow callback never
// stalls network I/O. Each callback belongs to a gate (one per device or
// stream); closing the gate drops its queued callbacks and waits for one
// that is running, so that nothing is called for an object after it was
// closed. A gate made held keeps its callbacks back until it is released
// (a stream's callbacks wait until the REALPLAY that made it has
// returned). The queue is bounded: when it is full, new callbacks are
// dropped and counted.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace velk::tovr {

class CallbackGate {
public:
    CallbackGate() = default;
    explicit CallbackGate(bool held) : m_held(held) {}

private:
    friend class CallbackThread;
    // All guarded by the owning CallbackThread's m_queueLock:
    bool m_open = true;
    bool m_held = false;
    std::deque<std::function<void()>> m_heldCallbacks;
};

class CallbackThread {
public:
    explicit CallbackThread(std::size_t maxQueued = 1024);
    ~CallbackThread();

    CallbackThread(const CallbackThread&) = delete;
    CallbackThread& operator=(const CallbackThread&) = delete;

    bool start();
    // Drops what is queued, lets a running callback finish and joins.
    // Not from the callback thread itself.
    void stop();

    // Queues a callback; false when the gate is closed or the queue full.
    // Any thread.
    bool post(const std::shared_ptr<CallbackGate>& gate, std::function<void()> callback);
    // Closes the gate: its queued callbacks are dropped, and a running one is
    // waited for unless the caller is that callback. Any thread.
    void closeGate(const std::shared_ptr<CallbackGate>& gate);
    // Lets a held gate's callbacks run, in the order they were posted. Any thread.
    void releaseGate(const std::shared_ptr<CallbackGate>& gate);

    bool onThisThread() const { return std::this_thread::get_id() == m_threadId.load(); }
    std::uint64_t droppedCount() const { return m_dropped.load(); }

private:
    struct Item {
        std::shared_ptr<CallbackGate> gate;
        std::function<void()> callback;
    };

    // Callback thread.
    void run();

    const std::size_t m_maxQueued;
    mutable std::mutex m_queueLock;  // guards m_queue, m_running, m_stopping and every gate's m_open
    std::condition_variable m_queueChanged;
    std::deque<Item> m_queue;
    const CallbackGate* m_running = nullptr;  // the gate whose callback runs now
    bool m_stopping = false;
    std::thread m_thread;
    std::atomic<std::thread::id> m_threadId{};
    std::atomic<std::uint64_t> m_dropped{0};
};

}  // namespace velk::tovr
