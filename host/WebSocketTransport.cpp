// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/WebSocketTransport.h"

#include "host/JsonRpcDispatcher.h"
#include "host/RpcResponder.h"

#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketCorsAuthenticator>

namespace host {

WebSocketTransport::WebSocketTransport(JsonRpcDispatcher& dispatcher, WebSocketPolicy policy, QObject* parent)
    : QObject(parent),
      m_dispatcher(dispatcher),
      m_policy(std::move(policy)),
      m_server(QStringLiteral("velk-dvr-host"), QWebSocketServer::NonSecureMode)
{
    m_server.setHandshakeTimeout(kHandshakeTimeoutMs);
    m_server.setMaxPendingConnections(kMaxConnections);
    // The origin is checked during the handshake: a foreign page gets an
    // HTTP refusal and never a WebSocket.
    connect(&m_server, &QWebSocketServer::originAuthenticationRequired, this,
            [this](QWebSocketCorsAuthenticator* authenticator) { onOriginCheck(authenticator); });
    connect(&m_server, &QWebSocketServer::newConnection, this, [this] { onNewConnection(); });
}

WebSocketTransport::~WebSocketTransport()
{
    close();
}

bool WebSocketTransport::listen(quint16 port, QString& error)
{
    if (!m_server.listen(QHostAddress::LocalHost, port)) {
        error = m_server.errorString();
        return false;
    }
    m_policy.setPort(m_server.serverPort());
    return true;
}

quint16 WebSocketTransport::port() const
{
    return m_server.serverPort();
}

QString WebSocketTransport::url() const
{
    return QStringLiteral("ws://127.0.0.1:%1/?token=%2").arg(port()).arg(m_policy.token());
}

void WebSocketTransport::onOriginCheck(QWebSocketCorsAuthenticator* authenticator)
{
    const bool allowed = m_policy.originAllowed(authenticator->origin());
    authenticator->setAllowed(allowed);
    if (!allowed)
        qWarning("velk-dvr-host: WebSocket handshake refused: origin not allowed");
}

void WebSocketTransport::onNewConnection()
{
    while (QWebSocket* socket = m_server.nextPendingConnection()) {
        const QNetworkRequest request = socket->request();
        QString reason = m_policy.refusal(request.url(), request.rawHeader("Host"), socket->origin());
        if (reason.isEmpty() && m_clients.size() >= kMaxConnections)
            reason = QStringLiteral("too many connections (at most %1)").arg(kMaxConnections);
        if (reason.isEmpty())
            accept(socket);
        else
            refuse(socket, reason);
    }
}

void WebSocketTransport::refuse(QWebSocket* socket, const QString& reason)
{
    qWarning("velk-dvr-host: WebSocket connection refused: %s", qPrintable(reason));
    connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
    socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("refused"));
    // A peer that never completes the closing handshake is cut off.
    QTimer::singleShot(kCloseTimeoutMs, socket, [socket] { socket->abort(); });
}

void WebSocketTransport::accept(QWebSocket* socket)
{
    socket->setParent(this);
    socket->setMaxAllowedIncomingMessageSize(kMaxMessageBytes);
    socket->setMaxAllowedIncomingFrameSize(kMaxMessageBytes);
    m_clients.append(socket);

    connect(socket, &QWebSocket::textMessageReceived, this,
            [this, socket](const QString& text) { onMessage(socket, text); });
    connect(socket, &QWebSocket::binaryMessageReceived, this, [socket](const QByteArray&) {
        socket->close(QWebSocketProtocol::CloseCodeDatatypeNotSupported,
                      QStringLiteral("send JSON-RPC requests as text messages"));
    });
    connect(socket, &QWebSocket::disconnected, this, [this, socket] {
        m_clients.removeAll(socket);
        socket->deleteLater();
    });
    qInfo("velk-dvr-host: page connected (%lld connected)", static_cast<long long>(m_clients.size()));
}

void WebSocketTransport::onMessage(QWebSocket* socket, const QString& text)
{
    if (!m_serving)
        return;
    const CallerContext caller{/*mayWriteFiles=*/false, /*connection=*/socket};
    QPointer<QWebSocket> target(socket);
    m_dispatcher.handleMessage(text.toUtf8(), caller, [target](const QByteArray& response) {
        // The page may have gone while its call ran.
        if (target != nullptr && target->state() == QAbstractSocket::ConnectedState)
            target->sendTextMessage(QString::fromUtf8(response));
    });
}

void WebSocketTransport::broadcast(const QByteArray& text)
{
    const QString message = QString::fromUtf8(text);
    for (QWebSocket* socket : m_clients) {
        if (socket->state() == QAbstractSocket::ConnectedState)
            socket->sendTextMessage(message);
    }
}

void WebSocketTransport::stopServing()
{
    m_serving = false;
    m_server.close();
}

void WebSocketTransport::close()
{
    stopServing();
    const QList<QWebSocket*> clients = m_clients;
    m_clients.clear();
    for (QWebSocket* socket : clients) {
        socket->disconnect(this);
        socket->close(QWebSocketProtocol::CloseCodeGoingAway, QStringLiteral("host ends"));
        socket->deleteLater();
    }
}

}  // namespace host
