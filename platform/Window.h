// SPDX-License-Identifier: GPL-3.0-or-later
// Window base class with a 32-bit handle, private messages and timers by id.
//
// Every window of the control derives from CWnd. A window exists as an
// object from construction, but only has a handle (and is visible to
// postMessage/sendMessage) between createWindow() and destroyWindow().
// Libraries and worker threads only ever see handles, never pointers.
#pragma once

#include <QWidget>

#include <cstdint>
#include <map>

class QTimer;

namespace platform {

using WindowHandle = std::uint32_t;  // 0 means no window
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

class CWnd : public QWidget {
public:
    explicit CWnd(QWidget* qtParent = nullptr);
    ~CWnd() override;

    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Creates the window: parents it (nullptr makes a top-level window),
    // places it, assigns its handle, calls onCreate(). Returns false when
    // onCreate() refuses, in which case the window is not created.
    bool createWindow(QWidget* parent, const QRect& rect, int id, bool visible);
    // Calls onDestroy(), drops the handle and all timers; pending posted
    // messages to this window are discarded. Safe to call twice.
    void destroyWindow();
    bool isCreated() const { return m_handle != 0; }

    WindowHandle handle() const { return m_handle; }
    int controlId() const { return m_controlId; }

    // Timers by id: arming an id again restarts it. Intervals below 10 ms
    // count as 10 ms. UI thread only.
    void setTimerById(std::uint32_t id, std::uint32_t intervalMs);
    void killTimerById(std::uint32_t id);
    bool hasTimer(std::uint32_t id) const;

    // The window procedure for private messages; the default returns 0.
    virtual LRESULT windowProc(std::uint32_t msg, WPARAM wParam, LPARAM lParam);

protected:
    virtual bool onCreate() { return true; }
    virtual void onDestroy() {}
    virtual void onTimer(std::uint32_t id) {}

    bool event(QEvent* e) override;

private:
    WindowHandle m_handle = 0;
    int m_controlId = 0;
    std::map<std::uint32_t, QTimer*> m_timers;  // UI thread only
};

// Posts a private message to a window's thread; false when the handle is
// not a live window. Callable from any thread.
bool postMessage(WindowHandle hwnd, std::uint32_t msg, WPARAM wParam = 0, LPARAM lParam = 0);

// Sends a private message: a direct call on the window's own thread;
// from another thread it blocks until the window handled it (or was
// destroyed, in which case the result is 0). Callable from any thread.
LRESULT sendMessage(WindowHandle hwnd, std::uint32_t msg, WPARAM wParam = 0, LPARAM lParam = 0);

// The window registered under a handle, or nullptr. Only meaningful on the
// window's own (UI) thread: another thread must not dereference it.
CWnd* windowFromHandle(WindowHandle hwnd);

bool isWindow(WindowHandle hwnd);

}  // namespace platform
