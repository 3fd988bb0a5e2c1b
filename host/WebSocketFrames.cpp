// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/WebSocketFrames.h"

#include <QtEndian>

#include <cstring>

namespace host {

namespace ws {

bool isValidUtf8(const char* data, qsizetype size)
{
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const auto* const end = p + size;
    while (p < end) {
        const unsigned lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        int continuation = 0;
        char32_t codePoint = 0;
        char32_t smallest = 0;
        if ((lead & 0xE0) == 0xC0) {
            continuation = 1;
            codePoint = lead & 0x1F;
            smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            continuation = 2;
            codePoint = lead & 0x0F;
            smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            continuation = 3;
            codePoint = lead & 0x07;
            smallest = 0x10000;
        } else {
            return false;
        }
        if (end - p <= continuation)
            return false;
        for (int i = 1; i <= continuation; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, UTF-16 surrogates and values beyond Unicode.
        if (codePoint < smallest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        p += continuation + 1;
    }
    return true;
}

QByteArray frameHeader(Opcode opcode, qint64 payloadBytes)
{
    QByteArray header;
    header.append(static_cast<char>(0x80 | opcode));
    if (payloadBytes < 126) {
        header.append(static_cast<char>(payloadBytes));
    } else if (payloadBytes <= 0xFFFF) {
        header.append(static_cast<char>(126));
        const quint16 length = qToBigEndian(static_cast<quint16>(payloadBytes));
        header.append(reinterpret_cast<const char*>(&length), 2);
    } else {
        header.append(static_cast<char>(127));
        const quint64 length = qToBigEndian(static_cast<quint64>(payloadBytes));
        header.append(reinterpret_cast<const char*>(&length), 8);
    }
    return header;
}

QByteArray closePayload(quint16 code, const QByteArray& reasonUtf8)
{
    constexpr qsizetype kMaxReason = 125 - 2;
    QByteArray reason = reasonUtf8.left(kMaxReason);
    // Cut back to the start of a character if the limit split one.
    while (!reason.isEmpty() && !isValidUtf8(reason))
        reason.chop(1);
    const quint16 bigEndian = qToBigEndian(code);
    return QByteArray(reinterpret_cast<const char*>(&bigEndian), 2) + reason;
}

}  // namespace ws

namespace {

bool isControl(quint8 opcode)
{
    return (opcode & 0x8) != 0;
}

bool isKnownOpcode(quint8 opcode)
{
    switch (opcode) {
    case ws::kContinuation: case ws::kText: case ws::kBinary:
    case ws::kClose: case ws::kPing: case ws::kPong:
        return true;
    default:
        return false;
    }
}

// Codes a peer may put in a close frame: the defined ones (not those
// reserved for "no code", "abnormal" and TLS failures) and the ranges for
// libraries and applications.
bool isSendableCloseCode(quint16 code)
{
    if (code >= 3000 && code <= 4999)
        return true;
    return code >= 1000 && code <= 1014 && code != 1004 && code != ws::kNoStatus && code != 1006;
}

}  // namespace

void WebSocketFrameReader::append(const QByteArray& bytes)
{
    if (!m_stopped)
        m_buffer.append(bytes);
}

QByteArray WebSocketFrameReader::takeUnread()
{
    QByteArray unread = m_buffer.mid(m_offset);
    m_buffer.clear();
    m_offset = 0;
    return unread;
}

bool WebSocketFrameReader::fail(Item& item, quint16 code, const char* why)
{
    m_stopped = true;
    m_buffer.clear();
    m_offset = 0;
    m_message.clear();
    item = Item{Item::Kind::Failure, QByteArray(why), code};
    return true;
}

void WebSocketFrameReader::consume(qsizetype bytes)
{
    m_offset += bytes;
    if (m_offset == m_buffer.size()) {
        m_buffer.clear();
        m_offset = 0;
    } else if (m_offset > 64 * 1024) {
        m_buffer.remove(0, m_offset);
        m_offset = 0;
    }
}

bool WebSocketFrameReader::next(Item& item)
{
    while (!m_stopped) {
        const auto* p = reinterpret_cast<const unsigned char*>(m_buffer.constData()) + m_offset;
        const qint64 available = buffered();
        if (available < 2)
            return false;
        const bool fin = (p[0] & 0x80) != 0;
        const quint8 opcode = p[0] & 0x0F;
        if ((p[0] & 0x70) != 0)
            return fail(item, ws::kProtocolError, "reserved bits set without an extension");
        if (!isKnownOpcode(opcode))
            return fail(item, ws::kProtocolError, "unknown opcode");
        if ((p[1] & 0x80) == 0)
            return fail(item, ws::kProtocolError, "unmasked frame from a client");
        if (isControl(opcode) && !fin)
            return fail(item, ws::kProtocolError, "fragmented control frame");
        if (isControl(opcode) && (p[1] & 0x7F) > 125)
            return fail(item, ws::kProtocolError, "control frame above 125 bytes");
        if (opcode == ws::kContinuation && !m_inMessage)
            return fail(item, ws::kProtocolError, "continuation frame without a message");
        if ((opcode == ws::kText || opcode == ws::kBinary) && m_inMessage)
            return fail(item, ws::kProtocolError, "new message inside a fragmented one");

        qint64 headerBytes = 2;
        quint64 length = p[1] & 0x7F;
        if (length == 126) {
            headerBytes += 2;
            if (available < headerBytes)
                return false;
            length = qFromBigEndian<quint16>(p + 2);
        } else if (length == 127) {
            headerBytes += 8;
            if (available < headerBytes)
                return false;
            length = qFromBigEndian<quint64>(p + 2);
            if ((length >> 63) != 0)
                return fail(item, ws::kProtocolError, "64-bit length with its top bit set");
        }
        if (!isControl(opcode) &&
            length > static_cast<quint64>(m_maxMessageBytes) - static_cast<quint64>(m_message.size()))
            return fail(item, ws::kMessageTooBig, "message too big");
        headerBytes += 4;  // the mask
        if (static_cast<quint64>(available - headerBytes) < length || available < headerBytes)
            return false;

        const unsigned char* mask = p + headerBytes - 4;
        const unsigned char* data = p + headerBytes;
        QByteArray payload(static_cast<qsizetype>(length), Qt::Uninitialized);
        char* out = payload.data();
        for (qsizetype i = 0; i < payload.size(); ++i)
            out[i] = static_cast<char>(data[i] ^ mask[i & 3]);
        consume(static_cast<qsizetype>(headerBytes + static_cast<qint64>(length)));

        switch (opcode) {
        case ws::kPing:
            item = Item{Item::Kind::Ping, payload, 0};
            return true;
        case ws::kPong:
            item = Item{Item::Kind::Pong, payload, 0};
            return true;
        case ws::kClose: {
            if (payload.size() == 1)
                return fail(item, ws::kProtocolError, "close frame with a one-byte code");
            quint16 code = ws::kNoStatus;
            QByteArray reason;
            if (payload.size() >= 2) {
                code = qFromBigEndian<quint16>(payload.constData());
                if (!isSendableCloseCode(code))
                    return fail(item, ws::kProtocolError, "invalid close code");
                reason = payload.mid(2);
                if (!ws::isValidUtf8(reason))
                    return fail(item, ws::kInvalidPayload, "close reason is not UTF-8");
            }
            // Nothing may follow a close frame.
            m_stopped = true;
            m_buffer.clear();
            m_offset = 0;
            item = Item{Item::Kind::Close, reason, code};
            return true;
        }
        default:
            break;
        }

        // A data frame: a whole message or a piece of one.
        if (opcode != ws::kContinuation) {
            m_messageOpcode = static_cast<ws::Opcode>(opcode);
            m_message.clear();
        }
        m_message.append(payload);
        m_inMessage = !fin;
        if (!fin)
            continue;
        if (m_messageOpcode == ws::kText && !ws::isValidUtf8(m_message))
            return fail(item, ws::kInvalidPayload, "text message is not UTF-8");
        item = Item{m_messageOpcode == ws::kText ? Item::Kind::Text : Item::Kind::Binary, std::move(m_message), 0};
        m_message = QByteArray();
        return true;
    }
    return false;
}

}  // namespace host
