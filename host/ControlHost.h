// SPDX-License-Identifier: GPL-3.0-or-later
// One control and what serves it: its window, the stacking order of the
// process's windows, the grabber, the input injector, the frame streamer
// and a dispatcher with the control's methods and the host's `$` methods.
// The stdio host holds one; each page's process holds one.
//
// UI thread only.
#pragma once

#include "control/Automation.h"

#include <QByteArray>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

class CVELK_DVRCtrl;

namespace host {

class FrameStreamer;
class InputInjector;
class JsonRpcDispatcher;
class ScreenGrabber;
class WindowStack;

class ControlHost {
public:
    // Every event of the control as a JSON-RPC notification text.
    using NotificationSink = std::function<void(const QByteArray& notification)>;
    // A snapshot the control saved: the JPEG file and its channel.
    using SnapshotSink = std::function<void(const QString& jpegPath, int channel)>;

    ControlHost();
    ~ControlHost();

    ControlHost(const ControlHost&) = delete;
    ControlHost& operator=(const ControlHost&) = delete;

    // Creates the control's window at (0, 0) with this size and everything
    // serving it. False when the window could not be created.
    bool create(QSize size, NotificationSink events, SnapshotSink snapshots);
    // Destroys the control's window (logging out its session, whose events
    // still reach the sink), then the control. Idempotent.
    void destroy();

    JsonRpcDispatcher& dispatcher() { return *m_dispatcher; }
    FrameStreamer& streamer() { return *m_streamer; }
    bool isCreated() const { return m_control != nullptr; }

private:
    void sendEvent(const EventInfo& event, const std::vector<Variant>& args);

    CVELK_DVRCtrl* m_control = nullptr;  // owned; deleted in destroy() after its window
    NotificationSink m_events;
    SnapshotSink m_snapshots;
    std::unique_ptr<WindowStack> m_windowStack;
    std::unique_ptr<ScreenGrabber> m_grabber;
    std::unique_ptr<InputInjector> m_injector;
    std::unique_ptr<FrameStreamer> m_streamer;
    std::unique_ptr<JsonRpcDispatcher> m_dispatcher;
};

}  // namespace host
