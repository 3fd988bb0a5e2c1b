// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageSocket.h"

#include <QJsonDocument>
#include <QNetworkRequest>
#include <QTest>

Page::Page()
{
    QObject::connect(&m_socket, &QWebSocket::connected, [this] { m_connected = true; });
    QObject::connect(&m_socket, &QWebSocket::disconnected, [this] { m_disconnected = true; });
    QObject::connect(&m_socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
        const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
        if (message.value(QLatin1String("method")) == QJsonValue(QStringLiteral("$session")))
            m_session = message.value(QLatin1String("params")).toObject();
        else
            m_messages.append(message);
    });
    QObject::connect(&m_socket, &QWebSocket::binaryMessageReceived,
                     [this](const QByteArray& frame) { m_frames.append(frame); });
}

void Page::open(const QUrl& url, const QByteArray& origin, const QByteArray& hostHeader)
{
    begin(url, origin, hostHeader);
    waitOpened();
}

bool Page::waitOpened(int timeoutMs)
{
    return QTest::qWaitFor([this] { return (m_connected && !m_session.isEmpty()) || m_disconnected; }, timeoutMs) &&
           !m_disconnected;
}

void Page::begin(const QUrl& url, const QByteArray& origin, const QByteArray& hostHeader)
{
    QUrl target(url);
    const qsizetype colon = hostHeader.lastIndexOf(':');
    target.setHost(QString::fromLatin1(hostHeader.left(colon)));
    target.setPort(hostHeader.mid(colon + 1).toInt());
    QNetworkRequest request(target);
    if (!origin.isEmpty())
        request.setRawHeader("Origin", origin);
    m_socket.open(request);
}

bool Page::waitDisconnected()
{
    return QTest::qWaitFor([this] { return m_disconnected; }, kWaitMs);
}

QJsonObject Page::call(const QString& method, const QJsonValue& params, int timeoutMs)
{
    const int id = m_nextId++;
    m_socket.sendTextMessage(QString::fromUtf8(
        QJsonDocument(QJsonObject{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}})
            .toJson(QJsonDocument::Compact)));
    QJsonObject response;
    [[maybe_unused]] const bool settled = QTest::qWaitFor(
        [&] {
            for (const QJsonObject& message : m_messages) {
                if (message.value(QLatin1String("id")) == QJsonValue(id)) {
                    response = message;
                    return true;
                }
            }
            return m_disconnected;
        },
        timeoutMs);
    return response;
}

void Page::notify(const QString& method)
{
    m_socket.sendTextMessage(QString::fromUtf8(
        QJsonDocument(QJsonObject{{"jsonrpc", "2.0"}, {"method", method}}).toJson(QJsonDocument::Compact)));
}

void Page::close()
{
    m_socket.close();
    waitDisconnected();
}
