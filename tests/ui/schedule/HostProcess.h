// SPDX-License-Identifier: GPL-3.0-or-later
// The real velk-dvr-host as a subprocess over stdio, in a fresh home folder
// and with no display (so it chooses the offscreen platform itself).
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

class HostProcess {
public:
    explicit HostProcess(QStringList arguments = {QStringLiteral("--stdio")});
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    bool start();
    QString homePath() const { return m_home.path(); }

    // Sends a request with a fresh id and returns its response; notifications
    // read meanwhile are kept.
    QJsonObject call(const QString& method, const QJsonValue& params = QJsonValue::Undefined, int timeoutMs = 10000);

private:
    void sendLine(const QByteArray& line);
    std::optional<QJsonObject> readMessage(int timeoutMs);

    QProcess m_process;
    QTemporaryDir m_home;
    QStringList m_arguments;
    QList<QJsonObject> m_notifications;
    int m_nextId = 1;
};

// The result of a successful response (fails the test on an error response).
QJsonValue resultOf(const QJsonObject& response);
