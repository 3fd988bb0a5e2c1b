// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/WebSocketTransport.h"

#include "host/WebSocketConnection.h"

#include <QUrl>

namespace host {

WebSocketTransport::WebSocketTransport(WebSocketPolicy policy, Accepted accepted, QObject* parent)
    : QObject(parent),
      m_policy(std::move(policy)),
      m_accepted(std::move(accepted)),
      m_server(
          kMaxMessageBytes,
          [this](const WebSocketRequest& request, QByteArray& why) { return judgeHandshake(request, why); },
          [this](WebSocketConnection* connection, const WebSocketRequest& request) { onOpened(connection, request); })
{
}

WebSocketTransport::~WebSocketTransport()
{
    stopServing();
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
    const QList<QByteArray> origins = request.values("origin");
    QString reason = m_policy.refusal(QUrl::fromEncoded(request.target), request.values("host").value(0),
                                      origins.isEmpty() ? QString() : QString::fromUtf8(origins.first()));
    if (reason.isEmpty() && !m_serving)
        reason = QStringLiteral("the host is ending");
    if (!reason.isEmpty()) {
        qWarning("velk-dvr-host: WebSocket connection refused: %s", qPrintable(reason));
        connection->close(ws::kPolicyViolation, QStringLiteral("refused"));
        return;
    }
    if (m_accepted)
        m_accepted(connection, request);
    else
        connection->close(ws::kGoingAway, QStringLiteral("host ends"));
}

void WebSocketTransport::stopServing()
{
    m_serving = false;
    m_server.stopListening();
}

}  // namespace host
