// SPDX-License-Identifier: GPL-3.0-or-later
// JSON-RPC over a WebSocket on 127.0.0.1 for pages: each text message is one
// request, each answer and event one text message. Several pages may be
// connected at once; each gets every event.
//
// The server is the host's own (WebSocketServer), so that every byte of the
// handshake and of each frame is seen: a handshake with a foreign, missing
// or repeated Origin, or a repeated Host, is refused with HTTP 403; an
// opened connection with a wrong token, Host or path, or beyond the page
// limit, is closed with the policy-violation code before any message is
// read; messages above the size limit close the connection.
#pragma once

#include "host/WebSocketPolicy.h"
#include "host/WebSocketServer.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>

namespace host {

class JsonRpcDispatcher;
class WebSocketConnection;

class WebSocketTransport : public QObject {
public:
    static constexpr qint64 kMaxMessageBytes = 1024 * 1024;
    static constexpr int kMaxConnections = 8;

    WebSocketTransport(JsonRpcDispatcher& dispatcher, WebSocketPolicy policy, QObject* parent = nullptr);
    ~WebSocketTransport() override;

    // Listens on 127.0.0.1:port (0: any free port). UI thread only.
    bool listen(quint16 port, QString& error);
    quint16 port() const;
    // ws://127.0.0.1:<port>/?token=<token>
    QString url() const;

    // Sends one notification to every connected page. UI thread only.
    void broadcast(const QByteArray& text);
    // Stops listening and dispatching; connected pages still get events
    // until close(). UI thread only.
    void stopServing();
    // Closes every connection and stops listening. UI thread only.
    void close();

private:
    int judgeHandshake(const WebSocketRequest& request, QByteArray& why) const;
    void onOpened(WebSocketConnection* connection, const WebSocketRequest& request);
    void onMessage(WebSocketConnection* connection, const QByteArray& text);

    JsonRpcDispatcher& m_dispatcher;
    WebSocketPolicy m_policy;
    WebSocketServer m_server;
    QList<QPointer<WebSocketConnection>> m_clients;  // accepted pages; UI thread only
    bool m_serving = true;
};

}  // namespace host
