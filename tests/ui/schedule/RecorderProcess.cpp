// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecorderProcess.h"

#include "device/DecodeHexDes.h"

#include <QRegularExpression>
#include <QTcpSocket>

#include <csignal>

#include <sys/prctl.h>

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

bool RecorderProcess::start(const QString& user, const QString& password)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(QStringLiteral(VELK_RECORDER_PATH),
                    {"--port", "0", "--http-port", "0", "--data", m_data.path(), "--user", user + ':' + password});
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
            return m_devicePort != 0 && m_httpPort != 0;
        }
    }
    return false;
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
    const int headerEnd = answer.indexOf("\r\n\r\n");
    if (!answer.startsWith("HTTP/1.1 ") || headerEnd < 0)
        return result;
    result.status = answer.mid(9, 3).toInt();
    result.body = answer.mid(headerEnd + 4);
    return result;
}

QString passwordText(const QByteArray& password)
{
    const unsigned char key[8] = {'g', 'l', 'a', 'r', 'i', 'n', 'g', 'l'};
    QByteArray padded = password;
    padded.append(QByteArray((8 - padded.size() % 8) % 8, '\0'));
    QByteArray cipher(padded.size(), '\0');
    for (int i = 0; i < padded.size(); i += 8)
        desEncryptBlock(key, reinterpret_cast<const unsigned char*>(padded.constData() + i),
                        reinterpret_cast<unsigned char*>(cipher.data() + i));
    return QString::fromLatin1(cipher.toHex());
}
