// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/WebSocketServer.h"

#include <QTcpSocket>

namespace host {

WebSocketServer::WebSocketServer(qint64 maxMessageBytes, WebSocketConnection::Judge judge, Opened opened,
                                 QObject* parent)
    : QObject(parent), m_maxMessageBytes(maxMessageBytes), m_judge(std::move(judge)), m_opened(std::move(opened))
{
    connect(&m_tcp, &QTcpServer::newConnection, this, [this] { onNewConnection(); });
}

WebSocketServer::~WebSocketServer()
{
    // Connections still alive go with the server; none may call back.
    for (WebSocketConnection* connection : findChildren<WebSocketConnection*>(Qt::FindDirectChildrenOnly)) {
        connection->onOpened = nullptr;
        connection->onTextMessage = nullptr;
        connection->onClosed = nullptr;
    }
}

bool WebSocketServer::listen(quint16 port)
{
    return m_tcp.listen(QHostAddress::LocalHost, port);
}

void WebSocketServer::stopListening()
{
    m_tcp.close();
    const QList<QPointer<WebSocketConnection>> handshaking = m_handshaking;
    m_handshaking.clear();
    for (const QPointer<WebSocketConnection>& connection : handshaking) {
        if (!connection.isNull() && connection->state() == WebSocketConnection::State::Handshake)
            connection->abort();
    }
}

void WebSocketServer::onNewConnection()
{
    while (QTcpSocket* socket = m_tcp.nextPendingConnection()) {
        m_handshaking.removeIf([](const QPointer<WebSocketConnection>& c) {
            return c.isNull() || c->state() != WebSocketConnection::State::Handshake;
        });
        if (m_handshaking.size() >= kMaxHandshakes) {
            qWarning("velk-dvr-host: WebSocket connection cut: %d handshakes under way", kMaxHandshakes);
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto* connection = new WebSocketConnection(socket, m_maxMessageBytes, m_judge, this);
        m_handshaking.append(connection);
        connection->onOpened = [this, connection](const WebSocketRequest& request) {
            if (m_opened)
                m_opened(connection, request);
        };
    }
}

}  // namespace host
