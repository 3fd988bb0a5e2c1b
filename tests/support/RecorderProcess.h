// SPDX-License-Identifier: GPL-3.0-or-later
// A velk-recorder started on loopback for a test, on ports of its choosing
// (or on given ones, to come back where it was), with its fault injection.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>

struct HttpAnswer {
    int status = 0;  // 0: no answer
    QByteArray body;
};

class RecorderProcess {
public:
    static QString programPath();
    static bool available();

    RecorderProcess() = default;
    RecorderProcess(const RecorderProcess&) = delete;
    RecorderProcess& operator=(const RecorderProcess&) = delete;
    ~RecorderProcess();

    // Starts the recorder with one user (and further arguments); ports 0 let
    // it choose. False when it did not report its ports.
    bool start(const QString& user, const QString& password, const QStringList& arguments = {},
               std::uint16_t devicePort = 0, std::uint16_t httpPort = 0);
    // Ends the recorder (as a recorder that loses power) and waits for it.
    void stop();
    // SIGKILL: the recorder dies at once, as in a crash.
    void killHard();
    // SIGSTOP / SIGCONT: the recorder hangs with its connections open.
    bool suspend();
    bool resume();
    // Starts it again on the ports it had, with the same user and arguments.
    bool restart();
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

    std::uint16_t devicePort() const { return m_devicePort; }
    std::uint16_t httpPort() const { return m_httpPort; }
    QString dataPath() const { return m_data.path(); }

    // One HTTP request on a fresh connection to the recorder's web port.
    HttpAnswer http(const QByteArray& method, const QByteArray& target, const QByteArray& body = {},
                    const QList<QPair<QByteArray, QByteArray>>& headers = {});

    // POST /sim/<action>?<query>: the recorder's JSON answer; an empty
    // object when the request failed.
    QJsonObject sim(const QString& action, const QString& query = {});
    // POST /sim/notify?kind=N: the recorder notifies every logged-in client.
    bool notify(std::uint32_t kind);

private:
    QProcess m_process;
    QTemporaryDir m_data;
    QString m_user;
    QString m_password;
    QStringList m_arguments;
    std::uint16_t m_devicePort = 0;
    std::uint16_t m_httpPort = 0;
};

// The page's form of a password: DES-enciphered under the shared key,
// padded with zero bytes to whole blocks, as hexadecimal text.
QString passwordText(const QByteArray& password);
