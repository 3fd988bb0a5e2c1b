// SPDX-License-Identifier: GPL-3.0-or-later
// A page's own process (velk-dvr-host --page-child FD): the module, one
// control, and the page's WebSocket connection, which the host's listener
// hands over through the channel FD (see PageChannel.h and PageBroker.h).
//
// The page gets its control's events and answers only. First, on every
// connection, the notification
//   {"method":"$session","params":{"resume":"<id>","resumed":<bool>}}
// says whether this connection resumed the control the page had (still
// logged in) or got a new one, and the id to present to resume it. While
// no page is connected, the control's events are kept (at most
// kMaxHeldEvents, the oldest dropped) and sent to the page that resumes it.
//
// The process ends its control (logging out its sessions, finishing its
// recordings) and exits with 0 when the grace time passes without a page,
// when the host asks, or when the host is gone.
//
// UI thread only.
#pragma once

#include "host/ControlHost.h"

#include <QByteArray>
#include <QPointer>
#include <QSize>
#include <QTimer>

#include <deque>

class QSocketNotifier;

namespace host {

class WebSocketConnection;
namespace pagechannel {
struct AdoptRequest;
}

class PageChildApplication {
public:
    static constexpr std::size_t kMaxHeldEvents = 256;

    PageChildApplication(int channelFd, QSize controlSize, int resumeGraceMs);
    ~PageChildApplication();

    PageChildApplication(const PageChildApplication&) = delete;
    PageChildApplication& operator=(const PageChildApplication&) = delete;

    // Runs until the control ends; the process's exit code.
    int run();

private:
    void onChannelReadable();
    void adopt(int fd, const pagechannel::AdoptRequest& request);
    void onPageClosed(WebSocketConnection* connection);
    void onMessage(WebSocketConnection* connection, const QByteArray& text);
    void sendEvent(const QByteArray& text);
    void sendSnapshot(const QString& jpegPath, int channel);
    void end();

    const int m_channel;
    const QSize m_controlSize;
    const int m_resumeGraceMs;
    ControlHost m_control;
    QSocketNotifier* m_notifier = nullptr;
    QPointer<WebSocketConnection> m_page;
    QTimer m_grace;
    std::deque<QByteArray> m_heldEvents;  // while no page is connected
    bool m_ending = false;
};

}  // namespace host
