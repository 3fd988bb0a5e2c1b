// SPDX-License-Identifier: GPL-3.0-or-later
// A WebSocket server on 127.0.0.1: takes TCP connections, lets each run its
// handshake (WebSocketConnection) and hands over those that open. At most
// kMaxHandshakes connections may be in their handshake at once; more are
// cut at once, so idle sockets cannot pile up. UI thread only.
#pragma once

#include "host/WebSocketConnection.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>

#include <functional>

namespace host {

class WebSocketServer : public QObject {
public:
    static constexpr int kMaxHandshakes = 16;

    using Opened = std::function<void(WebSocketConnection* connection, const WebSocketRequest& request)>;

    // `judge` decides on every well-formed upgrade request; `opened` gets
    // every connection that opened (owned by the server until it closes).
    WebSocketServer(qint64 maxMessageBytes, WebSocketConnection::Judge judge, Opened opened,
                    QObject* parent = nullptr);
    ~WebSocketServer() override;

    bool listen(quint16 port);
    QString errorString() const { return m_tcp.errorString(); }
    quint16 port() const { return m_tcp.serverPort(); }
    // Stops listening and cuts the connections still in their handshake.
    void stopListening();

private:
    void onNewConnection();

    qint64 m_maxMessageBytes;
    WebSocketConnection::Judge m_judge;
    Opened m_opened;
    QTcpServer m_tcp;
    QList<QPointer<WebSocketConnection>> m_handshaking;  // UI thread only
};

}  // namespace host
