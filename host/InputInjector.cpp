// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/InputInjector.h"

#include "host/WindowStack.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMetaObject>
#include <QStyleHints>
#include <QWidget>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

#include <algorithm>

namespace host {

namespace {
using Async = QWindowSystemInterface::AsynchronousDelivery;
}  // namespace

InputInjector::InputInjector(QWidget& control, const WindowStack& stack, QObject* parent)
    : QObject(parent), m_control(control), m_stack(stack)
{
    m_clock.start();
}

void InputInjector::keepAWindowActive()
{
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* focus) {
        if (focus != nullptr)
            return;
        // Let the window that is closing finish first, then look again.
        QMetaObject::invokeMethod(this, [this] { ensureActiveWindow(); }, Qt::QueuedConnection);
    });
}

void InputInjector::inject(const InputRequest& request, std::function<void()> delivered)
{
    auto sequence = std::make_shared<Sequence>();
    sequence->request = request;
    sequence->steps = stepsFor(request);
    sequence->delivered = std::move(delivered);
    m_pending.push_back(std::move(sequence));
    startNext();
}

std::vector<std::function<void()>> InputInjector::stepsFor(const InputRequest& r)
{
    using Type = InputRequest::Type;
    std::vector<std::function<void()>> steps;
    const auto mouse = [this, r](QEvent::Type type, bool secondPress) {
        return [this, r, type, secondPress] { deliverMouse(r.pos, type, r.button, r.modifiers, secondPress); };
    };
    switch (r.type) {
    case Type::Press:
        steps.push_back(mouse(QEvent::MouseButtonPress, false));
        break;
    case Type::Release:
        steps.push_back(mouse(QEvent::MouseButtonRelease, false));
        break;
    case Type::Click:
        steps.push_back(mouse(QEvent::MouseButtonPress, false));
        steps.push_back(mouse(QEvent::MouseButtonRelease, false));
        break;
    case Type::DoubleClick:
        steps.push_back(mouse(QEvent::MouseButtonPress, false));
        steps.push_back(mouse(QEvent::MouseButtonRelease, false));
        steps.push_back(mouse(QEvent::MouseButtonPress, true));
        steps.push_back(mouse(QEvent::MouseButtonRelease, false));
        break;
    case Type::Move:
        steps.push_back(mouse(QEvent::MouseMove, false));
        break;
    case Type::Wheel:
        steps.push_back([this, r] { deliverWheel(r.pos, r.wheelDelta, r.modifiers); });
        break;
    case Type::Key:
        steps.push_back([this, r] { deliverKey(QEvent::KeyPress, r.key, r.text, r.modifiers); });
        steps.push_back([this, r] { deliverKey(QEvent::KeyRelease, r.key, r.text, r.modifiers); });
        break;
    }
    return steps;
}

void InputInjector::startNext()
{
    if (m_running || m_pending.empty())
        return;
    m_running = true;
    std::shared_ptr<Sequence> sequence = std::move(m_pending.front());
    m_pending.pop_front();
    QMetaObject::invokeMethod(
        this, [this, sequence] { runStep(sequence, 0); }, Qt::QueuedConnection);
}

void InputInjector::runStep(const std::shared_ptr<Sequence>& sequence, std::size_t index)
{
    if (index == sequence->steps.size()) {
        m_running = false;
        if (afterInput)
            afterInput(sequence->request);
        if (sequence->delivered)
            sequence->delivered();
        startNext();
        return;
    }
    // Queue what follows before delivering: if this event opens a menu or a
    // dialog, its nested loop runs the rest of the input and the answer.
    QMetaObject::invokeMethod(
        this, [this, sequence, index] { runStep(sequence, index + 1); }, Qt::QueuedConnection);
    if (index == 0)
        ensureActiveWindow();
    const std::function<void()> step = sequence->steps[index];
    step();
}

QWindow* InputInjector::controlWindow() const
{
    return m_control.window()->windowHandle();
}

void InputInjector::ensureActiveWindow()
{
    if (QGuiApplication::focusWindow() != nullptr)
        return;
    QWindow* window = QGuiApplication::modalWindow();
    if (window == nullptr || !window->isVisible())
        window = controlWindow();
    if (window == nullptr || !window->isVisible())
        return;
    QWindowSystemInterface::handleWindowActivated(window, Qt::ActiveWindowFocusReason);
    QWindowSystemInterface::flushWindowSystemEvents();
}

ulong InputInjector::timestamp(bool freshPress)
{
    ulong t = std::max<ulong>(static_cast<ulong>(m_clock.elapsed()) + 1, m_lastTimestamp + 1);
    if (freshPress) {
        // Every press except the second of a "dblclick" is kept out of the
        // double-click interval, so that two quick clicks stay two clicks.
        const ulong interval = static_cast<ulong>(QGuiApplication::styleHints()->mouseDoubleClickInterval());
        if (m_lastPressTimestamp != 0)
            t = std::max(t, m_lastPressTimestamp + interval + 1);
    }
    m_lastTimestamp = t;
    return t;
}

QWindow* InputInjector::mouseTarget(const QPoint& globalPos) const
{
    if (QWindow* window = m_stack.mouseTargetAt(globalPos))
        return window;
    // Outside every window: an open popup takes the event (and closes, as it
    // does for a click elsewhere on a desktop), else the control does.
    if (QWidget* popup = QApplication::activePopupWidget()) {
        if (QWindow* window = popup->window()->windowHandle())
            return window;
    }
    return controlWindow();
}

void InputInjector::deliverMouse(QPointF controlPos, QEvent::Type type, Qt::MouseButton button,
                                 Qt::KeyboardModifiers modifiers, bool doubleClickSecondPress)
{
    const QPointF global = m_control.mapToGlobal(controlPos);
    const QPoint globalPoint = global.toPoint();
    // Place the cursor first: a menu opened by this event opens at the
    // cursor's position.
    if (QScreen* screen = m_control.screen())
        QCursor::setPos(screen, globalPoint);

    QWindow* target = mouseTarget(globalPoint);
    if (target == nullptr)
        return;
    Qt::MouseButton changed = Qt::NoButton;
    ulong time = 0;
    if (type == QEvent::MouseButtonPress) {
        m_buttons |= button;
        changed = button;
        time = timestamp(!doubleClickSecondPress);
        m_lastPressTimestamp = time;
    } else if (type == QEvent::MouseButtonRelease) {
        m_buttons &= ~Qt::MouseButtons(button);
        changed = button;
        time = timestamp(false);
    } else {
        time = timestamp(false);
    }
    const QPointF local = target->mapFromGlobal(global);
    QWindowSystemInterface::handleMouseEvent<Async>(target, time, local, global, m_buttons, changed, type,
                                                    modifiers);
    QWindowSystemInterface::flushWindowSystemEvents();
}

void InputInjector::deliverWheel(QPointF controlPos, int delta, Qt::KeyboardModifiers modifiers)
{
    const QPointF global = m_control.mapToGlobal(controlPos);
    const QPoint globalPoint = global.toPoint();
    if (QScreen* screen = m_control.screen())
        QCursor::setPos(screen, globalPoint);
    QWindow* target = mouseTarget(globalPoint);
    if (target == nullptr)
        return;
    const QPointF local = target->mapFromGlobal(global);
    QWindowSystemInterface::handleWheelEvent(target, timestamp(false), local, global, QPoint(), QPoint(0, delta),
                                             modifiers);
    QWindowSystemInterface::flushWindowSystemEvents();
}

void InputInjector::deliverKey(QEvent::Type type, int key, const QString& text, Qt::KeyboardModifiers modifiers)
{
    QWindow* target = QGuiApplication::focusWindow();
    if (target == nullptr)
        target = QGuiApplication::modalWindow();
    if (target == nullptr)
        target = controlWindow();
    if (target == nullptr)
        return;
    QWindowSystemInterface::handleKeyEvent<Async>(target, timestamp(false), type, key, modifiers, text);
    QWindowSystemInterface::flushWindowSystemEvents();
}

}  // namespace host
