// SPDX-License-Identifier: GPL-3.0-or-later
// JSON-RPC over a WebSocket on 127.0.0.1 for pages: each text message is one
// request, each answer and event one text message. Several pages may be
// connected at once; each gets every event.
//
// A connection is refused (closed with the policy-violation code before any
// message is read) unless WebSocketPolicy accepts it; messages above the
// size limit close the connection.
#pragma once

#include "host/WebSocketPolicy.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QWebSocketServer>

class QWebSocket;
class QWebSocketCorsAuthenticator;

namespace host {

class JsonRpcDispatcher;

class WebSocketTransport : public QObject {
public:
    static constexpr quint64 kMaxMessageBytes = 1024 * 1024;
    static constexpr int kMaxConnections = 8;
    static constexpr int kHandshakeTimeoutMs = 5000;
    static constexpr int kCloseTimeoutMs = 2000;

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
    void onOriginCheck(QWebSocketCorsAuthenticator* authenticator);
    void onNewConnection();
    void accept(QWebSocket* socket);
    void refuse(QWebSocket* socket, const QString& reason);
    void onMessage(QWebSocket* socket, const QString& text);

    JsonRpcDispatcher& m_dispatcher;
    WebSocketPolicy m_policy;
    QWebSocketServer m_server;
    QList<QWebSocket*> m_clients;  // accepted connections; UI thread only
    bool m_serving = true;
};

}  // namespace host
