// SPDX-License-Identifier: GPL-3.0-or-later
// Cameras on loopback for tests: video files made with FFmpeg's command line
// and an RTSP server (tests/support/rtsp_server.py, GStreamer's RTSP server)
// that plays them in a loop. Tests skip when FFmpeg or GStreamer's Python
// bindings are missing (CameraServer::available()).
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <utility>
#include <vector>

struct TestVideo {
    QString codec = QStringLiteral("h264");  // "h264" or "h265"
    int width = 640;
    int height = 360;
    QString rate = QStringLiteral("25");     // FFmpeg's form: "25", "30000/1001", "12.5"
    double seconds = 4;
    int bFrames = 0;
    int keyInterval = 25;                    // pictures from one key frame to the next
};

// Makes the video as a Matroska file at path (FFmpeg's moving test picture
// with a running counter); false, with the reason in error, when FFmpeg fails.
bool makeTestVideo(const TestVideo& video, const QString& path, QString& error);
// The file's video as one Annex B byte stream with parameter sets before
// every key frame, as a camera sends it: what a recording of it must hold.
QByteArray annexBOf(const QString& path, const QString& codec);

class CameraServer {
public:
    static QString scriptPath();
    // FFmpeg's command line and the server's Python modules are there; why
    // not in reason.
    static bool available(QString* reason = nullptr);

    CameraServer() = default;
    CameraServer(const CameraServer&) = delete;
    CameraServer& operator=(const CameraServer&) = delete;
    ~CameraServer();

    // Serves each (mount path, file); port 0 takes a free one. user may be
    // "name:password" (clients must give it). False when it did not listen.
    bool start(const std::vector<std::pair<QString, QString>>& mounts, const QString& user = {},
               std::uint16_t port = 0);
    // The camera is switched off: the server ends at once (SIGKILL).
    void stop();
    // Switched on again, on the port it had.
    bool restart();
    std::uint16_t port() const { return m_port; }
    // rtsp://[user@]127.0.0.1:port/path
    QString url(const QString& path, const QString& user = {}) const;

private:
    QProcess m_process;
    std::vector<std::pair<QString, QString>> m_mounts;
    QString m_user;
    std::uint16_t m_port = 0;
};
