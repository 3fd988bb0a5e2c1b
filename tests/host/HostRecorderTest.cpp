// SPDX-License-Identifier: GPL-3.0-or-later
// The host driven by a script or a page against a real recorder: a login, a
// device notification reaching the script as an event, and calls and input
// served while a modal dialog of the control is open.
#include "HostProcess.h"
#include "RawWebSocket.h"
#include "RecorderProcess.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QThread>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class HostWithRecorder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(recorder.start(QStringLiteral("viewer"), QStringLiteral("secret9")));
        ASSERT_TRUE(host.start());
    }

    QString login(const QString& user, const QByteArray& password)
    {
        return resultOf(host.call(QStringLiteral("Login"),
                                  QJsonArray{"127.0.0.1", recorder.devicePort(), user, passwordText(password)}))
            .toString();
    }

    RecorderProcess recorder;
    HostProcess host;
};

TEST_F(HostWithRecorder, LoginThenDeviceNotificationArrivesAsAnEvent)
{
    const QString result = login(QStringLiteral("viewer"), "secret9");
    ASSERT_TRUE(result.startsWith(QLatin1String("00000000_"))) << qPrintable(result);
    const int id = result.mid(9).toInt();
    ASSERT_GT(id, 0);

    ASSERT_TRUE(recorder.notify(8));
    QDeadlineTimer deadline(5000);
    bool seen = false;
    while (!seen && !deadline.hasExpired()) {
        for (const QJsonObject& note : host.notifications()) {
            if (note.value(QLatin1String("method")).toString() == QLatin1String("ReTurnPreviewAllChannelState")) {
                const QJsonObject params = note.value(QLatin1String("params")).toObject();
                EXPECT_EQ(params.value(QLatin1String("ulType")).toInt(), 2);
                EXPECT_EQ(params.value(QLatin1String("ulOpen")).toInt(), 0);
                seen = true;
            }
        }
        if (!seen)
            resultOf(host.call(QStringLiteral("GetVolume"), QJsonArray{id}));  // collects notifications
    }
    EXPECT_TRUE(seen);

    // A notification of another kind fires nothing.
    const auto before = host.notifications().size();
    ASSERT_TRUE(recorder.notify(3));
    resultOf(host.call(QStringLiteral("GetVolume"), QJsonArray{id}));
    EXPECT_EQ(host.notifications().size(), before);

    EXPECT_EQ(resultOf(host.call(QStringLiteral("Logout"), QJsonArray{id})).toInteger(), 0);
    EXPECT_EQ(resultOf(host.call(QStringLiteral("Logout"), QJsonArray{id})).toInteger(), -2 & 0xFFFFFFFFLL);
}

TEST_F(HostWithRecorder, WrongPasswordAndUnknownUserGiveDistinctCodes)
{
    const QString wrongPassword = login(QStringLiteral("viewer"), "secret8");
    const QString unknownUser = login(QStringLiteral("nobody"), "secret9");
    EXPECT_TRUE(wrongPassword.endsWith(QLatin1String("_0"))) << qPrintable(wrongPassword);
    EXPECT_TRUE(unknownUser.endsWith(QLatin1String("_0"))) << qPrintable(unknownUser);
    EXPECT_NE(wrongPassword, unknownUser);
    EXPECT_NE(wrongPassword, QLatin1String("00000000_0"));
}

TEST_F(HostWithRecorder, FolderDialogKeepsTheHostServing)
{
#if defined(__SANITIZE_THREAD__)
    // Qt's file dialog fills its model on Qt's own (uninstrumented) threads.
    GTEST_SKIP() << "the folder dialog is not checked under ThreadSanitizer";
#endif
    const QString result = login(QStringLiteral("viewer"), "secret9");
    const int id = result.mid(9).toInt();
    ASSERT_GT(id, 0);

    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("grab.png"));
    auto grab = [&] {
        QImage picture;
        resultOf(host.call(QStringLiteral("$grab"), QJsonArray{png}));
        EXPECT_TRUE(picture.load(png));
        return picture;
    };
    // The picture once the control has finished repainting after the login.
    QImage withoutDialog = grab();
    for (QDeadlineTimer settle(5000); !settle.hasExpired();) {
        QThread::msleep(100);
        const QImage again = grab();
        if (again == withoutDialog)
            break;
        withoutDialog = again;
    }

    // GetFolderPath opens a modal dialog and answers only when it closes.
    host.sendLine(QByteArray(R"({"jsonrpc":"2.0","id":9001,"method":"GetFolderPath","params":[)") +
                  QByteArray::number(id) + "]}");

    // Meanwhile other calls are answered, and the dialog shows in the picture.
    EXPECT_EQ(resultOf(host.call(QStringLiteral("GetVolume"), QJsonArray{id})).toInteger(), 50);
    QDeadlineTimer deadline(5000);
    bool dialogShown = false;
    while (!dialogShown && !deadline.hasExpired())
        dialogShown = grab() != withoutDialog;
    EXPECT_TRUE(dialogShown);

    // Escape cancels: the dialog's call answers with an empty text.
    host.sendLine(R"({"jsonrpc":"2.0","id":9002,"method":"$input","params":[{"type":"key","key":"Escape"}]})");
    QJsonValue folder;
    bool inputAnswered = false;
    while (!(inputAnswered && folder.isString()) && !deadline.hasExpired()) {
        const std::optional<QJsonObject> message = host.readMessage(3000);
        if (!message)
            break;
        if (message->value(QLatin1String("id")).toInt() == 9001)
            folder = message->value(QLatin1String("result"));
        if (message->value(QLatin1String("id")).toInt() == 9002)
            inputAnswered = true;
    }
    EXPECT_TRUE(inputAnswered);
    EXPECT_EQ(folder, QJsonValue(QString()));
    // The control repaints where the dialog was once the dialog has gone.
    QDeadlineTimer repaint(5000);
    bool dialogGone = false;
    while (!dialogGone && !repaint.hasExpired())
        dialogGone = grab() == withoutDialog;
    EXPECT_TRUE(dialogGone);

    // A batch whose first member opens the dialog answers once the dialog
    // has closed and its second member has run; calls on their own are
    // served meanwhile.
    host.sendLine(QByteArray(R"([{"jsonrpc":"2.0","id":9101,"method":"GetFolderPath","params":[)") +
                  QByteArray::number(id) + R"(]},{"jsonrpc":"2.0","id":9102,"method":"GetVolume","params":[)" +
                  QByteArray::number(id) + "]}]");
    QDeadlineTimer opened(5000);
    bool batchDialogShown = false;
    while (!batchDialogShown && !opened.hasExpired())
        batchDialogShown = grab() != withoutDialog;  // each answer read here is a lone call's, not the batch's
    EXPECT_TRUE(batchDialogShown);
    host.sendLine(R"({"jsonrpc":"2.0","id":9103,"method":"$input","params":[{"type":"key","key":"Escape"}]})");
    QJsonArray batch;
    for (QDeadlineTimer answered(5000); batch.isEmpty() && !answered.hasExpired();) {
        const std::optional<QByteArray> line = host.readLine(3000);
        if (!line)
            break;
        const QJsonDocument document = QJsonDocument::fromJson(*line);
        if (document.isArray())
            batch = document.array();
    }
    ASSERT_EQ(batch.size(), 2);
    EXPECT_EQ(batch.at(0).toObject().value(QLatin1String("result")), QJsonValue(QString()));
    EXPECT_EQ(batch.at(1).toObject().value(QLatin1String("id")).toInt(), 9102);
    EXPECT_EQ(batch.at(1).toObject().value(QLatin1String("result")).toInteger(), 50);
}

// A page on the WebSocket, one call at a time or several in flight.
class PageOnSocket {
public:
    bool open(quint16 port, const QString& token)
    {
        const QByteArray host = "Host: 127.0.0.1:" + QByteArray::number(port);
        return m_raw.connectTo(port) &&
               m_raw.handshake("/?token=" + token.toUtf8(),
                               {host, "Origin: http://127.0.0.1:8080", "Upgrade: websocket", "Connection: Upgrade",
                                "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==", "Sec-WebSocket-Version: 13"}) == 101;
    }
    void send(int id, const QString& method, const QJsonArray& params)
    {
        m_raw.send(RawWebSocket::text(
            QJsonDocument(QJsonObject{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}})
                .toJson(QJsonDocument::Compact)));
    }
    // Whether the answer to `id` was read already.
    bool hasAnswer(int id) const { return m_answers.contains(id); }
    // The answer to `id`; answers to other calls read meanwhile are kept.
    std::optional<QJsonObject> answer(int id)
    {
        for (QDeadlineTimer deadline(10000); !deadline.hasExpired();) {
            if (m_answers.contains(id))
                return m_answers.take(id);
            const std::optional<RawWebSocket::Frame> frame = m_raw.readFrame();
            if (!frame)
                return std::nullopt;
            const QJsonObject message = QJsonDocument::fromJson(frame->payload).object();
            if (message.contains(QLatin1String("id")))
                m_answers.insert(message.value(QLatin1String("id")).toInt(), message);
        }
        return std::nullopt;
    }
    QJsonValue call(int id, const QString& method, const QJsonArray& params)
    {
        send(id, method, params);
        const std::optional<QJsonObject> response = answer(id);
        return response ? resultOf(*response) : QJsonValue();
    }

private:
    RawWebSocket m_raw;
    QMap<int, QJsonObject> m_answers;
};

TEST(HostWithRecorderPage, APageClosesTheDialogItsOwnCallOpened)
{
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the folder dialog is not checked under ThreadSanitizer";
#endif
    RecorderProcess recorder;
    ASSERT_TRUE(recorder.start(QStringLiteral("viewer"), QStringLiteral("secret9")));
    HostProcess host({QStringLiteral("--ws-port"), QStringLiteral("0")});
    ASSERT_TRUE(host.start());
    quint16 port = 0;
    QString token;
    ASSERT_TRUE(host.readWebSocketAddress(port, token));
    PageOnSocket page;
    ASSERT_TRUE(page.open(port, token));

    const QString login = page.call(1, QStringLiteral("Login"),
                                    QJsonArray{"127.0.0.1", recorder.devicePort(), "viewer", passwordText("secret9")})
                              .toString();
    const int id = login.mid(9).toInt();
    ASSERT_GT(id, 0) << qPrintable(login);
    // The dialog's nested loop reads this page's further messages: a call
    // is answered, and the page's own Escape closes the dialog. Escape is
    // sent until the dialog's call answers: one sent before the dialog is
    // up goes to the control, which ignores it.
    page.send(2, QStringLiteral("GetFolderPath"), QJsonArray{id});
    EXPECT_EQ(page.call(3, QStringLiteral("GetVolume"), QJsonArray{id}).toInteger(), 50);
    int next = 100;
    for (QDeadlineTimer deadline(10000); !page.hasAnswer(2) && !deadline.hasExpired();) {
        EXPECT_EQ(page.call(next++, QStringLiteral("$input"), QJsonArray{QJsonObject{{"type", "key"}, {"key", "Escape"}}}),
                  QJsonValue(QJsonValue::Null));
        QThread::msleep(50);
    }
    const std::optional<QJsonObject> folder = page.answer(2);
    ASSERT_TRUE(folder.has_value());
    EXPECT_EQ(resultOf(*folder), QJsonValue(QString()));
    EXPECT_EQ(page.call(5, QStringLiteral("Logout"), QJsonArray{id}).toInteger(), 0);
}

}  // namespace
