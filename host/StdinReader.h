// SPDX-License-Identifier: GPL-3.0-or-later
// Reads lines from a file descriptor (stdin) on its own thread and hands
// each one to the UI thread, so that a slow or silent writer never blocks
// the UI thread.
//
// The reader thread makes no Qt calls: it queues what it read under a
// std::mutex and wakes the UI thread through a pipe that a socket notifier
// watches.
#pragma once

#include <QByteArray>

#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class QSocketNotifier;

namespace host {

class StdinReader {
public:
    struct Callbacks {
        std::function<void(const QByteArray& line)> line;  // without its line break
        std::function<void()> overlong;                    // a line beyond the limit was dropped
        std::function<void()> end;                         // end of input (or a read error)
    };

    // Lines longer than this are dropped whole and reported as overlong.
    static constexpr std::size_t kMaxLineBytes = 16 * 1024 * 1024;

    // The callbacks run on the thread that constructs the reader (the UI
    // thread), from its event loop; none runs after stop().
    StdinReader(int fd, Callbacks callbacks);
    ~StdinReader();

    StdinReader(const StdinReader&) = delete;
    StdinReader& operator=(const StdinReader&) = delete;

    bool start();
    // Stops the thread and waits for it. UI thread.
    void stop();

private:
    struct Item {
        enum class Kind { Line, Overlong, End };
        Kind kind = Kind::End;
        QByteArray line;  // a buffer of its own, never shared across threads
    };

    // Runs on the reader thread.
    void run();
    // Runs on the reader thread: queues an item and wakes the UI thread.
    void push(Item item);
    // UI thread: hands queued items to the callbacks, one at a time (a
    // callback may run a nested event loop that delivers the next ones).
    void deliver();

    const int m_fd;
    const Callbacks m_callbacks;
    std::mutex m_queueLock;    // guards m_queue
    std::deque<Item> m_queue;  // read, not yet delivered
    int m_wakeRead = -1;       // reader thread -> UI thread
    int m_wakeWrite = -1;
    int m_stopRead = -1;       // UI thread -> reader thread
    int m_stopWrite = -1;
    QSocketNotifier* m_notifier = nullptr;  // UI thread only
    int m_deliveryDepth = 0;                // UI thread only: deliver() calls on the stack
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

}  // namespace host
