// SPDX-License-Identifier: GPL-3.0-or-later
// Delivers mouse, wheel and keyboard input to the control through Qt's
// window-system interface, as a local mouse and keyboard would: the window
// on top at the point takes it (an open popup, a modal dialog), popups and
// modality behave as usual, keys go to the focus window.
//
// Input runs from the event loop, one event per queued step, never from
// inside a handler: an event that opens a menu or a dialog starts a nested
// loop, and the rest of the input must still reach that menu or dialog.
// Requests are delivered in the order they came, one request after another.
#pragma once

#include "host/InputRequest.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QObject>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QWidget;
class QWindow;

namespace host {

class WindowStack;

class InputInjector : public QObject {
public:
    InputInjector(QWidget& control, const WindowStack& stack, QObject* parent = nullptr);

    // Called after each request's last event was handled, before its
    // `delivered`: the frame streamer uses it to show the effect soon.
    std::function<void(const InputRequest& request)> afterInput;

    // Queues one request; `delivered` is called once its last event has
    // been handled, or from the nested loop that event started. UI thread only.
    void inject(const InputRequest& request, std::function<void()> delivered);

    // Re-activates the control (or an open modal dialog) whenever no window
    // is active. For the offscreen platform, where closing a dialog leaves
    // nothing active and keys and tooltips then stop. UI thread only.
    void keepAWindowActive();

private:
    struct Sequence {
        InputRequest request;
        std::vector<std::function<void()>> steps;
        std::function<void()> delivered;
    };

    std::vector<std::function<void()>> stepsFor(const InputRequest& request);
    void startNext();
    void runStep(const std::shared_ptr<Sequence>& sequence, std::size_t index);

    void ensureActiveWindow();
    QWindow* controlWindow() const;
    void deliverMouse(QPointF controlPos, QEvent::Type type, Qt::MouseButton button,
                      Qt::KeyboardModifiers modifiers, bool doubleClickSecondPress);
    void deliverWheel(QPointF controlPos, int delta, Qt::KeyboardModifiers modifiers);
    void deliverKey(QEvent::Type type, int key, const QString& text, Qt::KeyboardModifiers modifiers);
    QWindow* mouseTarget(const QPoint& globalPos) const;
    ulong timestamp(bool freshPress);

    QWidget& m_control;
    const WindowStack& m_stack;
    std::deque<std::shared_ptr<Sequence>> m_pending;  // UI thread only
    bool m_running = false;                           // a sequence is under way
    Qt::MouseButtons m_buttons = Qt::NoButton;        // buttons held down now
    QElapsedTimer m_clock;
    ulong m_lastTimestamp = 0;
    ulong m_lastPressTimestamp = 0;
};

}  // namespace host
