// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/PageChildApplication.h"

#include "control/CVELK_DVRApp.h"
#include "host/JsonRpcDispatcher.h"
#include "host/PageChannel.h"
#include "host/RpcResponder.h"
#include "host/TerminationSignals.h"
#include "host/WebSocketConnection.h"
#include "host/WebSocketFrames.h"
#include "host/WebSocketTransport.h"

#include <QApplication>
#include <QFile>
#include <QJsonObject>
#include <QSocketNotifier>

#include <unistd.h>

namespace host {

namespace {

// A snapshot larger than this is named but not sent.
constexpr qint64 kMaxSnapshotBytes = 8 * 1024 * 1024;

}  // namespace

PageChildApplication::PageChildApplication(int channelFd, QSize controlSize, int resumeGraceMs)
    : m_channel(channelFd), m_controlSize(controlSize), m_resumeGraceMs(resumeGraceMs)
{
    m_grace.setSingleShot(true);
    QObject::connect(&m_grace, &QTimer::timeout, [this] {
        qInfo("velk-dvr-host: no page came back within %d ms; the control ends", m_resumeGraceMs);
        pagechannel::send(m_channel, pagechannel::Kind::Ending);
        end();
    });
}

PageChildApplication::~PageChildApplication()
{
    delete m_notifier;
    ::close(m_channel);
}

int PageChildApplication::run()
{
    CVELK_DVRApp::initInstance();
    if (!m_control.create(
            m_controlSize, [this](const QByteArray& text) { sendEvent(text); },
            [this](const QString& path, int channel) { sendSnapshot(path, channel); })) {
        CVELK_DVRApp::exitInstance();
        return 1;
    }
    m_notifier = new QSocketNotifier(m_channel, QSocketNotifier::Read);
    QObject::connect(m_notifier, &QSocketNotifier::activated, [this] { onChannelReadable(); });
    // The host's process group may be signalled as a whole (Ctrl+C): the
    // control ends as when the host asks.
    TerminationSignals termination([this] { end(); });
    const int code = m_ending ? 0 : QApplication::exec();

    if (m_page)
        m_page->close(ws::kGoingAway, QStringLiteral("host ends"));
    m_control.destroy();
    CVELK_DVRApp::exitInstance();
    return code;
}

void PageChildApplication::onChannelReadable()
{
    pagechannel::Message message;
    for (;;) {
        switch (pagechannel::receive(m_channel, message)) {
        case pagechannel::ReceiveResult::Nothing:
            return;
        case pagechannel::ReceiveResult::End:
            // The host is gone: nobody will hand this control a page again.
            m_notifier->setEnabled(false);
            end();
            return;
        case pagechannel::ReceiveResult::Message:
            break;
        }
        if (message.kind == pagechannel::Kind::Shutdown) {
            end();
            return;
        }
        if (message.kind != pagechannel::Kind::Adopt)
            continue;
        const std::optional<pagechannel::AdoptRequest> request = pagechannel::decodeAdopt(message.payload);
        if (!request || m_ending) {
            ::close(message.fd);
            continue;
        }
        adopt(message.fd, *request);
    }
}

void PageChildApplication::adopt(int fd, const pagechannel::AdoptRequest& request)
{
    WebSocketConnection* connection =
        WebSocketConnection::adopt(fd, request.pending, WebSocketTransport::kMaxMessageBytes, qApp);
    if (connection == nullptr) {
        if (!m_page && !m_grace.isActive())
            m_grace.start(m_resumeGraceMs);
        return;
    }
    if (m_page) {
        // The host gives a control to one page at a time; a page still here
        // loses it rather than share it.
        WebSocketConnection* old = m_page;
        old->onClosed = nullptr;
        old->close(ws::kPolicyViolation, QStringLiteral("another page took this control"));
    }
    m_grace.stop();
    m_page = connection;
    connection->onTextMessage = [this, connection](const QByteArray& text) { onMessage(connection, text); };
    connection->onClosed = [this, connection] { onPageClosed(connection); };
    connection->sendTextMessage(rpc::notificationText(
        QStringLiteral("$session"),
        QJsonObject{{"resume", QString::fromLatin1(request.resumeId)}, {"resumed", request.resumed}}));
    std::deque<QByteArray> held;
    held.swap(m_heldEvents);
    for (const QByteArray& text : held)
        connection->sendTextMessage(text);
    qInfo("velk-dvr-host: page %s", request.resumed ? "resumed its control" : "connected");
}

void PageChildApplication::onPageClosed(WebSocketConnection* connection)
{
    if (m_page != connection && !m_page.isNull())
        return;
    m_page = nullptr;
    if (m_ending)
        return;
    qInfo("velk-dvr-host: page gone; its control waits %d ms for it", m_resumeGraceMs);
    pagechannel::send(m_channel, pagechannel::Kind::Detached);
    m_grace.start(m_resumeGraceMs);
}

void PageChildApplication::onMessage(WebSocketConnection* connection, const QByteArray& text)
{
    if (m_ending || !m_control.isCreated())
        return;
    const CallerContext caller{/*mayWriteFiles=*/false, /*connection=*/connection};
    QPointer<WebSocketConnection> target(connection);
    m_control.dispatcher().handleMessage(text, caller, [target](const QByteArray& response) {
        // The page may have gone while its call ran.
        if (!target.isNull())
            target->sendTextMessage(response);
    });
}

void PageChildApplication::sendEvent(const QByteArray& text)
{
    if (m_page && m_page->isOpen()) {
        m_page->sendTextMessage(text);
        return;
    }
    if (m_ending)
        return;
    m_heldEvents.push_back(text);
    if (m_heldEvents.size() > kMaxHeldEvents)
        m_heldEvents.pop_front();
}

void PageChildApplication::sendSnapshot(const QString& jpegPath, int channel)
{
    QJsonObject params{{"path", jpegPath}, {"channel", channel}};
    QFile file(jpegPath);
    if (file.size() <= kMaxSnapshotBytes && file.open(QIODevice::ReadOnly))
        params.insert(QLatin1String("jpeg"), QString::fromLatin1(file.readAll().toBase64()));
    sendEvent(rpc::notificationText(QStringLiteral("$snapshot"), params));
}

void PageChildApplication::end()
{
    if (m_ending)
        return;
    m_ending = true;
    m_grace.stop();
    QCoreApplication::quit();
}

}  // namespace host
