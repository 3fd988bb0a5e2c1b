// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/WebSocketConnection.h"

#include <QPointer>
#include <QTcpSocket>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace host {

namespace {

// Bytes taken from the socket ahead of the messages being handled: a page
// that sends faster than the host handles its messages is held back by TCP.
constexpr qint64 kReadAheadBytes = 64 * 1024;

}  // namespace

WebSocketConnection::WebSocketConnection(QTcpSocket* socket, qint64 maxMessageBytes, Judge judge, QObject* parent)
    : QObject(parent), m_socket(socket), m_judge(std::move(judge)), m_reader(maxMessageBytes)
{
    m_socket->setParent(this);
    m_socket->setReadBufferSize(kReadAheadBytes);
    // Small messages (answers, events, the tail of a frame) go at once:
    // with Nagle's algorithm each waited for the page's delayed ACK of the
    // one before, some 40 ms, which a click then took to show.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(m_socket, &QTcpSocket::readyRead, this, [this] { onReadyRead(); });
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this] { shutDownSendingWhenFlushed(); });
    connect(m_socket, &QTcpSocket::disconnected, this, [this] { onDisconnected(); });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            onDisconnected();
    });
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_state == State::Handshake)
            qWarning("velk-dvr-host: WebSocket handshake not completed in time");
        abort();
    });
    m_timer.start(kHandshakeTimeoutMs);
    // Bytes that came with the connection.
    if (m_socket->bytesAvailable() > 0)
        QTimer::singleShot(0, this, [this] { onReadyRead(); });
}

WebSocketConnection* WebSocketConnection::adopt(int fd, const QByteArray& pending, qint64 maxMessageBytes,
                                                QObject* parent)
{
    auto* socket = new QTcpSocket;
    if (!socket->setSocketDescriptor(fd, QAbstractSocket::ConnectedState, QIODevice::ReadWrite)) {
        qWarning("velk-dvr-host: a handed-over page connection is not a connected socket");
        delete socket;
        ::close(fd);
        return nullptr;
    }
    auto* connection = new WebSocketConnection(socket, maxMessageBytes, Judge(), parent);
    connection->m_timer.stop();
    connection->m_state = State::Open;
    connection->m_reader.append(pending);
    connection->scheduleProcessing();
    return connection;
}

WebSocketConnection::~WebSocketConnection()
{
    QObject::disconnect(m_socket, nullptr, this, nullptr);
}

void WebSocketConnection::onReadyRead()
{
    if (m_state == State::Handshake)
        readHandshake();
    else if (m_discarding)
        m_socket->readAll();
    else if (m_state == State::Open || m_state == State::Closing)
        scheduleProcessing();
}

void WebSocketConnection::readHandshake()
{
    m_request.append(m_socket->read(kMaxRequestBytes - m_request.size()));
    WebSocketRequest request;
    qsizetype headBytes = 0;
    switch (parseRequestHead(m_request, kMaxRequestBytes, request, headBytes)) {
    case RequestHead::Incomplete:
        return;
    case RequestHead::TooLarge:
        refuse(431, "request too large");
        return;
    case RequestHead::Malformed:
        refuse(400, "malformed request");
        return;
    case RequestHead::Complete:
        break;
    }
    QByteArray why;
    int status = upgradeProblem(request, why);
    if (status == 0 && m_judge)
        status = m_judge(request, why);
    if (status != 0) {
        refuse(status, why);
        return;
    }
    m_timer.stop();
    m_state = State::Open;
    m_socket->write(switchingProtocolsResponse(request.values("sec-websocket-key").first()));
    // Frames sent right behind the request.
    m_reader.append(m_request.mid(headBytes));
    m_request.clear();
    QPointer<WebSocketConnection> self(this);
    ++m_processingDepth;
    if (onOpened)
        onOpened(request);
    --m_processingDepth;
    if (self.isNull())
        return;
    if (m_state == State::Closed)
        deleteWhenIdle();
    else
        scheduleProcessing();
}

void WebSocketConnection::refuse(int status, const QByteArray& why)
{
    qWarning("velk-dvr-host: WebSocket handshake refused (%d): %s", status, why.constData());
    m_state = State::Closing;
    m_discarding = true;
    m_timer.start(kCloseTimeoutMs);
    m_socket->write(errorResponse(status, why));
    m_socket->readAll();  // bytes read ahead are dropped too
    endAfterSending(/*closeAtOnce=*/false);
}

void WebSocketConnection::hold()
{
    m_held = true;
}

void WebSocketConnection::scheduleProcessing()
{
    if (m_processingScheduled || m_held)
        return;
    m_processingScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_processingScheduled = false;
        processFrames();
    });
}

bool WebSocketConnection::pull()
{
    const qint64 room = kReadAheadBytes - m_reader.buffered();
    if (room <= 0 || m_socket->bytesAvailable() == 0)
        return false;
    m_reader.append(m_socket->read(room));
    return true;
}

void WebSocketConnection::processFrames()
{
    QPointer<WebSocketConnection> self(this);
    ++m_processingDepth;
    WebSocketFrameReader::Item item;
    while (m_state == State::Open || m_state == State::Closing) {
        if (!m_reader.next(item)) {
            if (pull())
                continue;
            // A frame larger than the read-ahead needs more room.
            if (m_reader.buffered() >= kReadAheadBytes && m_socket->bytesAvailable() > 0) {
                m_reader.append(m_socket->read(kReadAheadBytes));
                continue;
            }
            break;
        }
        using Kind = WebSocketFrameReader::Item::Kind;
        if (m_state == State::Closing) {
            // After our close frame only the peer's answer matters.
            if (item.kind == Kind::Close || item.kind == Kind::Failure)
                abort();
            continue;
        }
        switch (item.kind) {
        case Kind::Text:
            // Should the handler open a modal dialog, its nested loop must
            // go on with the messages already read behind this one: no
            // further read notification would announce them.
            scheduleProcessing();
            if (onTextMessage)
                onTextMessage(item.payload);
            if (self.isNull())
                return;
            break;
        case Kind::Binary:
            close(ws::kUnsupportedData, QStringLiteral("send JSON-RPC requests as text messages"));
            break;
        case Kind::Ping:
            sendFrame(ws::kPong, item.payload);
            break;
        case Kind::Pong:
            break;
        case Kind::Close:
            // The peer ends: echo its code and end the TCP connection.
            sendFrame(ws::kClose,
                      item.code == ws::kNoStatus ? QByteArray() : ws::closePayload(item.code, QByteArray()));
            m_state = State::Closing;
            m_timer.start(kCloseTimeoutMs);
            endAfterSending(/*closeAtOnce=*/true);
            break;
        case Kind::Failure:
            qWarning("velk-dvr-host: WebSocket connection failed (%u): %s", static_cast<unsigned>(item.code),
                     item.payload.constData());
            m_discarding = true;
            close(item.code, QString::fromLatin1(item.payload));
            break;
        }
    }
    --m_processingDepth;
    if (m_state == State::Closed)
        deleteWhenIdle();
}

void WebSocketConnection::sendFrame(ws::Opcode opcode, const QByteArray& payload)
{
    m_socket->write(ws::frameHeader(opcode, payload.size()));
    m_socket->write(payload);
}

void WebSocketConnection::sendTextMessage(const QByteArray& utf8)
{
    if (m_state == State::Open)
        sendFrame(ws::kText, utf8);
}

void WebSocketConnection::sendBinaryMessage(const QByteArray& data)
{
    if (m_state == State::Open)
        sendFrame(ws::kBinary, data);
}

qint64 WebSocketConnection::bytesToWrite() const
{
    return m_socket->bytesToWrite();
}

void WebSocketConnection::close(quint16 code, const QString& reason)
{
    if (m_state != State::Open)
        return;
    sendFrame(ws::kClose, ws::closePayload(code, reason.toUtf8()));
    m_state = State::Closing;
    m_timer.start(kCloseTimeoutMs);
    // The close frame goes out now, even if the event loop does not run
    // again (the host is ending).
    m_socket->flush();
    endAfterSending(/*closeAtOnce=*/false);
}

void WebSocketConnection::endAfterSending(bool closeAtOnce)
{
    if (!m_timer.isActive())
        m_timer.start(kCloseTimeoutMs);
    if (closeAtOnce) {
        // Qt sends what is queued, then closes.
        m_socket->disconnectFromHost();
        return;
    }
    // End our direction once everything is sent and keep reading until the
    // peer closes: closing with unread bytes would reset the connection and
    // could destroy our last frame before the peer reads it.
    m_shutDownWhenFlushed = true;
    shutDownSendingWhenFlushed();
}

void WebSocketConnection::shutDownSendingWhenFlushed()
{
    if (!m_shutDownWhenFlushed || m_sendingShutDown || m_socket->bytesToWrite() > 0)
        return;
    m_sendingShutDown = true;
    const qintptr descriptor = m_socket->socketDescriptor();
    if (descriptor >= 0)
        ::shutdown(static_cast<int>(descriptor), SHUT_WR);
}

void WebSocketConnection::abort()
{
    if (m_state == State::Closed)
        return;
    m_socket->abort();
    onDisconnected();
}

bool WebSocketConnection::handOver(int& fd, QByteArray& pending)
{
    if (m_state != State::Open)
        return false;
    m_socket->flush();
    if (m_socket->bytesToWrite() > 0 || m_socket->socketDescriptor() < 0)
        return false;
    fd = ::fcntl(static_cast<int>(m_socket->socketDescriptor()), F_DUPFD_CLOEXEC, 3);
    if (fd < 0)
        return false;
    pending = m_reader.takeUnread() + m_socket->readAll();
    // Closing this copy of the descriptor leaves the connection to the other.
    m_ended = true;
    m_state = State::Closed;
    m_timer.stop();
    QObject::disconnect(m_socket, nullptr, this, nullptr);
    m_socket->abort();
    deleteWhenIdle();
    return true;
}

void WebSocketConnection::onDisconnected()
{
    if (m_ended)
        return;
    m_ended = true;
    m_state = State::Closed;
    m_timer.stop();
    if (onClosed)
        onClosed();
    deleteWhenIdle();
}

void WebSocketConnection::deleteWhenIdle()
{
    // A handler further up the stack still uses this object; the last one
    // to return deletes it.
    if (m_processingDepth == 0)
        deleteLater();
}

}  // namespace host
