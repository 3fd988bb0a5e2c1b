// SPDX-License-Identifier: GPL-3.0-or-later
// A timeline inside a parent window that records what the timeline tells
// it, and input delivered the way the window system delivers it (through
// QWindowSystemInterface, the cursor placed first). UI thread only.
#pragma once

#include "playback/CControlPlayer.h"
#include "platform/DateTime.h"
#include "platform/Window.h"

#include <QEvent>
#include <QPoint>

#include <cstdint>
#include <vector>

namespace timeline_test {

// The test day and a time on it.
platform::DateTime at(int hour, int minute, int second);

class RecordingParent : public platform::CWnd {
public:
    struct Message {
        std::uint32_t msg;
        platform::WPARAM wParam;
        platform::SystemTime time;  // for the two timeline notices
    };

    platform::LRESULT windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) override;

    std::vector<Message> messages;
    int count(std::uint32_t msg) const;
    // The last message of a kind; fails the test when there is none.
    Message last(std::uint32_t msg) const;
};

class TimelineRig {
public:
    static constexpr int kWidth = 760;
    static constexpr int kHeight = 100;

    // A shown, active parent with the timeline at (10, 20), 760 x 100, on the
    // test day with the cursor at `cursor`.
    explicit TimelineRig(const platform::DateTime& cursor);
    ~TimelineRig();

    RecordingParent parent;
    CControlPlayer timeline;

    // Mouse at timeline coordinates.
    void press(QPoint at, Qt::MouseButton button = Qt::LeftButton);
    void move(QPoint at);
    void release(QPoint at, Qt::MouseButton button = Qt::LeftButton);
    void click(QPoint at, Qt::MouseButton button = Qt::LeftButton);
    void wheel(QPoint at, int delta);
    void key(int qtKey);

private:
    void mouse(QPoint at, QEvent::Type type, Qt::MouseButton button);

    Qt::MouseButtons m_buttons;
    ulong m_time = 1000;
};

}  // namespace timeline_test
