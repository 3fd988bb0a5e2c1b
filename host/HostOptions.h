// SPDX-License-Identifier: GPL-3.0-or-later
// The host's command line.
#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

namespace host {

struct HostOptions {
    bool stdio = false;                  // --stdio
    std::optional<quint16> wsPort;       // --ws-port N (0: any free port)
    QStringList allowedOrigins;          // --allow-origin URL (repeatable)
    quint16 recorderHttpPort = 8080;     // --recorder-http-port P: the default origin's port
    QString token;                       // --token T; empty: a random one per launch
    QSize controlSize{960, 540};         // --size WxH
    bool headless = false;               // --headless
    int maxPages = 4;                    // --max-pages N: page controls at once
    int resumeGraceMs = 10000;           // --resume-grace-ms N: a gone page's control waits this long
    int pageChannelFd = -1;              // --page-child FD: serve one page handed over on FD
    double devicePixelRatio = 1.0;       // --dpr R: device pixels per control pixel (1..3), headless
    bool help = false;                   // --help

    // The allowed origins, or the recorder's page when none were given.
    QStringList effectiveOrigins() const;
};

// A device pixel ratio as the host takes it: 1..3 in quarter steps; 1 for
// anything that is not a number.
double boundedPixelRatio(double ratio);

// Reads the arguments (the program name first). False with a message in
// `error` for anything malformed or for a command line that serves nothing.
bool parseHostOptions(const QStringList& arguments, HostOptions& options, QString& error);

QString hostUsage();

}  // namespace host
