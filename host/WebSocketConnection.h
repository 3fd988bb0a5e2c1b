// SPDX-License-Identifier: GPL-3.0-or-later
// One client of the host's WebSocket server, from its first byte to its
// end: the HTTP upgrade (read whole, at most kMaxRequestBytes, within
// kHandshakeTimeoutMs), then frames both ways, then the closing handshake.
//
// Messages are handed out from the event loop, never from inside the
// socket's readyRead, and one at a time: a message's handler may open a
// modal dialog whose nested loop goes on reading this page's messages (the
// page drives the dialog with $input). The object is deleted only when no
// handler of it is running.
//
// Callbacks instead of signals (the host is built without moc). UI thread
// only.
#pragma once

#include "host/WebSocketFrames.h"
#include "host/WebSocketHandshake.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>

class QTcpSocket;

namespace host {

class WebSocketConnection : public QObject {
public:
    static constexpr qsizetype kMaxRequestBytes = 8 * 1024;
    static constexpr int kHandshakeTimeoutMs = 5000;
    // How long a closing connection waits for its peer before cutting it.
    static constexpr int kCloseTimeoutMs = 2000;

    enum class State { Handshake, Open, Closing, Closed };

    // What to do with a well-formed upgrade request: 0 accepts it, an HTTP
    // status refuses it with `why` as the body.
    using Judge = std::function<int(const WebSocketRequest& request, QByteArray& why)>;

    // Takes the socket over. `maxMessageBytes` bounds every incoming message.
    WebSocketConnection(QTcpSocket* socket, qint64 maxMessageBytes, Judge judge, QObject* parent = nullptr);
    // A connection whose handshake another process made: open from the
    // start, `pending` being the page's bytes read after the handshake.
    // Takes the descriptor over. Null when it is not a connected socket.
    static WebSocketConnection* adopt(int fd, const QByteArray& pending, qint64 maxMessageBytes,
                                      QObject* parent = nullptr);
    ~WebSocketConnection() override;

    // The handshake succeeded; `request` is the client's upgrade request.
    std::function<void(const WebSocketRequest& request)> onOpened;
    // A complete text message (valid UTF-8).
    std::function<void(const QByteArray& text)> onTextMessage;
    // The connection is gone, whatever ended it. Called once; the object is
    // deleted afterwards.
    std::function<void()> onClosed;

    State state() const { return m_state; }
    bool isOpen() const { return m_state == State::Open; }

    // Both only while open; ignored otherwise.
    void sendTextMessage(const QByteArray& utf8);
    void sendBinaryMessage(const QByteArray& data);
    // Bytes queued in the socket and not yet sent.
    qint64 bytesToWrite() const;

    // Starts the closing handshake: a close frame with this code and reason,
    // then no more messages; the connection ends when the peer answers or
    // closes, or after kCloseTimeoutMs. Whatever was queued before is still
    // sent.
    void close(quint16 code, const QString& reason);
    // Cuts the connection without a closing handshake.
    void abort();
    // Stops reading the page's messages (they stay in the socket) until the
    // connection is handed over; its end is still noticed.
    void hold();
    // Gives the open connection away, from onOpened or while held (before any
    // message was read): a duplicate of its descriptor and the bytes read
    // after the handshake. The TCP connection stays up for the new owner;
    // this object ends without a close frame and without onClosed. False
    // (nothing given) when the handshake's answer could not be sent whole.
    bool handOver(int& fd, QByteArray& pending);

private:
    void onReadyRead();
    void readHandshake();
    void refuse(int status, const QByteArray& why);
    void scheduleProcessing();
    void processFrames();
    bool pull();
    void sendFrame(ws::Opcode opcode, const QByteArray& payload);
    void endAfterSending(bool closeAtOnce);
    void shutDownSendingWhenFlushed();
    void onDisconnected();
    void deleteWhenIdle();

    QTcpSocket* m_socket;  // owned (a child)
    Judge m_judge;
    State m_state = State::Handshake;
    QByteArray m_request;  // the handshake's bytes so far
    WebSocketFrameReader m_reader;
    QTimer m_timer;  // handshake, then closing timeout
    bool m_processingScheduled = false;
    int m_processingDepth = 0;  // handlers of this connection on the stack
    bool m_shutDownWhenFlushed = false;  // end sending once sent
    bool m_sendingShutDown = false;
    bool m_discarding = false;  // refused or failed: incoming bytes are dropped
    bool m_held = false;        // messages are not read until handed over
    bool m_ended = false;  // onClosed called
};

}  // namespace host
