// SPDX-License-Identifier: GPL-3.0-or-later
// Reading client frames and writing server frames, without a socket.
#include "host/WebSocketFrames.h"

#include <QList>
#include <QtEndian>

#include <gtest/gtest.h>

#include <vector>

namespace {

using host::WebSocketFrameReader;
using Kind = WebSocketFrameReader::Item::Kind;

// A masked client frame with any first byte.
QByteArray clientFrame(quint8 firstByte, const QByteArray& payload)
{
    QByteArray bytes(1, static_cast<char>(firstByte));
    if (payload.size() < 126) {
        bytes.append(static_cast<char>(0x80 | payload.size()));
    } else if (payload.size() <= 0xFFFF) {
        bytes.append(static_cast<char>(0x80 | 126));
        const quint16 length = qToBigEndian(static_cast<quint16>(payload.size()));
        bytes.append(reinterpret_cast<const char*>(&length), 2);
    } else {
        bytes.append(static_cast<char>(0x80 | 127));
        const quint64 length = qToBigEndian(static_cast<quint64>(payload.size()));
        bytes.append(reinterpret_cast<const char*>(&length), 8);
    }
    const char mask[4] = {'\x5a', '\x01', '\xf0', '\x33'};
    bytes.append(mask, 4);
    for (qsizetype i = 0; i < payload.size(); ++i)
        bytes.append(static_cast<char>(payload[i] ^ mask[i % 4]));
    return bytes;
}

QByteArray code(quint16 value)
{
    const quint16 bigEndian = qToBigEndian(value);
    return QByteArray(reinterpret_cast<const char*>(&bigEndian), 2);
}

std::vector<WebSocketFrameReader::Item> readAll(WebSocketFrameReader& reader)
{
    std::vector<WebSocketFrameReader::Item> items;
    WebSocketFrameReader::Item item;
    while (reader.next(item))
        items.push_back(item);
    return items;
}

WebSocketFrameReader::Item only(const QByteArray& bytes, qint64 maxMessageBytes = 1 << 20)
{
    WebSocketFrameReader reader(maxMessageBytes);
    reader.append(bytes);
    const std::vector<WebSocketFrameReader::Item> items = readAll(reader);
    EXPECT_EQ(items.size(), 1u);
    return items.empty() ? WebSocketFrameReader::Item{} : items.front();
}

TEST(WebSocketFrames, ItemsAreTheSameHoweverTheBytesArrive)
{
    const QByteArray big(70000, 'b');  // a 64-bit length
    const QByteArray medium(300, 'm');  // a 16-bit length
    const QByteArray stream = clientFrame(0x01, "{\"a\":") + clientFrame(0x89, "p") + clientFrame(0x00, "\"\xE2\x82") +
                              clientFrame(0x80, "\xAC\"}") + clientFrame(0x82, medium) + clientFrame(0x81, big) +
                              clientFrame(0x8A, QByteArray()) + clientFrame(0x88, code(1000) + "bye") +
                              clientFrame(0x81, "after the close");
    for (qsizetype chunk : {qsizetype(1), qsizetype(3), qsizetype(7), qsizetype(4096), stream.size()}) {
        SCOPED_TRACE(chunk);
        WebSocketFrameReader reader(1 << 20);
        std::vector<WebSocketFrameReader::Item> items;
        for (qsizetype at = 0; at < stream.size(); at += chunk) {
            reader.append(stream.mid(at, chunk));
            for (const auto& item : readAll(reader))
                items.push_back(item);
        }
        ASSERT_EQ(items.size(), 6u);
        EXPECT_EQ(items[0].kind, Kind::Ping);
        EXPECT_EQ(items[0].payload, QByteArray("p"));
        EXPECT_EQ(items[1].kind, Kind::Text);
        EXPECT_EQ(items[1].payload, QByteArray("{\"a\":\"\xE2\x82\xAC\"}"));
        EXPECT_EQ(items[2].kind, Kind::Binary);
        EXPECT_EQ(items[2].payload, medium);
        EXPECT_EQ(items[3].kind, Kind::Text);
        EXPECT_EQ(items[3].payload, big);
        EXPECT_EQ(items[4].kind, Kind::Pong);
        EXPECT_EQ(items[5].kind, Kind::Close);
        EXPECT_EQ(items[5].code, 1000);
        EXPECT_EQ(items[5].payload, QByteArray("bye"));
        EXPECT_EQ(reader.buffered(), 0);
    }
}

TEST(WebSocketFrames, TheSizeLimitIsCheckedBeforeThePayloadArrives)
{
    for (qint64 limit : {qint64(125), qint64(1000), qint64(70000)}) {
        SCOPED_TRACE(limit);
        // Exactly the limit, whole or in pieces, is a message.
        EXPECT_EQ(only(clientFrame(0x81, QByteArray(limit, 'x')), limit).kind, Kind::Text);
        EXPECT_EQ(only(clientFrame(0x01, QByteArray(limit - 1, 'x')) + clientFrame(0x80, "y"), limit).kind, Kind::Text);

        // One byte more fails on the header alone.
        const QByteArray header = clientFrame(0x81, QByteArray(limit + 1, 'x')).left(limit + 1 < 126 ? 6 : 14);
        const WebSocketFrameReader::Item tooBig = only(header, limit);
        EXPECT_EQ(tooBig.kind, Kind::Failure);
        EXPECT_EQ(tooBig.code, host::ws::kMessageTooBig);
        // So does a fragment that takes the message over it.
        EXPECT_EQ(only(clientFrame(0x01, QByteArray(limit, 'x')) + clientFrame(0x80, "y"), limit).code,
                  host::ws::kMessageTooBig);
    }
}

TEST(WebSocketFrames, FramesAServerMustRefuse)
{
    const QByteArray unmasked = QByteArray("\x81\x02", 2) + "hi";
    QByteArray topBitLength = clientFrame(0x81, "hello");
    topBitLength = QByteArray("\x81\xFF", 2) + QByteArray("\x80\0\0\0\0\0\0\x05", 8) + topBitLength.right(9);
    const QList<std::pair<const char*, QByteArray>> protocolErrors = {
        {"unmasked", unmasked},
        {"64-bit length with the top bit", topBitLength},
        {"rsv1", clientFrame(0xC1, "x")},
        {"rsv3", clientFrame(0x91, "x")},
        {"opcode 3", clientFrame(0x83, "x")},
        {"opcode 0xB", clientFrame(0x8B, "x")},
        {"fragmented close", clientFrame(0x08, code(1000))},
        {"126-byte ping", clientFrame(0x89, QByteArray(126, 'x'))},
        {"lone continuation", clientFrame(0x80, "x")},
        {"text inside a fragmented message", clientFrame(0x01, "a") + clientFrame(0x81, "b")},
        {"close with one byte", clientFrame(0x88, "x")},
        {"close code 999", clientFrame(0x88, code(999))},
        {"close code 1004", clientFrame(0x88, code(1004))},
        {"close code 1005", clientFrame(0x88, code(1005))},
        {"close code 1006", clientFrame(0x88, code(1006))},
        {"close code 1015", clientFrame(0x88, code(1015))},
        {"close code 2999", clientFrame(0x88, code(2999))},
        {"close code 5000", clientFrame(0x88, code(5000))},
    };
    for (const auto& [what, bytes] : protocolErrors) {
        SCOPED_TRACE(what);
        const WebSocketFrameReader::Item item = only(bytes);
        EXPECT_EQ(item.kind, Kind::Failure);
        EXPECT_EQ(item.code, host::ws::kProtocolError);
    }
    EXPECT_EQ(only(clientFrame(0x81, "\xC3")).code, host::ws::kInvalidPayload);
    EXPECT_EQ(only(clientFrame(0x88, code(1000) + "\xFF")).code, host::ws::kInvalidPayload);
    // Codes a peer may send.
    for (quint16 allowed : {1000, 1001, 1002, 1003, 1007, 1008, 1009, 1010, 1011, 3000, 4999}) {
        const WebSocketFrameReader::Item item = only(clientFrame(0x88, code(allowed)));
        EXPECT_EQ(item.kind, Kind::Close) << allowed;
        EXPECT_EQ(item.code, allowed);
    }
    EXPECT_EQ(only(clientFrame(0x88, QByteArray())).code, host::ws::kNoStatus);
}

TEST(WebSocketFrames, NothingIsReadAfterAFailure)
{
    WebSocketFrameReader reader(1 << 20);
    reader.append(clientFrame(0x83, "x") + clientFrame(0x81, "valid"));
    WebSocketFrameReader::Item item;
    ASSERT_TRUE(reader.next(item));
    EXPECT_EQ(item.kind, Kind::Failure);
    reader.append(clientFrame(0x81, "more"));
    EXPECT_FALSE(reader.next(item));
    EXPECT_EQ(reader.buffered(), 0);
}

TEST(WebSocketFrames, Utf8IsCheckedStrictly)
{
    const QList<QByteArray> valid = {
        "", "plain", "\x7F", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80",
        "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF", "a\xE2\x82\xAC" "b",
    };
    const QList<QByteArray> invalid = {
        "\x80",              // a continuation byte alone
        "\xC0\x80",          // overlong NUL
        "\xC1\xBF",          // overlong
        "\xE0\x9F\xBF",      // overlong
        "\xF0\x8F\xBF\xBF",  // overlong
        "\xED\xA0\x80",      // surrogates
        "\xED\xBF\xBF",
        "\xF4\x90\x80\x80",  // above U+10FFFF
        "\xF5\x80\x80\x80",
        "\xF8\x88\x80\x80\x80",
        "\xFE", "\xFF",
        "\xE2\x82",          // cut short
        "\xE2\x28\xA1",      // a bad continuation
        "ok\xC3",
    };
    for (const QByteArray& text : valid)
        EXPECT_TRUE(host::ws::isValidUtf8(text)) << text.toHex().constData();
    for (const QByteArray& text : invalid)
        EXPECT_FALSE(host::ws::isValidUtf8(text)) << text.toHex().constData();
}

TEST(WebSocketFrames, ServerFramesUseTheShortestLengthAndAreUnmasked)
{
    const QList<std::pair<qint64, QByteArray>> cases = {
        {0, QByteArray("\x81\x00", 2)},
        {125, QByteArray("\x81\x7D", 2)},
        {126, QByteArray("\x81\x7E\x00\x7E", 4)},
        {65535, QByteArray("\x81\x7E\xFF\xFF", 4)},
        {65536, QByteArray("\x81\x7F\x00\x00\x00\x00\x00\x01\x00\x00", 10)},
    };
    for (const auto& [length, header] : cases)
        EXPECT_EQ(host::ws::frameHeader(host::ws::kText, length), header) << length;

    // A long reason is cut to fit a control frame, on a character boundary.
    const QByteArray payload = host::ws::closePayload(1008, QString(100, QChar(0xE9)).toUtf8());
    EXPECT_LE(payload.size(), 125);
    EXPECT_EQ(payload.size(), 124);  // the code and 61 two-byte characters
    EXPECT_TRUE(host::ws::isValidUtf8(payload.mid(2)));
    EXPECT_EQ(qFromBigEndian<quint16>(payload.constData()), 1008);
}

}  // namespace
