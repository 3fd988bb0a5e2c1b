// SPDX-License-Identifier: GPL-3.0-or-later
// The WebSocket on 127.0.0.1 that pages connect to, and who may connect.
// It serves no methods itself: each connection that passes the policy is
// handed to `accepted`, which gives it to the page's own control.
//
// The server is the host's own (WebSocketServer), so that every byte of the
// handshake and of each frame is seen: a handshake with a foreign, missing
// or repeated Origin, or a repeated Host, is refused with HTTP 403; an
// opened connection with a wrong token, Host or path is closed with the
// policy-violation code before any message is read.
#pragma once

#include "host/WebSocketPolicy.h"
#include "host/WebSocketServer.h"

#include <QObject>
#include <QString>

#include <functional>

namespace host {

class WebSocketConnection;

class WebSocketTransport : public QObject {
public:
    static constexpr qint64 kMaxMessageBytes = 1024 * 1024;

    // A connection that passed the policy, open, before any message was
    // read. The callee takes it (hands it over, serves it or closes it).
    using Accepted = std::function<void(WebSocketConnection* connection, const WebSocketRequest& request)>;

    WebSocketTransport(WebSocketPolicy policy, Accepted accepted, QObject* parent = nullptr);
    ~WebSocketTransport() override;

    // Listens on 127.0.0.1:port (0: any free port). UI thread only.
    bool listen(quint16 port, QString& error);
    quint16 port() const;
    // ws://127.0.0.1:<port>/?token=<token>
    QString url() const;

    // Stops listening and accepting. UI thread only.
    void stopServing();

private:
    int judgeHandshake(const WebSocketRequest& request, QByteArray& why) const;
    void onOpened(WebSocketConnection* connection, const WebSocketRequest& request);

    WebSocketPolicy m_policy;
    Accepted m_accepted;
    WebSocketServer m_server;
    bool m_serving = true;
};

}  // namespace host
