// SPDX-License-Identifier: GPL-3.0-or-later
#include "CameraServer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <csignal>

#include <sys/prctl.h>

namespace {

// Debian's Python, which has GStreamer's bindings (a python3 earlier on PATH may not).
const QString kPython = QStringLiteral("/usr/bin/python3");

QString ffmpegPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
}

}  // namespace

bool makeTestVideo(const TestVideo& video, const QString& path, QString& error)
{
    const bool h265 = video.codec == QLatin1String("h265");
    QStringList arguments{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                          QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                          QStringLiteral("testsrc2=size=%1x%2:rate=%3").arg(video.width).arg(video.height).arg(video.rate),
                          QStringLiteral("-t"), QString::number(video.seconds), QStringLiteral("-pix_fmt"),
                          QStringLiteral("yuv420p"), QStringLiteral("-c:v"),
                          h265 ? QStringLiteral("libx265") : QStringLiteral("libx264"), QStringLiteral("-preset"),
                          QStringLiteral("ultrafast"), QStringLiteral("-g"), QString::number(video.keyInterval),
                          QStringLiteral("-bf"), QString::number(video.bFrames)};
    if (h265)
        arguments << QStringLiteral("-x265-params") << QStringLiteral("log-level=error");
    arguments << path;
    QProcess ffmpeg;
    ffmpeg.start(ffmpegPath(), arguments);
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) {
        error = QString::fromUtf8(ffmpeg.readAllStandardError()) + ffmpeg.errorString();
        return false;
    }
    return true;
}

QByteArray annexBOf(const QString& path, const QString& codec)
{
    const bool h265 = codec == QLatin1String("h265");
    QProcess ffmpeg;
    ffmpeg.start(ffmpegPath(),
                 {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                  QStringLiteral("-i"), path, QStringLiteral("-map"), QStringLiteral("0:v:0"), QStringLiteral("-c"),
                  QStringLiteral("copy"), QStringLiteral("-bsf:v"),
                  h265 ? QStringLiteral("hevc_mp4toannexb") : QStringLiteral("h264_mp4toannexb"),
                  QStringLiteral("-f"), h265 ? QStringLiteral("hevc") : QStringLiteral("h264"), QStringLiteral("-")});
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
        return {};
    return ffmpeg.readAllStandardOutput();
}

QString CameraServer::scriptPath()
{
    return QStringLiteral(VELK_RTSP_SERVER_SCRIPT);
}

bool CameraServer::available(QString* reason)
{
    const auto fail = [&](const QString& why) {
        if (reason)
            *reason = why;
        return false;
    };
    if (ffmpegPath().isEmpty())
        return fail(QStringLiteral("no ffmpeg on PATH (scripts/setup.sh installs it)"));
    QProcess probe;
    probe.start(kPython, {QStringLiteral("-c"),
                          QStringLiteral("import gi; gi.require_version('GstRtspServer', '1.0'); "
                                         "from gi.repository import GstRtspServer")});
    if (!probe.waitForFinished(20000) || probe.exitCode() != 0)
        return fail(QStringLiteral("no GStreamer RTSP server for %1 (scripts/setup.sh installs it): %2")
                        .arg(kPython, QString::fromUtf8(probe.readAllStandardError()).trimmed()));
    return true;
}

CameraServer::~CameraServer()
{
    stop();
}

bool CameraServer::start(const std::vector<std::pair<QString, QString>>& mounts, const QString& user,
                         std::uint16_t port)
{
    m_mounts = mounts;
    m_user = user;
    QStringList arguments{scriptPath(), QStringLiteral("--port"), QString::number(port)};
    if (!user.isEmpty())
        arguments << QStringLiteral("--user") << user;
    for (const auto& [mount, file] : mounts)
        arguments << QStringLiteral("--mount") << mount + QLatin1Char('=') + file;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The server ends with the test, even when the test dies.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(kPython, arguments);
    if (!m_process.waitForStarted(5000))
        return false;
    static const QRegularExpression kListening(QStringLiteral("listening on (\\d+)"));
    QByteArray output;
    // Reading the files into memory takes a moment for big pictures.
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
        m_process.waitForReadyRead(500);
        output += m_process.readAllStandardOutput();
        const QRegularExpressionMatch match = kListening.match(QString::fromUtf8(output));
        if (match.hasMatch()) {
            m_port = static_cast<std::uint16_t>(match.captured(1).toUInt());
            return m_port != 0;
        }
    }
    return false;
}

void CameraServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

bool CameraServer::restart()
{
    stop();
    // The port was just freed; the system may hold it a moment.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (start(m_mounts, m_user, m_port))
            return true;
        stop();
        QThread::msleep(250);
    }
    return false;
}

QString CameraServer::url(const QString& path, const QString& user) const
{
    return QStringLiteral("rtsp://") + (user.isEmpty() ? QString() : user + QLatin1Char('@')) +
           QStringLiteral("127.0.0.1:") + QString::number(m_port) + path;
}
