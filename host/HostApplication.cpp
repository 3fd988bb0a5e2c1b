// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/HostApplication.h"

#include "control/CVELK_DVRApp.h"
#include "host/ControlHost.h"
#include "host/JsonRpcDispatcher.h"
#include "host/PageBroker.h"
#include "host/RpcResponder.h"
#include "host/StdioTransport.h"
#include "host/TerminationSignals.h"
#include "host/WebSocketPolicy.h"
#include "host/WebSocketTransport.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace host {

HostApplication::HostApplication(HostOptions options, int jsonOutputFd)
    : m_options(std::move(options)), m_jsonOutputFd(jsonOutputFd)
{
}

HostApplication::~HostApplication()
{
    shutDown();
}

int HostApplication::run()
{
    if (m_options.stdio) {
        CVELK_DVRApp::initInstance();
        m_control = std::make_unique<ControlHost>();
        const bool created = m_control->create(
            m_options.controlSize,
            [this](const QByteArray& text) {
                if (m_stdio)
                    m_stdio->sendNotification(text);
            },
            // A saved snapshot is named beside the events, so that a script
            // can take the file.
            [this](const QString& jpegPath, int channel) {
                if (m_stdio)
                    m_stdio->sendNotification(rpc::notificationText(
                        QStringLiteral("$snapshot"), QJsonObject{{"path", jpegPath}, {"channel", channel}}));
            });
        if (!created) {
            shutDown();
            return 1;
        }
    }

    m_signals = std::make_unique<TerminationSignals>([] { QCoreApplication::quit(); });
    if (!startTransports()) {
        shutDown();
        return 1;
    }
    const int code = QApplication::exec();
    shutDown();
    return code;
}

bool HostApplication::startTransports()
{
    if (m_options.wsPort) {
        const QString token = m_options.token.isEmpty() ? WebSocketPolicy::randomToken() : m_options.token;
        PageBroker::Settings settings;
        settings.maxPages = m_options.maxPages;
        settings.resumeGraceMs = m_options.resumeGraceMs;
        settings.controlSize = m_options.controlSize;
        m_pages = std::make_unique<PageBroker>(settings);
        m_webSocket = std::make_unique<WebSocketTransport>(
            WebSocketPolicy(m_options.effectiveOrigins(), token),
            [this](WebSocketConnection* connection, const WebSocketRequest& request) {
                m_pages->accept(connection, request);
            });
        QString error;
        if (!m_webSocket->listen(*m_options.wsPort, error)) {
            std::fprintf(stderr, "velk-dvr-host: cannot listen on 127.0.0.1:%u: %s\n",
                         static_cast<unsigned>(*m_options.wsPort), qPrintable(error));
            return false;
        }
        const QString url = m_webSocket->url();
        std::fprintf(stderr, "velk-dvr-host: %s\n", qPrintable(url));
        if (!m_options.stdio)
            writeUrlLine(url, m_webSocket->port(), token);
    }
    if (m_options.stdio) {
        m_stdio = std::make_unique<StdioTransport>(m_control->dispatcher(), STDIN_FILENO, m_jsonOutputFd);
        if (!m_stdio->start([] { QCoreApplication::quit(); })) {
            std::fprintf(stderr, "velk-dvr-host: cannot start reading stdin\n");
            return false;
        }
    }
    return true;
}

void HostApplication::writeUrlLine(const QString& url, quint16 port, const QString& token)
{
    QByteArray line = QJsonDocument(QJsonObject{{"ws", url}, {"port", port}, {"token", token}})
                          .toJson(QJsonDocument::Compact);
    line.append('\n');
    qsizetype done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(m_jsonOutputFd, line.constData() + done, static_cast<size_t>(line.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += n;
    }
}

void HostApplication::shutDown()
{
    // Stop taking requests and pages; end the pages' controls and the
    // stdio control while stdout can still carry the events its end fires;
    // then end the module.
    if (m_stdio)
        m_stdio->stop();
    if (m_webSocket)
        m_webSocket->stopServing();
    if (m_pages)
        m_pages->shutDown(kPageShutdownMs);
    if (m_control) {
        m_control->destroy();
        m_control.reset();
        CVELK_DVRApp::exitInstance();
    }
    m_webSocket.reset();
    m_pages.reset();
    m_stdio.reset();
    m_signals.reset();
}

}  // namespace host
