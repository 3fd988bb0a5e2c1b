// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/HostApplication.h"

#include "control/CVELK_DVRApp.h"
#include "control/CVELK_DVRCtrl.h"
#include "host/ArgumentCoercion.h"
#include "host/FrameStreamer.h"
#include "host/HostMethods.h"
#include "host/InputInjector.h"
#include "host/JsonRpcDispatcher.h"
#include "host/PageMethods.h"
#include "host/RpcResponder.h"
#include "host/ScreenGrabber.h"
#include "host/StdioTransport.h"
#include "host/TerminationSignals.h"
#include "host/WebSocketPolicy.h"
#include "host/WebSocketTransport.h"
#include "host/WindowStack.h"

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
    CVELK_DVRApp::initInstance();
    m_control = new CVELK_DVRCtrl;
    if (!m_control->createWindow(nullptr, QRect(QPoint(0, 0), m_options.controlSize), 0, true)) {
        std::fprintf(stderr, "velk-dvr-host: the control's window could not be created\n");
        shutDown();
        return 1;
    }
    m_control->setWindowTitle(QStringLiteral("VELK DVR"));
    m_control->setEventSink(
        [this](const EventInfo& event, const std::vector<Variant>& args) { broadcastEvent(event, args); });
    // A saved snapshot goes to every client beside the events, so that the
    // page can offer the file.
    m_control->setSnapshotSink([this](const QString& jpegPath, int channel) {
        const QByteArray text = rpc::notificationText(QStringLiteral("$snapshot"),
                                                      QJsonObject{{"path", jpegPath}, {"channel", channel}});
        if (m_stdio)
            m_stdio->sendNotification(text);
        if (m_webSocket)
            m_webSocket->broadcast(text);
    });

    m_windowStack = std::make_unique<WindowStack>();
    m_grabber = std::make_unique<ScreenGrabber>(*m_control, *m_windowStack);
    m_injector = std::make_unique<InputInjector>(*m_control, *m_windowStack);
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        m_injector->keepAWindowActive();
    m_dispatcher = std::make_unique<JsonRpcDispatcher>(*m_control);
    registerHostMethods(*m_dispatcher, *m_grabber, *m_injector);
    m_streamer = std::make_unique<FrameStreamer>(*m_grabber);
    registerPageMethods(*m_dispatcher, *m_streamer, *m_control);

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
        m_webSocket = std::make_unique<WebSocketTransport>(*m_dispatcher,
                                                           WebSocketPolicy(m_options.effectiveOrigins(), token));
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
        m_stdio = std::make_unique<StdioTransport>(*m_dispatcher, STDIN_FILENO, m_jsonOutputFd);
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

void HostApplication::broadcastEvent(const EventInfo& event, const std::vector<Variant>& args)
{
    QJsonObject params;
    for (std::size_t i = 0; i < event.params.size() && i < args.size(); ++i)
        params.insert(QLatin1String(event.params[i].name), variantToJson(args[i], event.params[i].type));
    const QByteArray text = rpc::notificationText(QLatin1String(event.name), params);
    if (m_stdio)
        m_stdio->sendNotification(text);
    if (m_webSocket)
        m_webSocket->broadcast(text);
}

void HostApplication::shutDown()
{
    // Stop taking requests and drop pending input; then end the control
    // while the transports can still carry the events its end fires; then
    // end the module.
    if (m_stdio)
        m_stdio->stop();
    if (m_webSocket)
        m_webSocket->stopServing();
    m_dispatcher.reset();
    m_streamer.reset();
    m_injector.reset();
    m_grabber.reset();
    if (m_control != nullptr) {
        m_control->destroyWindow();
        m_control->setEventSink(EventSink());
        m_control->setSnapshotSink({});
        delete m_control;
        m_control = nullptr;
        CVELK_DVRApp::exitInstance();
    }
    m_webSocket.reset();
    m_stdio.reset();
    m_signals.reset();
    m_windowStack.reset();
}

}  // namespace host
