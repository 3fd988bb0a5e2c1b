// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/BenchRecorder.h"

#include "bench/CpuClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QThread>
#include <QRegularExpression>

#include <cstdio>

#include <csignal>
#include <sys/prctl.h>

namespace bench {

namespace {

QString recorderPath()
{
    const QByteArray given = qgetenv("VELK_RECORDER");
    if (!given.isEmpty())
        return QString::fromLocal8Bit(given);
    return QCoreApplication::applicationDirPath() + QStringLiteral("/velk-recorder");
}

}  // namespace

BenchRecorder::~BenchRecorder()
{
    stop();
}

bool BenchRecorder::start(const QStringList& arguments)
{
    const QString program = recorderPath();
    if (!QFileInfo(program).isExecutable()) {
        std::fprintf(stderr, "bench: no recorder at %s (set VELK_RECORDER)\n", qPrintable(program));
        return false;
    }
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The recorder ends with the benchmark, even when the benchmark dies.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    QStringList all{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--http-port"), QStringLiteral("0"),
                    QStringLiteral("--user"), QStringLiteral("%1:%2").arg(kUser, kPassword),
                    QStringLiteral("--data"), m_data.path()};
    all += arguments;
    m_process.start(program, all);
    if (!m_process.waitForStarted(5000)) {
        std::fprintf(stderr, "bench: the recorder did not start\n");
        return false;
    }
    static const QRegularExpression kPorts(QStringLiteral("device port (\\d+) http port (\\d+)"));
    QByteArray output;
    while (m_process.waitForReadyRead(10000)) {
        output += m_process.readAllStandardOutput();
        const QRegularExpressionMatch match = kPorts.match(QString::fromUtf8(output));
        if (match.hasMatch()) {
            m_devicePort = static_cast<std::uint16_t>(match.captured(1).toUInt());
            m_httpPort = static_cast<std::uint16_t>(match.captured(2).toUInt());
            return m_devicePort != 0;
        }
    }
    std::fprintf(stderr, "bench: the recorder reported no ports\n");
    return false;
}

void BenchRecorder::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

std::uint64_t BenchRecorder::cpuUs() const
{
    const qint64 id = pid();
    return id > 0 ? otherProcessCpuUs(static_cast<pid_t>(id)) : 0;
}

QJsonObject BenchRecorder::status() const
{
    return request("GET", "/sim/status");
}

QJsonObject BenchRecorder::request(const QByteArray& method, const QByteArray& path, const QByteArray& body) const
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), m_httpPort);
    if (!socket.waitForConnected(3000))
        return {};
    socket.write(method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Length: " +
                 QByteArray::number(body.size()) + "\r\n\r\n" + body);
    QByteArray answer;
    while (socket.waitForReadyRead(3000))
        answer += socket.readAll();
    answer += socket.readAll();
    const qsizetype headEnd = answer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return {};
    return QJsonDocument::fromJson(answer.mid(headEnd + 4)).object();
}

bool BenchRecorder::waitForLoops(int loopCount, int timeoutMs) const
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        const QJsonArray loops = status().value(QStringLiteral("loops")).toArray();
        bool complete = loops.size() >= loopCount;
        for (const QJsonValue& loop : loops) {
            const QJsonObject o = loop.toObject();
            if (o.value(QStringLiteral("ready")).toInteger() < o.value(QStringLiteral("frames")).toInteger())
                complete = false;
        }
        if (complete)
            return true;
        QThread::msleep(100);
    }
    return false;
}

}  // namespace bench
