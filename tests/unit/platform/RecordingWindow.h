// SPDX-License-Identifier: GPL-3.0-or-later
// A window that records the private messages and timer ticks it receives.
#pragma once

#include "platform/Window.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace platform::test {

struct ReceivedMessage {
    std::uint32_t msg;
    WPARAM wParam;
    LPARAM lParam;
    std::thread::id thread;
};

class RecordingWindow : public CWnd {
public:
    explicit RecordingWindow(bool acceptCreate = true) : m_acceptCreate(acceptCreate) {}
    ~RecordingWindow() override { destroyWindow(); }

    // Answers every message with wParam + lParam.
    LRESULT windowProc(std::uint32_t msg, WPARAM wParam, LPARAM lParam) override
    {
        std::lock_guard<std::mutex> lock(receivedLock);
        received.push_back({msg, wParam, lParam, std::this_thread::get_id()});
        return static_cast<LRESULT>(wParam) + lParam;
    }

    std::vector<ReceivedMessage> messages()
    {
        std::lock_guard<std::mutex> lock(receivedLock);
        return received;
    }
    std::size_t messageCount()
    {
        std::lock_guard<std::mutex> lock(receivedLock);
        return received.size();
    }

    std::vector<std::uint32_t> timerTicks;  // UI thread only
    std::function<void(std::uint32_t)> onTick;
    std::atomic<int> destroyCalls{0};

protected:
    bool onCreate() override { return m_acceptCreate; }
    void onDestroy() override { ++destroyCalls; }
    void onTimer(std::uint32_t id) override
    {
        timerTicks.push_back(id);
        if (onTick)
            onTick(id);
    }

private:
    const bool m_acceptCreate;
    std::mutex receivedLock;  // guards received
    std::vector<ReceivedMessage> received;
};

}  // namespace platform::test
