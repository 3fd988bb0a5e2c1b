// SPDX-License-Identifier: GPL-3.0-or-later
#include "RawWebSocket.h"

#include <QDeadlineTimer>
#include <QRandomGenerator>
#include <QtEndian>

#include <algorithm>

namespace {

constexpr int kWaitMs = 8000;

}  // namespace

quint16 RawWebSocket::Frame::closeCode() const
{
    return payload.size() >= 2 ? qFromBigEndian<quint16>(payload.constData()) : 0;
}

bool RawWebSocket::connectTo(quint16 port)
{
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    return m_socket.waitForConnected(kWaitMs);
}

void RawWebSocket::send(const QByteArray& bytes)
{
    m_socket.write(bytes);
    m_socket.waitForBytesWritten(kWaitMs);
}

bool RawWebSocket::fill(qsizetype bytes)
{
    const QDeadlineTimer deadline(kWaitMs);
    while (m_buffer.size() < bytes) {
        if (m_socket.bytesAvailable() == 0 &&
            (m_socket.state() != QAbstractSocket::ConnectedState ||
             !m_socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))) {
            m_buffer.append(m_socket.readAll());
            return m_buffer.size() >= bytes;
        }
        m_buffer.append(m_socket.readAll());
    }
    return true;
}

int RawWebSocket::handshake(const QByteArray& target, const QList<QByteArray>& headerLines)
{
    QByteArray request = "GET " + target + " HTTP/1.1\r\n";
    for (const QByteArray& line : headerLines)
        request += line + "\r\n";
    request += "\r\n";
    send(request);
    const QDeadlineTimer deadline(kWaitMs);
    while (m_buffer.indexOf("\r\n\r\n") < 0 && !deadline.hasExpired()) {
        if (!fill(m_buffer.size() + 1))
            break;
    }
    const qsizetype end = m_buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return 0;
    m_response = m_buffer.left(end + 4);
    m_buffer.remove(0, end + 4);
    const QList<QByteArray> statusLine = m_response.left(m_response.indexOf("\r\n")).split(' ');
    return statusLine.size() >= 2 ? statusLine.at(1).toInt() : 0;
}

std::optional<RawWebSocket::Frame> RawWebSocket::readFrame()
{
    if (!fill(2))
        return std::nullopt;
    const auto* p = reinterpret_cast<const uchar*>(m_buffer.constData());
    Frame frame;
    frame.fin = (p[0] & 0x80) != 0;
    frame.opcode = p[0] & 0x0F;
    qsizetype header = 2;
    quint64 length = p[1] & 0x7F;
    if (length == 126) {
        header = 4;
        if (!fill(header))
            return std::nullopt;
        length = qFromBigEndian<quint16>(m_buffer.constData() + 2);
    } else if (length == 127) {
        header = 10;
        if (!fill(header))
            return std::nullopt;
        length = qFromBigEndian<quint64>(m_buffer.constData() + 2);
    }
    if (!fill(header + static_cast<qsizetype>(length)))
        return std::nullopt;
    frame.payload = m_buffer.mid(header, static_cast<qsizetype>(length));
    m_buffer.remove(0, header + static_cast<qsizetype>(length));
    return frame;
}

bool RawWebSocket::waitClosed()
{
    const QDeadlineTimer deadline(kWaitMs);
    while (m_socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        m_socket.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        m_buffer.append(m_socket.readAll());
    }
    return m_socket.state() != QAbstractSocket::ConnectedState;
}

QByteArray RawWebSocket::frame(quint8 firstByte, const QByteArray& payload, bool masked)
{
    QByteArray bytes(1, static_cast<char>(firstByte));
    const quint8 maskBit = masked ? 0x80 : 0x00;
    if (payload.size() < 126) {
        bytes.append(static_cast<char>(maskBit | payload.size()));
    } else if (payload.size() <= 0xFFFF) {
        bytes.append(static_cast<char>(maskBit | 126));
        const quint16 length = qToBigEndian(static_cast<quint16>(payload.size()));
        bytes.append(reinterpret_cast<const char*>(&length), 2);
    } else {
        bytes.append(static_cast<char>(maskBit | 127));
        const quint64 length = qToBigEndian(static_cast<quint64>(payload.size()));
        bytes.append(reinterpret_cast<const char*>(&length), 8);
    }
    if (!masked)
        return bytes + payload;
    const quint32 key = QRandomGenerator::global()->generate();
    const char* mask = reinterpret_cast<const char*>(&key);
    bytes.append(mask, 4);
    for (qsizetype i = 0; i < payload.size(); ++i)
        bytes.append(static_cast<char>(payload[i] ^ mask[i % 4]));
    return bytes;
}
