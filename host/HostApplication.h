// SPDX-License-Identifier: GPL-3.0-or-later
// The host: the module, one control, and the ways in to it. Creates the
// control, serves its methods and the host's own over stdio and/or a
// WebSocket, sends every event to every client, and at the end destroys the
// control (which logs out its session) and ends the module.
//
// Threads: the stdin reader thread (StdinReader) only reads lines and posts
// them; everything else runs on the UI thread.
#pragma once

#include "control/Automation.h"
#include "host/HostOptions.h"

#include <memory>
#include <vector>

class CVELK_DVRCtrl;

namespace host {

class FrameStreamer;
class InputInjector;
class JsonRpcDispatcher;
class ScreenGrabber;
class StdioTransport;
class TerminationSignals;
class WebSocketTransport;
class WindowStack;

class HostApplication {
public:
    // `jsonOutputFd`: where stdio answers and the WebSocket URL line go.
    HostApplication(HostOptions options, int jsonOutputFd);
    ~HostApplication();

    HostApplication(const HostApplication&) = delete;
    HostApplication& operator=(const HostApplication&) = delete;

    // Runs until the end of input, a termination signal or the control's
    // window being closed; returns the process's exit code. UI thread.
    int run();

private:
    bool startTransports();
    void shutDown();
    void broadcastEvent(const EventInfo& event, const std::vector<Variant>& args);
    void writeUrlLine(const QString& url, quint16 port, const QString& token);

    const HostOptions m_options;
    const int m_jsonOutputFd;
    CVELK_DVRCtrl* m_control = nullptr;  // owned; deleted in shutDown() after its window
    std::unique_ptr<WindowStack> m_windowStack;
    std::unique_ptr<ScreenGrabber> m_grabber;
    std::unique_ptr<InputInjector> m_injector;
    std::unique_ptr<FrameStreamer> m_streamer;
    std::unique_ptr<JsonRpcDispatcher> m_dispatcher;
    std::unique_ptr<StdioTransport> m_stdio;
    std::unique_ptr<WebSocketTransport> m_webSocket;
    std::unique_ptr<TerminationSignals> m_signals;
};

}  // namespace host
