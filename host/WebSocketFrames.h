// SPDX-License-Identifier: GPL-3.0-or-later
// WebSocket frames as a server reads and writes them.
//
// WebSocketFrameReader takes the bytes a client sends after the handshake
// and hands out whole messages and control frames one at a time, so that a
// message's handler may run a nested event loop that reads further
// messages. It refuses what a server must refuse: unmasked frames, reserved
// bits (no extension is agreed), unknown opcodes, fragmented or long control
// frames, a 64-bit length with its top bit set, continuation frames out of
// place, text that is not UTF-8 and messages above the size limit (checked
// from the frame headers, before the payload is buffered). Pure; one thread.
#pragma once

#include <QByteArray>

namespace host {

namespace ws {
enum Opcode : quint8 {
    kContinuation = 0x0,
    kText = 0x1,
    kBinary = 0x2,
    kClose = 0x8,
    kPing = 0x9,
    kPong = 0xA,
};

enum CloseCode : quint16 {
    kNormal = 1000,
    kGoingAway = 1001,
    kProtocolError = 1002,
    kUnsupportedData = 1003,
    kNoStatus = 1005,  // never sent: a close frame without a code
    kInvalidPayload = 1007,
    kPolicyViolation = 1008,
    kMessageTooBig = 1009,
    kInternalError = 1011,
    kTryAgainLater = 1013,  // the server is at its limit
};

bool isValidUtf8(const char* data, qsizetype size);
inline bool isValidUtf8(const QByteArray& text)
{
    return isValidUtf8(text.constData(), text.size());
}

// A whole unmasked frame as a server sends it (FIN set).
QByteArray frameHeader(Opcode opcode, qint64 payloadBytes);
// A close frame's payload: the code and as much of the reason as fits a
// control frame, cut on a character boundary.
QByteArray closePayload(quint16 code, const QByteArray& reasonUtf8);
}  // namespace ws

class WebSocketFrameReader {
public:
    struct Item {
        enum class Kind {
            Text,     // payload: the whole message, valid UTF-8
            Binary,   // payload: the whole message
            Ping,     // payload: the ping's data, to be echoed in a pong
            Pong,
            Close,    // code (kNoStatus when none was given), payload: reason
            Failure,  // code: the close code to fail with, payload: why
        };
        Kind kind = Kind::Failure;
        QByteArray payload;
        quint16 code = 0;
    };

    explicit WebSocketFrameReader(qint64 maxMessageBytes) : m_maxMessageBytes(maxMessageBytes) {}

    void append(const QByteArray& bytes);
    // Bytes appended and not yet taken out as items.
    qint64 buffered() const { return m_buffer.size() - m_offset; }
    // Takes the bytes not yet read as items, raw, so that another reader
    // can go on from them. Only between messages (no fragment held).
    QByteArray takeUnread();
    // The next item, if its bytes have all arrived. After a Failure or a
    // Close nothing more is read.
    bool next(Item& item);

private:
    bool fail(Item& item, quint16 code, const char* why);
    void consume(qsizetype bytes);

    qint64 m_maxMessageBytes;
    QByteArray m_buffer;
    qsizetype m_offset = 0;  // bytes of m_buffer already read
    bool m_stopped = false;
    // A fragmented message being put together.
    bool m_inMessage = false;
    ws::Opcode m_messageOpcode = ws::kText;
    QByteArray m_message;
};

}  // namespace host
