// SPDX-License-Identifier: GPL-3.0-or-later
// Messages sent across threads that wait to be handled. Internal to the
// platform layer: a send is delivered by the window's event loop, or, when
// the window's thread is blocked in Event::wait, by that wait itself.
#pragma once

#include "platform/Window.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

class Event;

namespace detail {

// One cross-thread send: the message, and the result its sender waits for.
class SendRequest {
public:
    SendRequest(WindowHandle hwnd, std::uint32_t msg, WPARAM wParam, LPARAM lParam,
                std::thread::id target)
        : hwnd(hwnd), msg(msg), wParam(wParam), lParam(lParam), target(target) {}

    // True for exactly one caller: the one that handles the message.
    // Any thread.
    bool claim() { return !m_claimed.exchange(true); }
    bool isClaimed() const { return m_claimed.load(); }
    // Hands the result to the waiting sender. Any thread.
    void complete(LRESULT result);
    // Blocks until complete() was called. Runs on the sender's thread.
    LRESULT waitForResult();

    const WindowHandle hwnd;
    const std::uint32_t msg;
    const WPARAM wParam;
    const LPARAM lParam;
    const std::thread::id target;  // the thread that owns the window

private:
    std::atomic<bool> m_claimed{false};
    std::mutex m_resultLock;  // guards m_done and m_result
    std::condition_variable m_resultCond;
    bool m_done = false;
    LRESULT m_result = 0;
};

// The process-wide list of sends not yet handled, and the events that
// window threads are blocked on.
class SentMessageQueue {
public:
    // Any thread.
    static void add(const std::shared_ptr<SendRequest>& request);
    // Any thread.
    static void remove(const SendRequest* request);

    // Handles every unclaimed send aimed at the calling thread.
    static void dispatchForCurrentThread();

    // Marks the calling thread as owning windows (it created one).
    static void markCurrentThreadOwnsWindows();
    static bool currentThreadOwnsWindows();

    // Makes an Event the one the calling thread waits on and returns the
    // previous one (waits nest when a handler waits). hasPending tells whether
    // sends for this thread are already queued.
    static Event* enterWait(Event* event, bool& hasPending);
    static void leaveWait(Event* previous);
};

// Runs one send on the window's thread (Window.cpp): windowProc of the
// window, or 0 when it is gone.
LRESULT deliverSend(const SendRequest& request);

}  // namespace detail
}  // namespace platform
