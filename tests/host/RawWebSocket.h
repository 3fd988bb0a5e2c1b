// SPDX-License-Identifier: GPL-3.0-or-later
// A WebSocket client on a bare TCP socket that sends exactly the bytes a
// test gives it: handshakes with repeated headers, unmasked frames, broken
// lengths. Blocking; the host runs in another process.
#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpSocket>

#include <optional>

class RawWebSocket {
public:
    struct Frame {
        bool fin = true;
        quint8 opcode = 0;
        QByteArray payload;
        // A close frame's code (0 when it has none).
        quint16 closeCode() const;
    };

    bool connectTo(quint16 port);
    void send(const QByteArray& bytes);

    // Sends an upgrade request for `target` with these header lines (each
    // without its CR LF) and returns the response's status (0 when the
    // host closed or said nothing).
    int handshake(const QByteArray& target, const QList<QByteArray>& headerLines);
    // The response's text after handshake().
    const QByteArray& response() const { return m_response; }

    // The next frame from the host; nothing when it closed the connection
    // or sent nothing in time.
    std::optional<Frame> readFrame();
    // Waits until the host has closed the connection, dropping whatever it
    // still sends.
    bool waitClosed();

    // A client frame: first byte (FIN, reserved bits, opcode) as given, the
    // payload masked unless `masked` is false.
    static QByteArray frame(quint8 firstByte, const QByteArray& payload, bool masked = true);
    static QByteArray text(const QByteArray& payload) { return frame(0x81, payload); }

private:
    bool fill(qsizetype bytes);

    QTcpSocket m_socket;
    QByteArray m_buffer;
    QByteArray m_response;
};
