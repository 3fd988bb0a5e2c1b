// SPDX-License-Identifier: GPL-3.0-or-later
// The host: over stdio, the module and one control for scripts; over the
// WebSocket, a control of its own for each page (PageBroker), each in a
// process of its own. At the end the stdio control is destroyed (which logs
// out its session) and every page's process is asked to end its control.
//
// Threads: the stdin reader thread (StdinReader) only reads lines and posts
// them; everything else runs on the UI thread.
#pragma once

#include "host/HostOptions.h"

#include <QString>

#include <memory>

namespace host {

class ControlHost;
class PageBroker;
class StdioTransport;
class TerminationSignals;
class WebSocketTransport;

class HostApplication {
public:
    // How long the host waits at its end for the pages' controls to end.
    static constexpr int kPageShutdownMs = 5000;

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
    void writeUrlLine(const QString& url, quint16 port, const QString& token);

    const HostOptions m_options;
    const int m_jsonOutputFd;
    std::unique_ptr<ControlHost> m_control;  // the stdio control
    std::unique_ptr<StdioTransport> m_stdio;
    std::unique_ptr<PageBroker> m_pages;
    std::unique_ptr<WebSocketTransport> m_webSocket;
    std::unique_ptr<TerminationSignals> m_signals;
};

}  // namespace host
