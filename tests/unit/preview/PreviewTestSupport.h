// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the preview tests: a window that records the private messages
// it gets, and waiting for posted work to arrive.
#pragma once

#include "platform/Debug.h"
#include "platform/Window.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace preview_test {

struct Message {
    std::uint32_t msg;
    platform::WPARAM wParam;
    platform::LPARAM lParam;
};

class MessageLog : public platform::CWnd {
public:
    ~MessageLog() override { destroyWindow(); }

    platform::LRESULT windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) override
    {
        std::lock_guard<std::mutex> guard(m_messagesLock);
        m_messages.push_back({msg, wParam, lParam});
        return 0;
    }
    std::vector<Message> messages(std::uint32_t msg)
    {
        std::lock_guard<std::mutex> guard(m_messagesLock);
        std::vector<Message> out;
        for (const Message& m : m_messages)
            if (m.msg == msg)
                out.push_back(m);
        return out;
    }
    void clear()
    {
        std::lock_guard<std::mutex> guard(m_messagesLock);
        m_messages.clear();
    }

private:
    std::mutex m_messagesLock;  // guards m_messages
    std::vector<Message> m_messages;
};

inline void processEvents()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// Runs the event loop until the condition holds or the time is up.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

inline bool debugLogHas(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace preview_test
