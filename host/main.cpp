// SPDX-License-Identifier: GPL-3.0-or-later
// velk-dvr-host: holds the VELK DVR module and its controls, and serves
// their automation methods and events as JSON-RPC 2.0 over stdio (one
// control) and/or a WebSocket (a control for each page, each in a process
// of its own started with --page-child). See host/README.md.
#include "host/HeadlessPlatform.h"
#include "host/HostApplication.h"
#include "host/HostOptions.h"
#include "host/PageChildApplication.h"
#include "host/TerminationSignals.h"

#include <QApplication>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// stdout carries JSON only. Keep a private copy of it for the host's own
// lines and point the process's stdout at stderr, so that no stray print in
// any library can corrupt the stream.
int takeStdoutForJson()
{
    std::fflush(stdout);
    const int jsonFd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (jsonFd < 0)
        return STDOUT_FILENO;
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    return jsonFd;
}

void logToStderr(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    const QString line = qFormatLogMessage(QtDebugMsg, context, message);
    std::fprintf(stderr, "%s\n", qPrintable(line));
}

}  // namespace

int main(int argc, char** argv)
{
    // Before any thread: SIGINT and SIGTERM are read from a descriptor on
    // the UI thread, never handled on whatever thread they hit.
    host::blockTerminationSignals();
    const int jsonFd = takeStdoutForJson();
    std::signal(SIGPIPE, SIG_IGN);  // a reader that went away is noticed by write()
    qInstallMessageHandler(logToStderr);

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    host::HostOptions options;
    QString error;
    if (!host::parseHostOptions(arguments, options, error)) {
        std::fprintf(stderr, "velk-dvr-host: %s\n\n%s", qPrintable(error), qPrintable(host::hostUsage()));
        return 2;
    }
    if (options.help) {
        const QByteArray usage = host::hostUsage().toLocal8Bit();
        [[maybe_unused]] const ssize_t written = ::write(jsonFd, usage.constData(), static_cast<size_t>(usage.size()));
        return 0;
    }

    // A page's process draws for its page only: always headless.
    const bool pageChild = options.pageChannelFd >= 0;
    host::PlatformChoice platform;
    if (!host::choosePlatform(options.headless || pageChild, options.controlSize, platform, error,
                              options.devicePixelRatio)) {
        std::fprintf(stderr, "velk-dvr-host: %s\n", qPrintable(error));
        return 1;
    }
    // The control's folder picker and other dialogs are Qt's own, so that
    // they are drawn in the picture the page shows.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velk-dvr-host"));
    platform.release();  // read by the platform; no longer needed

    if (pageChild) {
        host::PageChildApplication page(options.pageChannelFd, options.controlSize, options.resumeGraceMs);
        return page.run();
    }
    host::HostApplication hostApplication(options, jsonFd);
    return hostApplication.run();
}
