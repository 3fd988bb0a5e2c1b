// SPDX-License-Identifier: GPL-3.0-or-later
// The host's WebSocket, as pages reach it, and the connections it refuses.
#include "HostProcess.h"
#include "PageSocket.h"
#include "RawWebSocket.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QImage>
#include <QNetworkRequest>
#include <QTest>
#include <QtEndian>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr int kWaitMs = 5000;
const QByteArray kPageOrigin = "http://127.0.0.1:8080";
const QByteArray kGetVolume = R"({"jsonrpc":"2.0","id":1,"method":"GetVolume","params":[1]})";
const QByteArray kVolumeAnswer = R"({"id":1,"jsonrpc":"2.0","result":1000})";

QByteArray closeFramePayload(quint16 code, const QByteArray& reason = QByteArray())
{
    const quint16 bigEndian = qToBigEndian(code);
    return QByteArray(reinterpret_cast<const char*>(&bigEndian), 2) + reason;
}

// The host fails the connection with `code`: a close frame, then the end
// of the connection, and no answer to anything sent.
void expectClosedWith(RawWebSocket& raw, quint16 code)
{
    const std::optional<RawWebSocket::Frame> frame = raw.readFrame();
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->opcode, 0x8);
    EXPECT_EQ(frame->closeCode(), code);
    EXPECT_TRUE(raw.waitClosed());
}

// The first message on every connection: whether it resumed a control, and
// the id to resume it with.
void expectSession(RawWebSocket& raw)
{
    const std::optional<RawWebSocket::Frame> frame = raw.readFrame();
    ASSERT_TRUE(frame.has_value());
    ASSERT_EQ(frame->opcode, 0x1);
    EXPECT_EQ(QJsonDocument::fromJson(frame->payload).object().value(QLatin1String("method")).toString(),
              QStringLiteral("$session"));
}

// One host on a free port for every test; its first stdout line tells the
// WebSocket's URL, port and token.
class WebSocketHost : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Every test opens pages of its own; their controls end as soon as
        // they close.
        s_host = std::make_unique<HostProcess>(QStringList{QStringLiteral("--ws-port"), QStringLiteral("0"),
                                                           QStringLiteral("--max-pages"), QStringLiteral("64"),
                                                           QStringLiteral("--resume-grace-ms"), QStringLiteral("0")});
        ASSERT_TRUE(s_host->start());
        const std::optional<QJsonObject> first = s_host->readMessage();
        ASSERT_TRUE(first.has_value());
        s_port = static_cast<quint16>(first->value(QLatin1String("port")).toInt());
        s_token = first->value(QLatin1String("token")).toString();
        ASSERT_NE(s_port, 0);
        ASSERT_EQ(first->value(QLatin1String("ws")).toString(),
                  QStringLiteral("ws://127.0.0.1:%1/?token=%2").arg(s_port).arg(s_token));
    }
    // Asked to end, the host ends by itself, at once and with code 0.
    static void TearDownTestSuite()
    {
        EXPECT_EQ(s_host->terminateAndWait(5000), 0);
        s_host.reset();
    }

    static QUrl url(const QString& query) { return QUrl(QStringLiteral("ws://127.0.0.1:%1/%2").arg(s_port).arg(query)); }
    static QUrl goodUrl() { return url(QStringLiteral("?token=") + s_token); }
    static QByteArray goodHost() { return "127.0.0.1:" + QByteArray::number(s_port); }
    static QByteArray goodTarget() { return "/?token=" + s_token.toUtf8(); }
    static QList<QByteArray> upgradeHeaders()
    {
        return {"Upgrade: websocket", "Connection: Upgrade", "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==",
                "Sec-WebSocket-Version: 13"};
    }
    // A raw connection through a proper handshake.
    static void openRaw(RawWebSocket& raw)
    {
        ASSERT_TRUE(raw.connectTo(s_port));
        ASSERT_EQ(raw.handshake(goodTarget(), upgradeHeaders() << "Host: " + goodHost() << "Origin: " + kPageOrigin),
                  101)
            << raw.response().constData();
        expectSession(raw);
    }

    static std::unique_ptr<HostProcess> s_host;
    static quint16 s_port;
    static QString s_token;
};

std::unique_ptr<HostProcess> WebSocketHost::s_host;
quint16 WebSocketHost::s_port = 0;
QString WebSocketHost::s_token;

TEST_F(WebSocketHost, TheRecorderPageWithTheTokenIsServed)
{
    Page first;
    Page second;
    first.open(goodUrl(), kPageOrigin, goodHost());
    second.open(goodUrl(), kPageOrigin, "localhost:" + QByteArray::number(s_port));
    ASSERT_TRUE(first.connected());
    ASSERT_TRUE(second.connected());

    EXPECT_EQ(resultOf(first.call("GetVolume", QJsonArray{12345})), QJsonValue(1000));
    EXPECT_EQ(resultOf(second.call("startview", QJsonArray{1, 2, 3})), QJsonValue(qint64(4294967295LL)));
    EXPECT_EQ(errorCodeOf(first.call("GetVolume", QJsonArray{-1})), -32602);
    EXPECT_EQ(resultOf(first.call("$typelib", QJsonArray{})).toObject().value(QLatin1String("progId")).toString(),
              QStringLiteral("VELK_DVR.VELK_DVRCtrl.1"));

    // A page gets the picture in the answer; it cannot make the host write files.
    const QJsonObject picture = resultOf(first.call("$grab", QJsonArray{})).toObject();
    EXPECT_EQ(picture.value(QLatin1String("width")).toInt(), 960);
    EXPECT_FALSE(picture.value(QLatin1String("png")).toString().isEmpty());
    EXPECT_EQ(errorCodeOf(first.call("$grab", QJsonArray{s_host->homePath() + "/page.png"})), -32602);
}

TEST_F(WebSocketHost, AForeignOriginIsRefused)
{
    Page page;
    page.open(goodUrl(), "http://evil.example", goodHost());
    EXPECT_TRUE(page.waitDisconnected());
    EXPECT_FALSE(page.connected());

    Page noOrigin;
    noOrigin.open(goodUrl(), QByteArray(), goodHost());
    EXPECT_TRUE(noOrigin.waitDisconnected());
    EXPECT_FALSE(noOrigin.connected());
}

TEST_F(WebSocketHost, AMissingOrWrongTokenIsRefused)
{
    for (const QString& query : {QString(), QStringLiteral("?token=0123456789abcdef0123456789abcdef"),
                                 QStringLiteral("?token=") + s_token.left(31)}) {
        Page page;
        page.open(url(query), kPageOrigin, goodHost());
        EXPECT_TRUE(page.waitDisconnected()) << qPrintable(query);
        if (page.connected()) {
            EXPECT_EQ(page.socket().closeCode(), QWebSocketProtocol::CloseCodePolicyViolated);
        }
        EXPECT_TRUE(page.messages().isEmpty());
    }
}

TEST_F(WebSocketHost, AWrongHostHeaderIsRefused)
{
    // A raw client: Qt's would resolve the name and send a Host of its own.
    for (const QByteArray& host : {"evil.example:" + QByteArray::number(s_port), QByteArray("127.0.0.1:1"),
                                   QByteArray("127.0.0.1")}) {
        RawWebSocket raw;
        ASSERT_TRUE(raw.connectTo(s_port));
        ASSERT_EQ(raw.handshake(goodTarget(), upgradeHeaders() << "Host: " + host << "Origin: " + kPageOrigin), 101);
        raw.send(RawWebSocket::text(kGetVolume));
        expectClosedWith(raw, 1008);
    }
}

TEST_F(WebSocketHost, AnOversizeMessageClosesTheConnection)
{
    Page page;
    page.open(goodUrl(), kPageOrigin, goodHost());
    ASSERT_TRUE(page.connected());
    const QString huge = QStringLiteral("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"CreateOsdMatrix\",\"params\":[\"%1\",0]}")
                             .arg(QString(2 * 1024 * 1024, QLatin1Char('x')));
    page.socket().sendTextMessage(huge);
    EXPECT_TRUE(page.waitDisconnected());
    EXPECT_TRUE(page.messages().isEmpty());

    // Other pages are not affected.
    Page other;
    other.open(goodUrl(), kPageOrigin, goodHost());
    ASSERT_TRUE(other.connected());
    EXPECT_EQ(resultOf(other.call("GetVolume", QJsonArray{1})), QJsonValue(1000));
}

}  // namespace

TEST_F(WebSocketHost, APageGetsFramesOnlyWhenItIsReadyAndThePictureChanged)
{
    Page page;
    page.open(goodUrl(), kPageOrigin, goodHost());
    ASSERT_TRUE(page.connected());
    const auto stats = [&page] { return resultOf(page.call("$viewStats", QJsonArray{})).toObject(); };
    const auto count = [](const QJsonObject& s, const char* name) { return s.value(QLatin1String(name)).toInteger(); };

    EXPECT_EQ(resultOf(page.call("$view", QJsonObject{{"fps", 25}})).toObject().value(QLatin1String("format")),
              QJsonValue("jpeg"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return page.frames().size() == 1; }, kWaitMs));
    EXPECT_EQ(QImage::fromData(page.frames().first(), "JPEG").size(), QSize(960, 540));

    // Unacknowledged: one more frame may be in flight; then nothing more,
    // even when the picture changes, however many ticks pass (the streamer
    // counts the ticks it held the page back).
    EXPECT_EQ(resultOf(page.call("$resize", QJsonArray{640, 360})), QJsonValue(QJsonObject{{"width", 640}, {"height", 360}}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return page.frames().size() == 2; }, kWaitMs));
    EXPECT_EQ(QImage::fromData(page.frames().last(), "JPEG").size(), QSize(640, 360));
    EXPECT_EQ(resultOf(page.call("$resize", QJsonArray{800, 450})), QJsonValue(QJsonObject{{"width", 800}, {"height", 450}}));
    const qint64 heldBefore = count(stats(), "heldForAck");
    ASSERT_TRUE(QTest::qWaitFor([&] { return count(stats(), "heldForAck") >= heldBefore + 3; }, kWaitMs));
    EXPECT_EQ(page.frames().size(), 2);

    // Acknowledged: the changed picture comes.
    page.notify("$ack");
    ASSERT_TRUE(QTest::qWaitFor([&] { return page.frames().size() == 3; }, kWaitMs));
    EXPECT_EQ(QImage::fromData(page.frames().last(), "JPEG").size(), QSize(800, 450));
    page.notify("$ack");

    // Acknowledged and unchanged: pictures are grabbed but none is sent.
    // The next frame the page gets is the next change.
    page.notify("$ack");
    const QJsonObject before = stats();
    ASSERT_TRUE(QTest::qWaitFor([&] { return count(stats(), "unchanged") >= count(before, "unchanged") + 3; }, kWaitMs));
    EXPECT_EQ(page.frames().size(), 3);
    EXPECT_EQ(count(stats(), "framesSent"), count(before, "framesSent"));
    resultOf(page.call("$resize", QJsonArray{960, 540}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return page.frames().size() >= 4; }, kWaitMs));
    EXPECT_EQ(QImage::fromData(page.frames().at(3), "JPEG").size(), QSize(960, 540));

    EXPECT_EQ(errorCodeOf(page.call("$resize", QJsonArray{10, 10})), -32602);
    EXPECT_EQ(errorCodeOf(page.call("$resize", QJsonArray{"wide", 360})), -32602);
    resultOf(page.call("$view", QJsonObject{{"fps", 0}}));
}

TEST_F(WebSocketHost, BatchesAndInvalidRequestsAreAnsweredOverTheSocketToo)
{
    Page page;
    page.open(goodUrl(), kPageOrigin, goodHost());
    ASSERT_TRUE(page.connected());
    QStringList raw;
    QObject::connect(&page.socket(), &QWebSocket::textMessageReceived, [&raw](const QString& text) { raw << text; });
    page.socket().sendTextMessage(QStringLiteral(R"({"jsonrpc":"2.0","method":1,"params":"bar"})"));
    page.socket().sendTextMessage(
        QStringLiteral(R"([{"jsonrpc":"2.0","id":7,"method":"GetVolume","params":[1]},{"jsonrpc":"2.0","method":"x"}])"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return raw.size() == 2; }, kWaitMs));
    const QJsonObject invalid = QJsonDocument::fromJson(raw.at(0).toUtf8()).object();
    EXPECT_EQ(errorCodeOf(invalid), -32600);
    EXPECT_TRUE(invalid.value(QLatin1String("id")).isNull());
    const QJsonArray batch = QJsonDocument::fromJson(raw.at(1).toUtf8()).array();
    ASSERT_EQ(batch.size(), 1);
    EXPECT_EQ(resultOf(batch.at(0).toObject()), QJsonValue(1000));
}

TEST(WebSocketHostLife, SigtermEndsTheHostCleanlyWithPagesConnected)
{
    HostProcess host({QStringLiteral("--ws-port"), QStringLiteral("0")});
    ASSERT_TRUE(host.start());
    const std::optional<QJsonObject> first = host.readMessage();
    ASSERT_TRUE(first.has_value());
    const quint16 port = static_cast<quint16>(first->value(QLatin1String("port")).toInt());
    Page page;
    page.open(QUrl(first->value(QLatin1String("ws")).toString()), kPageOrigin, "127.0.0.1:" + QByteArray::number(port));
    ASSERT_TRUE(page.connected());
    EXPECT_EQ(resultOf(page.call("GetVolume", QJsonArray{1})), QJsonValue(1000));

    EXPECT_EQ(host.terminateAndWait(5000), 0);
    EXPECT_TRUE(page.waitDisconnected());
    EXPECT_EQ(page.socket().closeCode(), QWebSocketProtocol::CloseCodeGoingAway);
}

TEST_F(WebSocketHost, APageListsEveryMethodOfTheControl)
{
    Page page;
    page.open(goodUrl(), kPageOrigin, goodHost());
    ASSERT_TRUE(page.connected());
    const QJsonObject all = resultOf(page.call("$methods", QJsonArray{})).toObject();
    const QJsonArray methods = all.value(QLatin1String("methods")).toArray();
    EXPECT_EQ(methods.size(), 57);
    EXPECT_EQ(all.value(QLatin1String("events")).toArray().size(), 4);
    bool sawLogin = false;
    for (const QJsonValue& method : methods)
        sawLogin = sawLogin || method.toObject().value(QLatin1String("name")).toString() == QLatin1String("Login");
    EXPECT_TRUE(sawLogin);
}

TEST_F(WebSocketHost, ARawClientWithAProperHandshakeIsServed)
{
    RawWebSocket raw;
    openRaw(raw);
    EXPECT_TRUE(raw.response().contains("Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n"));
    raw.send(RawWebSocket::text(kGetVolume));
    const std::optional<RawWebSocket::Frame> answer = raw.readFrame();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->opcode, 0x1);
    EXPECT_TRUE(answer->fin);
    EXPECT_EQ(QJsonDocument::fromJson(answer->payload).object(), QJsonDocument::fromJson(kVolumeAnswer).object());
}

TEST_F(WebSocketHost, AnUnmaskedFrameIsAProtocolError)
{
    RawWebSocket raw;
    openRaw(raw);
    raw.send(RawWebSocket::frame(0x81, kGetVolume, /*masked=*/false));
    expectClosedWith(raw, 1002);
}

TEST_F(WebSocketHost, RepeatedOriginOrHostHeadersAreRefused)
{
    const QByteArray origin = "Origin: " + kPageOrigin;
    const QByteArray host = "Host: " + goodHost();
    const QList<QList<QByteArray>> cases = {
        {host, origin, "Origin: http://evil.example"},
        {host, "Origin: http://evil.example", origin},
        {host, origin, origin},
        {host, host, origin},
        {"Host: evil.example:80", host, origin},
        {host, origin, "host: " + goodHost()},
    };
    for (const QList<QByteArray>& headers : cases) {
        RawWebSocket raw;
        ASSERT_TRUE(raw.connectTo(s_port));
        EXPECT_EQ(raw.handshake(goodTarget(), upgradeHeaders() + headers), 403) << headers.join(" | ").constData();
        EXPECT_TRUE(raw.waitClosed());
    }
}

TEST_F(WebSocketHost, AnOversizeOrUnfinishedHandshakeIsClosed)
{
    {
        RawWebSocket raw;
        ASSERT_TRUE(raw.connectTo(s_port));
        QByteArray head = "GET " + goodTarget() + " HTTP/1.1\r\nHost: " + goodHost() + "\r\n";
        while (head.size() < 9 * 1024)
            head += "X-Filler: " + QByteArray(100, 'x') + "\r\n";
        raw.send(head);
        EXPECT_TRUE(raw.waitClosed());
    }
    {
        // Never finished: the host ends it on its own.
        RawWebSocket raw;
        ASSERT_TRUE(raw.connectTo(s_port));
        raw.send("GET " + goodTarget() + " HTTP/1.1\r\nHost: " + goodHost() + "\r\n");
        EXPECT_TRUE(raw.waitClosed());
    }
    // A request that is not a WebSocket upgrade gets an HTTP error.
    {
        RawWebSocket raw;
        ASSERT_TRUE(raw.connectTo(s_port));
        EXPECT_EQ(raw.handshake(goodTarget(), {"Host: " + goodHost(), "Origin: " + kPageOrigin}), 400);
        EXPECT_TRUE(raw.waitClosed());
    }
}

TEST_F(WebSocketHost, AFragmentedTextMessageIsReassembled)
{
    RawWebSocket raw;
    openRaw(raw);
    // "€" split across two fragments is still valid text; a ping may come
    // between fragments and is answered at once.
    const QByteArray message = R"({"jsonrpc":"2.0","id":1,"method":"GetVolume","params":["1"],"x":"€"})";
    const qsizetype euro = message.indexOf("\xE2\x82\xAC");
    raw.send(RawWebSocket::frame(0x01, message.left(10)));
    raw.send(RawWebSocket::frame(0x00, message.mid(10, euro + 1 - 10)));
    raw.send(RawWebSocket::frame(0x89, "between"));
    raw.send(RawWebSocket::frame(0x80, message.mid(euro + 1)));
    const std::optional<RawWebSocket::Frame> pong = raw.readFrame();
    ASSERT_TRUE(pong.has_value());
    EXPECT_EQ(pong->opcode, 0xA);
    EXPECT_EQ(pong->payload, QByteArray("between"));
    const std::optional<RawWebSocket::Frame> answer = raw.readFrame();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(QJsonDocument::fromJson(answer->payload).object().value(QLatin1String("result")), QJsonValue(1000));
}

TEST_F(WebSocketHost, APingIsAnsweredWithItsData)
{
    RawWebSocket raw;
    openRaw(raw);
    for (const QByteArray& data : {QByteArray(), QByteArray("hello"), QByteArray(125, '\x7f')}) {
        raw.send(RawWebSocket::frame(0x89, data));
        const std::optional<RawWebSocket::Frame> pong = raw.readFrame();
        ASSERT_TRUE(pong.has_value());
        EXPECT_EQ(pong->opcode, 0xA);
        EXPECT_EQ(pong->payload, data);
    }
    // An unasked pong is ignored.
    raw.send(RawWebSocket::frame(0x8A, "unasked"));
    raw.send(RawWebSocket::text(kGetVolume));
    const std::optional<RawWebSocket::Frame> answer = raw.readFrame();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->opcode, 0x1);
}

TEST_F(WebSocketHost, TextThatIsNotUtf8Closes1007)
{
    const QList<QByteArray> texts = {
        "\xC0\xAF",          // overlong "/"
        "\xED\xA0\x80",      // a UTF-16 surrogate
        "\xF4\x90\x80\x80",  // beyond U+10FFFF
        "ok \xE2\x82",       // cut short
        "\xFF",
    };
    for (const QByteArray& text : texts) {
        RawWebSocket raw;
        openRaw(raw);
        raw.send(RawWebSocket::text(text));
        expectClosedWith(raw, 1007);
    }
}

TEST_F(WebSocketHost, ProtocolErrorsClose1002)
{
    // 127: a 64-bit length follows, here with its top bit set.
    const QByteArray hugeLength = QByteArray("\x81\xFF", 2) + QByteArray("\x80\x00\x00\x00\x00\x00\x00\x05", 8) +
                 QByteArray("\x01\x02\x03\x04", 4) + "hello";
    const QList<std::pair<const char*, QByteArray>> cases = {
        {"64-bit length with its top bit set", hugeLength},
        {"reserved bit", RawWebSocket::frame(0xC1, kGetVolume)},
        {"unknown data opcode", RawWebSocket::frame(0x83, kGetVolume)},
        {"unknown control opcode", RawWebSocket::frame(0x8B, "x")},
        {"fragmented ping", RawWebSocket::frame(0x09, "x")},
        {"long ping", RawWebSocket::frame(0x89, QByteArray(126, 'x'))},
        {"continuation without a message", RawWebSocket::frame(0x80, kGetVolume)},
        {"new message inside a fragmented one", RawWebSocket::frame(0x01, "{") + RawWebSocket::text(kGetVolume)},
        {"close code 1005", RawWebSocket::frame(0x88, closeFramePayload(1005))},
        {"one-byte close payload", RawWebSocket::frame(0x88, "x")},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        RawWebSocket raw;
        openRaw(raw);
        raw.send(bytes);
        expectClosedWith(raw, 1002);
    }
}

TEST_F(WebSocketHost, ABinaryMessageCloses1003)
{
    RawWebSocket raw;
    openRaw(raw);
    raw.send(RawWebSocket::frame(0x82, kGetVolume));
    expectClosedWith(raw, 1003);
}

TEST_F(WebSocketHost, AnOversizeMessageCloses1009BeforeItArrives)
{
    RawWebSocket raw;
    openRaw(raw);
    // Only the header of a 2 MiB frame: the host does not wait for the rest.
    raw.send(RawWebSocket::frame(0x81, QByteArray(2 * 1024 * 1024, 'x')).left(14));
    expectClosedWith(raw, 1009);
}

TEST_F(WebSocketHost, ACloseFrameIsEchoed)
{
    for (quint16 code : {quint16(1000), quint16(1001), quint16(4000)}) {
        RawWebSocket raw;
        openRaw(raw);
        raw.send(RawWebSocket::frame(0x88, closeFramePayload(code, "bye")));
        expectClosedWith(raw, code);
    }
    // Without a code: answered with a close frame all the same.
    RawWebSocket raw;
    openRaw(raw);
    raw.send(RawWebSocket::frame(0x88, QByteArray()));
    const std::optional<RawWebSocket::Frame> frame = raw.readFrame();
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->opcode, 0x8);
    EXPECT_TRUE(raw.waitClosed());
}

TEST_F(WebSocketHost, ResizeRefusesSidesOutOfRangeHoweverLarge)
{
    Page page;
    page.open(goodUrl(), kPageOrigin, goodHost());
    ASSERT_TRUE(page.connected());
    // Sent as text: numbers beyond a double (1e400) or an int (1e20,
    // 2^32 + 640) must be refused, not converted.
    const QList<QByteArray> sizes = {"[1e400, 360]", "[640, 1e400]", "[-1e400, 360]", "[1e20, 360]",
                                     "[640, -1e20]", "[4294967936, 360]", "[640.5, 360]", "[63, 360]",
                                     "[3841, 360]", "[640, 2161]"};
    int id = 100;
    for (const QByteArray& size : sizes) {
        page.socket().sendTextMessage(
            QStringLiteral(R"({"jsonrpc":"2.0","id":%1,"method":"$resize","params":%2})").arg(id).arg(QString::fromLatin1(size)));
        const int expected = id++;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                for (const QJsonObject& message : page.messages()) {
                    if (message.value(QLatin1String("id")) == QJsonValue(expected))
                        return true;
                }
                return page.disconnected();
            },
            kWaitMs))
            << size.constData();
        ASSERT_FALSE(page.disconnected()) << size.constData();
        EXPECT_EQ(errorCodeOf(page.messages().last()), -32602) << size.constData();
    }
    // The largest and smallest sizes are taken; the control ends at its usual size.
    EXPECT_EQ(resultOf(page.call("$resize", QJsonArray{3840, 64})), QJsonValue(QJsonObject{{"width", 3840}, {"height", 64}}));
    EXPECT_EQ(resultOf(page.call("$resize", QJsonArray{960, 540})), QJsonValue(QJsonObject{{"width", 960}, {"height", 540}}));
}

namespace {

// A host of its own, for tests that fill its limits.
struct LimitedHost {
    explicit LimitedHost(QStringList extra = {})
        : process(QStringList{QStringLiteral("--ws-port"), QStringLiteral("0")} + extra)
    {
    }
    HostProcess process;
    quint16 port = 0;
    QByteArray token;

    bool start()
    {
        QString text;
        if (!process.start() || !process.readWebSocketAddress(port, text))
            return false;
        token = text.toUtf8();
        return true;
    }
    int handshake(RawWebSocket& raw, const QByteArray& query = QByteArray()) const
    {
        if (!raw.connectTo(port))
            return -1;
        return raw.handshake("/?token=" + token + query,
                             {"Host: 127.0.0.1:" + QByteArray::number(port), "Origin: " + kPageOrigin,
                              "Upgrade: websocket", "Connection: Upgrade",
                              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==", "Sec-WebSocket-Version: 13"});
    }
    // A page served by a control: the handshake and the $session message.
    void openPage(RawWebSocket& raw) const
    {
        ASSERT_EQ(handshake(raw), 101);
        expectSession(raw);
    }
};

bool answersGetVolume(RawWebSocket& raw)
{
    raw.send(RawWebSocket::text(kGetVolume));
    const std::optional<RawWebSocket::Frame> answer = raw.readFrame();
    return answer && answer->opcode == 0x1 &&
           QJsonDocument::fromJson(answer->payload).object().value(QLatin1String("result")) == QJsonValue(1000);
}

}  // namespace

TEST(WebSocketHostLife, APageBeyondTheLimitIsRefusedUntilAControlEnds)
{
    // Two pages at most; a page's control waits 1.5 s for it after it left.
    LimitedHost host({QStringLiteral("--max-pages"), QStringLiteral("2"), QStringLiteral("--resume-grace-ms"),
                      QStringLiteral("1500")});
    ASSERT_TRUE(host.start());
    std::vector<std::unique_ptr<RawWebSocket>> pages;
    for (int i = 0; i < 2; ++i) {
        pages.push_back(std::make_unique<RawWebSocket>());
        host.openPage(*pages.back());
        ASSERT_TRUE(answersGetVolume(*pages.back()));
    }
    RawWebSocket third;
    ASSERT_EQ(host.handshake(third), 101);
    const std::optional<RawWebSocket::Frame> refusal = third.readFrame();
    ASSERT_TRUE(refusal.has_value());
    EXPECT_EQ(refusal->closeCode(), 1013);
    EXPECT_TRUE(refusal->payload.contains("at most 2")) << refusal->payload.constData();

    // One page leaves; its control still holds its place for the grace
    // time, then the next page is served.
    pages.front()->send(RawWebSocket::frame(0x88, closeFramePayload(1000)));
    expectClosedWith(*pages.front(), 1000);
    RawWebSocket early;
    ASSERT_EQ(host.handshake(early), 101);
    const std::optional<RawWebSocket::Frame> stillFull = early.readFrame();
    ASSERT_TRUE(stillFull.has_value());
    EXPECT_EQ(stillFull->closeCode(), 1013);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            RawWebSocket next;
            if (host.handshake(next) != 101)
                return false;
            const std::optional<RawWebSocket::Frame> first = next.readFrame();
            return first && first->opcode == 0x1 && answersGetVolume(next);
        },
        10000));
    EXPECT_EQ(host.process.terminateAndWait(10000), 0);
}

TEST(WebSocketHostLife, IdleHandshakesCannotPileUp)
{
    LimitedHost host;
    ASSERT_TRUE(host.start());
    // 16 connections that never send their request hold every handshake place.
    std::vector<std::unique_ptr<RawWebSocket>> idle;
    for (int i = 0; i < 16; ++i) {
        idle.push_back(std::make_unique<RawWebSocket>());
        ASSERT_TRUE(idle.back()->connectTo(host.port));
    }
    RawWebSocket extra;
    EXPECT_EQ(host.handshake(extra), 0);
    EXPECT_TRUE(extra.waitClosed());
    // Once they are cut for taking too long, pages are served again.
    for (const auto& connection : idle)
        EXPECT_TRUE(connection->waitClosed());
    RawWebSocket page;
    host.openPage(page);
    EXPECT_TRUE(answersGetVolume(page));
    EXPECT_EQ(host.process.terminateAndWait(10000), 0);
}
