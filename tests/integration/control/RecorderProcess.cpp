// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecorderProcess.h"

#include "device/DecodeHexDes.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
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

bool RecorderProcess::start(const QString& user, const QString& password)
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    // The recorder ends with the test, even when the test dies.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(programPath(), {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--http-port"),
                                    QStringLiteral("0"), QStringLiteral("--user"), user + QLatin1Char(':') + password,
                                    QStringLiteral("--data"), m_data.path()});
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

RecorderProcess::~RecorderProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool RecorderProcess::notify(std::uint32_t kind)
{
    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1/sim/notify?kind=%2").arg(m_httpPort).arg(kind)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("text/plain"));
    QNetworkReply* reply = network.post(request, QByteArray());
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    const bool ok = reply->isFinished() && reply->error() == QNetworkReply::NoError;
    reply->deleteLater();
    return ok;
}

QString passwordText(const QByteArray& password)
{
    static const unsigned char kKey[8] = {'g', 'l', 'a', 'r', 'i', 'n', 'g', 'l'};
    QByteArray padded = password;
    padded.append((8 - padded.size() % 8) % 8, '\0');
    QByteArray cipher(padded.size(), '\0');
    for (qsizetype i = 0; i < padded.size(); i += 8)
        desEncryptBlock(kKey, reinterpret_cast<const unsigned char*>(padded.constData() + i),
                        reinterpret_cast<unsigned char*>(cipher.data() + i));
    return QString::fromLatin1(cipher.toHex().toUpper());
}
