// SPDX-License-Identifier: GPL-3.0-or-later
// A page's connection to the host through Qt's WebSocket client: calls and
// their answers, events, the $session greeting and the picture's frames.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QUrl>
#include <QWebSocket>

class Page {
public:
    static constexpr int kWaitMs = 5000;

    Page();

    // Opens the connection and waits until its control has said hello
    // ($session) or the connection was refused. Qt's client sends the Host
    // header of the URL (and adds a second one if another is set), so the
    // Host to send is put in the URL.
    void open(const QUrl& url, const QByteArray& origin, const QByteArray& hostHeader);
    // The same in two steps: start connecting, and later wait for it.
    void begin(const QUrl& url, const QByteArray& origin, const QByteArray& hostHeader);
    bool waitOpened(int timeoutMs = kWaitMs);
    bool waitDisconnected();

    // Sends a request and waits for its answer (an empty object when none
    // came or the connection ended).
    QJsonObject call(const QString& method, const QJsonValue& params, int timeoutMs = kWaitMs);
    // Sends a notification (no id, no answer).
    void notify(const QString& method);
    // Closes the connection as a page that goes away does, and waits.
    void close();

    QWebSocket& socket() { return m_socket; }
    bool connected() const { return m_connected; }
    bool disconnected() const { return m_disconnected; }
    // The control's greeting: {resume, resumed}.
    const QJsonObject& session() const { return m_session; }
    QString resumeId() const { return m_session.value(QLatin1String("resume")).toString(); }
    bool resumed() const { return m_session.value(QLatin1String("resumed")).toBool(); }
    // Answers and events, in arrival order ($session excluded).
    const QList<QJsonObject>& messages() const { return m_messages; }
    const QList<QByteArray>& frames() const { return m_frames; }

private:
    QWebSocket m_socket;
    bool m_connected = false;
    bool m_disconnected = false;
    QList<QJsonObject> m_messages;
    QJsonObject m_session;
    QList<QByteArray> m_frames;
    int m_nextId = 1;
};
