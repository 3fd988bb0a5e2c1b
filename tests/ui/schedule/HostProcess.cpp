// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostProcess.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/prctl.h>

HostProcess::HostProcess(QStringList arguments) : m_arguments(std::move(arguments))
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("HOME"), m_home.path());
    environment.insert(QStringLiteral("USERPROFILE"), m_home.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path());
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The host ends with the test, even when the test dies.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

HostProcess::~HostProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

bool HostProcess::start()
{
    m_process.start(QStringLiteral(VELK_DVR_HOST_PATH), m_arguments);
    return m_process.waitForStarted(5000);
}

void HostProcess::sendLine(const QByteArray& line)
{
    m_process.write(line + '\n');
    m_process.waitForBytesWritten(1000);
}

std::optional<QJsonObject> HostProcess::readMessage(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return std::nullopt;
        m_process.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
    const QByteArray line = m_process.readLine().trimmed();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << "not JSON on stdout: " << line.constData();
    return document.object();
}

QJsonObject HostProcess::call(const QString& method, const QJsonValue& params, int timeoutMs)
{
    const int id = m_nextId++;
    QJsonObject request{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}};
    if (!params.isUndefined())
        request.insert(QStringLiteral("params"), params);
    sendLine(QJsonDocument(request).toJson(QJsonDocument::Compact));
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const std::optional<QJsonObject> message = readMessage(static_cast<int>(deadline.remainingTime()));
        if (!message)
            break;
        if (!message->contains(QLatin1String("id"))) {
            m_notifications.append(*message);
            continue;
        }
        if (message->value(QLatin1String("id")).toInt() == id)
            return *message;
    }
    ADD_FAILURE() << "no response to " << method.toStdString();
    return {};
}

QJsonValue resultOf(const QJsonObject& response)
{
    EXPECT_FALSE(response.contains(QLatin1String("error")))
        << QJsonDocument(response).toJson(QJsonDocument::Compact).constData();
    return response.value(QLatin1String("result"));
}
