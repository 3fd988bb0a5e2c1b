// SPDX-License-Identifier: GPL-3.0-or-later
// The host driven by a script against a real recorder: a login, a device
// notification reaching the script as an event, and calls and input served
// while a modal dialog of the control is open.
#include "HostProcess.h"
#include "RecorderProcess.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
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

}  // namespace
