// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostProcess.h"

#include <QThread>

#include <QJsonArray>

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

QString HostProcess::programPath()
{
    return QStringLiteral(VELK_DVR_HOST_PATH);
}

bool HostProcess::available()
{
    return QFileInfo(programPath()).isExecutable();
}

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
}

HostProcess::~HostProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.closeWriteChannel();
        if (!m_arguments.contains(QStringLiteral("--stdio")))
            m_process.terminate();  // it does not read stdin
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
}

void HostProcess::setEnvironment(const QString& name, const QString& value)
{
    QProcessEnvironment environment = m_process.processEnvironment();
    environment.insert(name, value);
    m_process.setProcessEnvironment(environment);
}

bool HostProcess::start()
{
    m_process.start(programPath(), m_arguments);
    return m_process.waitForStarted(5000);
}

bool HostProcess::readWebSocketAddress(quint16& port, QString& token, int timeoutMs)
{
    const std::optional<QJsonObject> first = readMessage(timeoutMs);
    if (!first)
        return false;
    port = static_cast<quint16>(first->value(QLatin1String("port")).toInt());
    token = first->value(QLatin1String("token")).toString();
    return port != 0 && !token.isEmpty();
}

void HostProcess::sendLine(const QByteArray& line)
{
    m_process.write(line + '\n');
    m_process.waitForBytesWritten(1000);
}

std::optional<QByteArray> HostProcess::readLine(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return std::nullopt;
        m_process.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
    return m_process.readLine().trimmed();
}

std::optional<QJsonObject> HostProcess::readMessage(int timeoutMs)
{
    const std::optional<QByteArray> line = readLine(timeoutMs);
    if (!line)
        return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(*line, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << "not JSON on stdout: " << line->constData();
    return document.object();
}

QJsonObject HostProcess::waitForResponse(const QJsonValue& id, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const std::optional<QJsonObject> message = readMessage(static_cast<int>(deadline.remainingTime()));
        if (!message)
            break;
        if (!message->contains(QLatin1String("id"))) {
            m_notifications.append(*message);
            continue;
        }
        if (message->value(QLatin1String("id")) == id)
            return *message;
        ADD_FAILURE() << "response to another request: "
                      << QJsonDocument(*message).toJson(QJsonDocument::Compact).constData();
    }
    ADD_FAILURE() << "no response to request " << QJsonDocument(QJsonObject{{"id", id}}).toJson().constData();
    return {};
}

QJsonObject HostProcess::call(const QString& method, const QJsonValue& params, int timeoutMs)
{
    const int id = m_nextId++;
    QJsonObject request{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}};
    if (!params.isUndefined())
        request.insert(QStringLiteral("params"), params);
    sendLine(QJsonDocument(request).toJson(QJsonDocument::Compact));
    return waitForResponse(id, timeoutMs);
}

std::optional<QJsonObject> HostProcess::takeNotification(const QString& event,
                                                         const std::function<bool(const QJsonObject&)>& accept,
                                                         int timeoutMs)
{
    const auto matches = [&](const QJsonObject& message) {
        if (message.value(QLatin1String("method")).toString() != event)
            return false;
        return !accept || accept(message.value(QLatin1String("params")).toObject());
    };
    for (qsizetype i = 0; i < m_notifications.size(); ++i) {
        if (matches(m_notifications[i]))
            return m_notifications.takeAt(i).value(QLatin1String("params")).toObject();
    }
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const std::optional<QJsonObject> message = readMessage(static_cast<int>(deadline.remainingTime()));
        if (!message)
            break;
        if (message->contains(QLatin1String("id"))) {
            ADD_FAILURE() << "unexpected response: " << QJsonDocument(*message).toJson(QJsonDocument::Compact).constData();
            continue;
        }
        if (matches(*message))
            return message->value(QLatin1String("params")).toObject();
        m_notifications.append(*message);
    }
    return std::nullopt;
}

int HostProcess::closeInputAndWait(int timeoutMs)
{
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(timeoutMs))
        return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

int HostProcess::terminateAndWait(int timeoutMs)
{
    m_process.terminate();
    if (!m_process.waitForFinished(timeoutMs))
        return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QJsonValue resultOf(const QJsonObject& response)
{
    EXPECT_FALSE(response.contains(QLatin1String("error")))
        << QJsonDocument(response).toJson(QJsonDocument::Compact).constData();
    EXPECT_TRUE(response.contains(QLatin1String("result")));
    return response.value(QLatin1String("result"));
}

int errorCodeOf(const QJsonObject& response)
{
    return response.value(QLatin1String("error")).toObject().value(QLatin1String("code")).toInt();
}

QImage HostProcess::grab()
{
    const QString path = m_home.filePath(QStringLiteral("grab.png"));
    const QJsonObject response = call(QStringLiteral("$grab"), QJsonArray{path});
    if (!response.contains(QLatin1String("result")))
        return {};
    QImage picture;
    if (!picture.load(path))
        return {};
    return picture.convertToFormat(QImage::Format_RGB32);
}

QImage HostProcess::grabWhen(const std::function<bool(const QImage&)>& ready, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QImage picture = grab();
    while (!ready(picture) && !deadline.hasExpired()) {
        QThread::msleep(20);
        picture = grab();
    }
    return picture;
}
