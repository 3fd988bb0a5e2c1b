// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a client's upgrade request and the server's answers, without a
// socket.
#include "host/WebSocketHandshake.h"

#include <gtest/gtest.h>

namespace {

using host::RequestHead;
using host::WebSocketRequest;

constexpr qsizetype kLimit = 8 * 1024;

const QByteArray kGood = "GET /?token=abc HTTP/1.1\r\n"
                         "Host: 127.0.0.1:5000\r\n"
                         "Upgrade: websocket\r\n"
                         "Connection: keep-alive, Upgrade\r\n"
                         "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                         "Sec-WebSocket-Version: 13\r\n"
                         "Origin: http://127.0.0.1:8080\r\n"
                         "\r\n";

RequestHead parse(const QByteArray& bytes, WebSocketRequest& request, qsizetype limit = kLimit)
{
    qsizetype headBytes = 0;
    return host::parseRequestHead(bytes, limit, request, headBytes);
}

TEST(WebSocketHandshake, EveryHeaderIsKeptRepeatsIncluded)
{
    QByteArray bytes = kGood;
    bytes.insert(bytes.size() - 2, "ORIGIN:   http://evil.example \t\r\nhost:127.0.0.1:5000\r\n");
    bytes += "frame bytes";
    WebSocketRequest request;
    qsizetype headBytes = 0;
    ASSERT_EQ(host::parseRequestHead(bytes, kLimit, request, headBytes), RequestHead::Complete);
    EXPECT_EQ(headBytes, bytes.size() - 11);
    EXPECT_EQ(request.method, QByteArray("GET"));
    EXPECT_EQ(request.target, QByteArray("/?token=abc"));
    EXPECT_EQ(request.values("origin"), (QList<QByteArray>{"http://127.0.0.1:8080", "http://evil.example"}));
    EXPECT_EQ(request.values("host"), (QList<QByteArray>{"127.0.0.1:5000", "127.0.0.1:5000"}));
    EXPECT_TRUE(request.values("cookie").isEmpty());
}

TEST(WebSocketHandshake, AHeadIsCompleteOnlyWithinTheLimit)
{
    WebSocketRequest request;
    EXPECT_EQ(parse(kGood.left(kGood.size() - 1), request), RequestHead::Incomplete);
    EXPECT_EQ(parse(kGood, request, kGood.size()), RequestHead::Complete);
    EXPECT_EQ(parse(kGood, request, kGood.size() - 1), RequestHead::TooLarge);
    EXPECT_EQ(parse(QByteArray(kLimit, 'x'), request), RequestHead::TooLarge);
    EXPECT_EQ(parse(QByteArray(kLimit - 1, 'x'), request), RequestHead::Incomplete);
}

TEST(WebSocketHandshake, MalformedHeadsAreRefused)
{
    const QList<std::pair<const char*, QByteArray>> cases = {
        {"bare LF", "GET / HTTP/1.1\nHost: a\r\n\r\n"},
        {"lone CR", "GET / HTTP/1.1\r\nHost: a\rb\r\n\r\n"},
        {"blank before the colon", "GET / HTTP/1.1\r\nHost : a\r\n\r\n"},
        {"folded line", "GET / HTTP/1.1\r\nHost: a\r\n b\r\n\r\n"},
        {"no colon", "GET / HTTP/1.1\r\nHost\r\n\r\n"},
        {"empty name", "GET / HTTP/1.1\r\n: a\r\n\r\n"},
        {"control character", QByteArray("GET / HTTP/1.1\r\nHost: a\x01\r\n\r\n")},
        {"two-part request line", "GET /\r\nHost: a\r\n\r\n"},
        {"blank in the target", "GET / x HTTP/1.1\r\nHost: a\r\n\r\n"},
        {"not HTTP", "GET / FTP/1.0\r\nHost: a\r\n\r\n"},
    };
    for (const auto& [what, bytes] : cases) {
        WebSocketRequest request;
        EXPECT_EQ(parse(bytes, request), RequestHead::Malformed) << what;
    }
}

TEST(WebSocketHandshake, OnlyAWebSocketUpgradeIsAnswered)
{
    auto problem = [](QByteArray bytes) {
        WebSocketRequest request;
        EXPECT_EQ(parse(bytes, request), RequestHead::Complete) << bytes.constData();
        QByteArray why;
        return host::upgradeProblem(request, why);
    };
    auto replaced = [](const QByteArray& from, const QByteArray& to) { return QByteArray(kGood).replace(from, to); };
    EXPECT_EQ(problem(kGood), 0);
    EXPECT_EQ(problem(replaced("Upgrade: websocket", "Upgrade: WebSocket")), 0);
    EXPECT_EQ(problem(replaced("GET ", "POST ")), 400);
    EXPECT_EQ(problem(replaced("HTTP/1.1", "HTTP/1.0")), 400);
    EXPECT_EQ(problem(replaced("/?token", "http://x/?token")), 400);
    EXPECT_EQ(problem(replaced("/?token", "//x/?token")), 400);
    EXPECT_EQ(problem(replaced("Host: 127.0.0.1:5000\r\n", "")), 400);
    EXPECT_EQ(problem(replaced("Upgrade: websocket", "Upgrade: h2c")), 400);
    EXPECT_EQ(problem(replaced("keep-alive, Upgrade", "keep-alive")), 400);
    EXPECT_EQ(problem(replaced("Version: 13", "Version: 8")), 426);
    EXPECT_EQ(problem(replaced("Version: 13\r\n", "Version: 13\r\nSec-WebSocket-Version: 13\r\n")), 426);
    EXPECT_EQ(problem(replaced("dGhlIHNhbXBsZSBub25jZQ==", "c2hvcnQ=")), 400);
    EXPECT_EQ(problem(replaced("dGhlIHNhbXBsZSBub25jZQ==", "not base64 at all!!!!!!!")), 400);
    EXPECT_EQ(problem(replaced("Version: 13\r\n", "Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n")),
              400);
}

TEST(WebSocketHandshake, Answers)
{
    // The worked example of the protocol's definition.
    EXPECT_EQ(host::acceptKey("dGhlIHNhbXBsZSBub25jZQ=="), QByteArray("s3pPLMBiTxaQ9kYGzzhZRbK+xOo="));
    const QByteArray switching = host::switchingProtocolsResponse("dGhlIHNhbXBsZSBub25jZQ==");
    EXPECT_TRUE(switching.startsWith("HTTP/1.1 101 Switching Protocols\r\n"));
    EXPECT_TRUE(switching.contains("\r\nSec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n"));
    EXPECT_TRUE(switching.endsWith("\r\n\r\n"));

    const QByteArray refused = host::errorResponse(403, "refused");
    EXPECT_TRUE(refused.startsWith("HTTP/1.1 403 Forbidden\r\n"));
    EXPECT_TRUE(refused.contains("\r\nContent-Length: 8\r\n"));
    EXPECT_TRUE(refused.endsWith("\r\n\r\nrefused\n"));
    EXPECT_TRUE(host::errorResponse(426, "version").contains("\r\nSec-WebSocket-Version: 13\r\n"));
}

}  // namespace
