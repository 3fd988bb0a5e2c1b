// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/WebSocketTransport.h"

#include "host/JsonRpcDispatcher.h"
#include "host/RpcResponder.h"
#include "host/WebSocketConnection.h"

#include <QUrl>

namespace host {

WebSocketTransport::WebSocketTransport(JsonRpcDispatcher& dispatcher, WebSocketPolicy policy, QObject* parent)
    : QObject(parent),
      m_dispatcher(dispatcher),
      m_policy(std::move(policy)),
      m_server(
          kMaxMessageBytes,
          [this](const WebSocketRequest& request, QByteArray& why) { return judgeHandshake(request, why); },
          [this](WebSocketConnection* connection, const WebSocketRequest& request) { onOpened(connection, request); })
{
}

WebSocketTransport::~WebSocketTransport()
{
    close();
}

bool WebSocketTransport::listen(quint16 port, QString& error)
{
    if (!m_server.listen(port)) {
        error = m_server.errorString();
        return false;
    }
    m_policy.setPort(m_server.port());
    return true;
}

quint16 WebSocketTransport::port() const
{
    return m_server.port();
}

QString WebSocketTransport::url() const
{
    return QStringLiteral("ws://127.0.0.1:%1/?token=%2").arg(port()).arg(m_policy.token());
}

int WebSocketTransport::judgeHandshake(const WebSocketRequest& request, QByteArray& why) const
{
    // A foreign page gets an HTTP refusal and never a WebSocket.
    const QString refusal = m_policy.handshakeRefusal(request.values("origin"), request.values("host"));
    if (refusal.isEmpty())
        return 0;
    why = "refused";
    qWarning("velk-dvr-host: WebSocket handshake refused: %s", qPrintable(refusal));
    return 403;
}

void WebSocketTransport::onOpened(WebSocketConnection* connection, const WebSocketRequest& request)
{
    m_clients.removeIf([](const QPointer<WebSocketConnection>& c) { return c.isNull(); });
    const QList<QByteArray> origins = request.values("origin");
    QString reason = m_policy.refusal(QUrl::fromEncoded(request.target), request.values("host").value(0),
                                      origins.isEmpty() ? QString() : QString::fromUtf8(origins.first()));
    if (reason.isEmpty() && !m_serving)
        reason = QStringLiteral("the host is ending");
    if (reason.isEmpty() && m_clients.size() >= kMaxConnections)
        reason = QStringLiteral("too many connections (at most %1)").arg(kMaxConnections);
    if (!reason.isEmpty()) {
        qWarning("velk-dvr-host: WebSocket connection refused: %s", qPrintable(reason));
        connection->close(ws::kPolicyViolation, QStringLiteral("refused"));
        return;
    }
    m_clients.append(connection);
    connection->onTextMessage = [this, connection](const QByteArray& text) { onMessage(connection, text); };
    connection->onClosed = [this, connection] { m_clients.removeAll(connection); };
    qInfo("velk-dvr-host: page connected (%lld connected)", static_cast<long long>(m_clients.size()));
}

void WebSocketTransport::onMessage(WebSocketConnection* connection, const QByteArray& text)
{
    if (!m_serving)
        return;
    const CallerContext caller{/*mayWriteFiles=*/false, /*connection=*/connection};
    QPointer<WebSocketConnection> target(connection);
    m_dispatcher.handleMessage(text, caller, [target](const QByteArray& response) {
        // The page may have gone while its call ran.
        if (!target.isNull())
            target->sendTextMessage(response);
    });
}

void WebSocketTransport::broadcast(const QByteArray& text)
{
    for (const QPointer<WebSocketConnection>& connection : m_clients) {
        if (!connection.isNull())
            connection->sendTextMessage(text);
    }
}

void WebSocketTransport::stopServing()
{
    m_serving = false;
    m_server.stopListening();
}

void WebSocketTransport::close()
{
    stopServing();
    const QList<QPointer<WebSocketConnection>> clients = m_clients;
    m_clients.clear();
    for (const QPointer<WebSocketConnection>& connection : clients) {
        if (connection.isNull())
            continue;
        connection->onTextMessage = nullptr;
        connection->onClosed = nullptr;
        connection->close(ws::kGoingAway, QStringLiteral("host ends"));
    }
}

}  // namespace host
