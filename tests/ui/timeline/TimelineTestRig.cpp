// SPDX-License-Identifier: GPL-3.0-or-later
#include "TimelineTestRig.h"

#include "platform/Messages.h"

#include <QCursor>
#include <QGuiApplication>
#include <QTest>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

#include <gtest/gtest.h>

namespace timeline_test {

platform::DateTime at(int hour, int minute, int second)
{
    return platform::DateTime::fromParts(2024, 3, 15, hour, minute, second);
}

platform::LRESULT RecordingParent::windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam)
{
    Message m{msg, wParam, {}};
    if (msg == platform::WM_TIMELINE_SEEK || msg == platform::WM_TIMELINE_VIEW)
        m.time = *reinterpret_cast<const platform::SystemTime*>(wParam);
    messages.push_back(m);
    return CWnd::windowProc(msg, wParam, lParam);
}

int RecordingParent::count(std::uint32_t msg) const
{
    int n = 0;
    for (const Message& m : messages)
        n += m.msg == msg ? 1 : 0;
    return n;
}

RecordingParent::Message RecordingParent::last(std::uint32_t msg) const
{
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
        if (it->msg == msg)
            return *it;
    }
    ADD_FAILURE() << "no message " << msg;
    return {};
}

TimelineRig::TimelineRig(const platform::DateTime& cursor)
{
    parent.createWindow(nullptr, QRect(20, 20, kWidth + 20, kHeight + 40), 0, true);
    timeline.Create(&parent);
    timeline.setGeometry(10, 20, kWidth, kHeight);
    timeline.SetChannelRows(QString(), 4);
    timeline.SetFirstRow(1);
    timeline.ClearSpans();
    timeline.SetDayRange(at(0, 0, 0), at(23, 59, 59));
    timeline.MoveCursorTo(cursor);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(parent.windowHandle()));
    QWindowSystemInterface::handleWindowActivated(parent.windowHandle(), Qt::ActiveWindowFocusReason);
    QWindowSystemInterface::flushWindowSystemEvents();
    parent.messages.clear();
}

TimelineRig::~TimelineRig()
{
    timeline.destroyWindow();
    parent.destroyWindow();
}

void TimelineRig::mouse(QPoint at, QEvent::Type type, Qt::MouseButton button)
{
    const QPoint global = timeline.mapToGlobal(at);
    QCursor::setPos(global);
    QWindow* window = parent.windowHandle();
    if (type == QEvent::MouseButtonPress)
        m_buttons |= button;
    else if (type == QEvent::MouseButtonRelease)
        m_buttons &= ~Qt::MouseButtons(button);
    m_time += 700;  // never a double click
    QWindowSystemInterface::handleMouseEvent(window, m_time, window->mapFromGlobal(QPointF(global)), QPointF(global),
                                             m_buttons, type == QEvent::MouseMove ? Qt::NoButton : button, type);
    QWindowSystemInterface::flushWindowSystemEvents();
}

void TimelineRig::press(QPoint at, Qt::MouseButton button)
{
    mouse(at, QEvent::MouseButtonPress, button);
}

void TimelineRig::move(QPoint at)
{
    mouse(at, QEvent::MouseMove, Qt::NoButton);
}

void TimelineRig::release(QPoint at, Qt::MouseButton button)
{
    mouse(at, QEvent::MouseButtonRelease, button);
}

void TimelineRig::click(QPoint at, Qt::MouseButton button)
{
    press(at, button);
    release(at, button);
}

void TimelineRig::wheel(QPoint at, int delta)
{
    const QPoint global = timeline.mapToGlobal(at);
    QCursor::setPos(global);
    QWindow* window = parent.windowHandle();
    QWindowSystemInterface::handleWheelEvent(window, window->mapFromGlobal(QPointF(global)), QPointF(global), QPoint(),
                                             QPoint(0, delta));
    QWindowSystemInterface::flushWindowSystemEvents();
}

void TimelineRig::key(int qtKey)
{
    QWindow* window = parent.windowHandle();
    QWindowSystemInterface::handleKeyEvent(window, QEvent::KeyPress, qtKey, Qt::NoModifier);
    QWindowSystemInterface::handleKeyEvent(window, QEvent::KeyRelease, qtKey, Qt::NoModifier);
    QWindowSystemInterface::flushWindowSystemEvents();
}

}  // namespace timeline_test
