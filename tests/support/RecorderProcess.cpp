// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecorderProcess.h"

#include "device/DecodeHexDes.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

#include <csignal>

#include <sys/prctl.h>

QString RecorderProcess::programPath()
{
    return QStringLiteral(VELK_RECORDER_PATH);
}

bool RecorderProcess::available()
{
    return QFileInfo(programPath()).isExecutable();
}

bool RecorderProcess::start(const QString& user, const QString& password, const QStringList& arguments,
                            std::uint16_t devicePort, std::uint16_t httpPort)
{
    m_user = user;
    m_password = password;
    m_arguments = arguments;
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    // The recorder ends with the test, even when the test dies.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    QStringList all{QStringLiteral("--port"),   QString::number(devicePort), QStringLiteral("--http-port"),
                    QString::number(httpPort),  QStringLiteral("--user"),    user + QLatin1Char(':') + password,
                    QStringLiteral("--data"),   m_data.path()};
    all += arguments;
    m_process.start(programPath(), all);
    if (!m_process.waitForStarted(5000))
        return false;
    static const QRegularExpression kPorts(QStringLiteral("device port (\\d+) http port (\\d+)"));
    QByteArray output;
    while (m_process.waitForReadyRead(5000)) {
        output += m_process.readAllStandardOutput();
        const QRegularExpressionMatch match = kPorts.match(QString::fromUtf8(output));
        if (match.hasMatch()) {
            m_devicePort = static_cast<std::uint16_t>(match.captured(1).toUInt());
            m_httpPort = static_cast<std::uint16_t>(match.captured(2).toUInt());
            return m_devicePort != 0;
        }
    }
    return false;
}

void RecorderProcess::killHard()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

bool RecorderProcess::suspend()
{
    return isRunning() && ::kill(static_cast<pid_t>(m_process.processId()), SIGSTOP) == 0;
}

bool RecorderProcess::resume()
{
    return isRunning() && ::kill(static_cast<pid_t>(m_process.processId()), SIGCONT) == 0;
}

void RecorderProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    resume();  // a suspended recorder must run to end
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool RecorderProcess::restart()
{
    stop();
    // The ports were just freed; the system may hold them a moment.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (start(m_user, m_password, m_arguments, m_devicePort, m_httpPort))
            return true;
        stop();
        QEventLoop pause;
        QTimer::singleShot(250, &pause, &QEventLoop::quit);
        pause.exec();
    }
    return false;
}

RecorderProcess::~RecorderProcess()
{
    stop();
}

QJsonObject RecorderProcess::sim(const QString& action, const QString& query)
{
    QNetworkAccessManager network;
    QString url = QStringLiteral("http://127.0.0.1:%1/sim/%2").arg(m_httpPort).arg(action);
    if (!query.isEmpty())
        url += QLatin1Char('?') + query;
    QNetworkRequest request{QUrl(url)};
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("text/plain"));
    QNetworkReply* reply = network.post(request, QByteArray());
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    QJsonObject answer;
    if (reply->isFinished() && reply->error() == QNetworkReply::NoError)
        answer = QJsonDocument::fromJson(reply->readAll()).object();
    reply->deleteLater();
    return answer;
}

bool RecorderProcess::notify(std::uint32_t kind)
{
    return !sim(QStringLiteral("notify"), QStringLiteral("kind=%1").arg(kind)).isEmpty();
}

HttpAnswer RecorderProcess::http(const QByteArray& method, const QByteArray& target, const QByteArray& body,
                                 const QList<QPair<QByteArray, QByteArray>>& headers)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), m_httpPort);
    if (!socket.waitForConnected(3000))
        return {};
    QByteArray request = method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(m_httpPort) +
                         "\r\nConnection: close\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n";
    for (const auto& [name, value] : headers)
        request += name + ": " + value + "\r\n";
    request += "\r\n" + body;
    socket.write(request);
    QByteArray answer;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(3000))
        answer += socket.readAll();
    answer += socket.readAll();
    HttpAnswer result;
    const qsizetype headerEnd = answer.indexOf("\r\n\r\n");
    if (!answer.startsWith("HTTP/1.1 ") || headerEnd < 0)
        return result;
    result.status = answer.mid(9, 3).toInt();
    result.body = answer.mid(headerEnd + 4);
    return result;
}

QString passwordText(const QByteArray& password)
{
    // The shared key is the first eight bytes of "glaringly_oak".
    static const unsigned char kKey[8] = {'g', 'l', 'a', 'r', 'i', 'n', 'g', 'l'};
    QByteArray padded = password;
    padded.append((8 - padded.size() % 8) % 8, '\0');
    QByteArray cipher(padded.size(), '\0');
    for (qsizetype i = 0; i < padded.size(); i += 8)
        desEncryptBlock(kKey, reinterpret_cast<const unsigned char*>(padded.constData() + i),
                        reinterpret_cast<unsigned char*>(cipher.data() + i));
    return QString::fromLatin1(cipher.toHex().toUpper());
}
