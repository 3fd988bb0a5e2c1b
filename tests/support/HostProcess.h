// SPDX-License-Identifier: GPL-3.0-or-later
// The real velk-dvr-host as a subprocess over stdio, in a fresh home folder
// and with no display (so it chooses the offscreen platform itself). A host
// still running at the end is asked to end (end of input for a --stdio host,
// SIGTERM for one without) and killed only if it does not.
#pragma once

#include <QImage>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <optional>

// How long a test waits for the host: ThreadSanitizer makes the host (and
// everything else on the machine) several times slower.
#if defined(__SANITIZE_THREAD__)
inline constexpr int kHostTimeoutMs = 30000;
#else
inline constexpr int kHostTimeoutMs = 10000;
#endif

class HostProcess {
public:
    static QString programPath();
    static bool available();

    explicit HostProcess(QStringList arguments = {QStringLiteral("--stdio")});
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    // An environment variable for the host, before start().
    void setEnvironment(const QString& name, const QString& value);
    bool start();
    QString homePath() const { return m_home.path(); }
    qint64 processId() const { return m_process.processId(); }

    void sendLine(const QByteArray& line);
    // The next line on stdout without its line break, or nothing within the
    // timeout (a batch's answer is an array, not an object).
    std::optional<QByteArray> readLine(int timeoutMs = kHostTimeoutMs);
    // The next JSON line on stdout, or nothing within the timeout.
    std::optional<QJsonObject> readMessage(int timeoutMs = kHostTimeoutMs);
    // A --ws-port host without --stdio: its first stdout line, the
    // WebSocket's port and token. False when it did not come.
    bool readWebSocketAddress(quint16& port, QString& token, int timeoutMs = kHostTimeoutMs);
    // Sends a request with a fresh id and returns its response; notifications
    // read meanwhile are kept in notifications().
    QJsonObject call(const QString& method, const QJsonValue& params = QJsonValue::Undefined, int timeoutMs = kHostTimeoutMs);
    // Reads until a response with this id arrives.
    QJsonObject waitForResponse(const QJsonValue& id, int timeoutMs = kHostTimeoutMs);
    // The params of the first notification of an event (kept or arriving
    // within the timeout) that the predicate accepts; it is taken out of
    // notifications(). Nothing when none came.
    std::optional<QJsonObject> takeNotification(const QString& event,
                                                const std::function<bool(const QJsonObject&)>& accept = {},
                                                int timeoutMs = kHostTimeoutMs);

    QList<QJsonObject>& notifications() { return m_notifications; }

    // What the user sees of the control ($grab into the host's home
    // folder), as RGB32; a null image when the grab failed.
    QImage grab();
    // The picture, taken again (for up to the timeout) until it passes a
    // check: a repaint may still be on its way when a call's answer arrives.
    // The last picture taken either way.
    QImage grabWhen(const std::function<bool(const QImage&)>& ready, int timeoutMs = 3000);

    // Closes stdin and waits for the host to end; its exit code, or -1.
    int closeInputAndWait(int timeoutMs = kHostTimeoutMs);
    // Sends SIGTERM and waits for the host to end by itself; its exit code,
    // or -1 when it did not end in time or died of a signal.
    int terminateAndWait(int timeoutMs = kHostTimeoutMs);

private:
    QProcess m_process;
    QTemporaryDir m_home;
    QStringList m_arguments;
    QList<QJsonObject> m_notifications;
    int m_nextId = 1;
};

// The result of a successful response (fails the test on an error response).
QJsonValue resultOf(const QJsonObject& response);
// The error code of an error response, or 0.
int errorCodeOf(const QJsonObject& response);
