// SPDX-License-Identifier: GPL-3.0-or-later
// A velk-recorder on loopback ports of its own choosing, with one user and a
// data folder of its own, and plain HTTP requests to its web API.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>

struct HttpAnswer {
    int status = 0;  // 0: no answer
    QByteArray body;
};

class RecorderProcess {
public:
    RecorderProcess() = default;
    RecorderProcess(const RecorderProcess&) = delete;
    RecorderProcess& operator=(const RecorderProcess&) = delete;
    ~RecorderProcess();

    bool start(const QString& user, const QString& password);
    std::uint16_t devicePort() const { return m_devicePort; }
    QString dataPath() const { return m_data.path(); }

    // One request on a fresh connection.
    HttpAnswer http(const QByteArray& method, const QByteArray& target, const QByteArray& body = {},
                    const QList<QPair<QByteArray, QByteArray>>& headers = {});

private:
    QProcess m_process;
    QTemporaryDir m_data;
    std::uint16_t m_devicePort = 0;
    std::uint16_t m_httpPort = 0;
};

// The page's form of a password: DES-enciphered under the shared key,
// padded with zero bytes to whole blocks, as hexadecimal text.
QString passwordText(const QByteArray& password);
