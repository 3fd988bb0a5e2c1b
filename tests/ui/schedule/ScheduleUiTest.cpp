// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule page through the real host against a real recorder: painting
// with the mouse through $input and reading the text back, the record time
// dialog opened by a double-click, and a channel's schedule going from the
// recorder's API into the control and back.
#include "HostProcess.h"
#include "RecorderProcess.h"

#include <QDeadlineTimer>
#include <QImage>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

// Texts in failure messages.
void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// The control is 960 x 540; the schedule page covers it, its grid sits at
// (10, 50) with a 100-pixel label column, a 25-pixel header and 10 x 30 cells.
constexpr int kControlWidth = 960;
constexpr int kControlHeight = 540;
// The record time dialog: 654 x 358, centred over the control.
constexpr int kDialogLeft = kControlWidth / 2 - 654 / 2;
constexpr int kDialogTop = kControlHeight / 2 - 358 / 2;

QJsonObject cellPoint(int day, int column)
{
    return {{"x", 10 + 100 + column * 10 + 5}, {"y", 50 + 25 + day * 30 + 15}};
}

QJsonObject at(QJsonObject point, const char* type)
{
    point.insert(QStringLiteral("type"), QString::fromLatin1(type));
    return point;
}

class SchedulePageThroughHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(recorder.start(QStringLiteral("planner"), QStringLiteral("week7")));
        ASSERT_TRUE(host.start());
        const QString login = resultOf(host.call(QStringLiteral("Login"),
                                                 QJsonArray{"127.0.0.1", recorder.devicePort(), "planner",
                                                            passwordText("week7")}))
                                  .toString();
        ASSERT_TRUE(login.startsWith(QLatin1String("00000000_"))) << login.toStdString();
        id = login.mid(9).toLongLong();
        ASSERT_EQ(call("SwitchPage", {2}).toInteger(), 0);
    }

    QJsonValue call(const char* method, const QJsonArray& params)
    {
        return resultOf(host.call(QString::fromLatin1(method), params));
    }
    QString scheduleText() { return call("GetRecSchedule", {id, 0, 0}).toString(); }
    void input(const QJsonObject& event) { EXPECT_TRUE(call("$input", {event}).isNull()); }
    // Press in one cell, move to another (or within the same one: a move
    // to where the mouse already is is no move) and release there.
    void dragCells(int fromDay, int fromColumn, int toDay, int toColumn)
    {
        QJsonObject to = cellPoint(toDay, toColumn);
        to.insert(QStringLiteral("x"), to.value(QLatin1String("x")).toInt() + 2);
        input(at(cellPoint(fromDay, fromColumn), "press"));
        input(at(to, "move"));
        input(at(to, "release"));
    }
    void clickInDialog(int x, int y) { input({{"type", "click"}, {"x", kDialogLeft + x}, {"y", kDialogTop + y}}); }
    QImage grabWhen(const std::function<bool(const QImage&)>& ready) { return host.grabWhen(ready); }
    static QPoint pixelOf(int day, int column)
    {
        const QJsonObject p = cellPoint(day, column);
        return {p.value(QLatin1String("x")).toInt(), p.value(QLatin1String("y")).toInt()};
    }

    RecorderProcess recorder;
    HostProcess host{{QStringLiteral("--stdio"), QStringLiteral("--size"), QStringLiteral("960x540")}};
    qint64 id = 0;
};

}  // namespace

TEST_F(SchedulePageThroughHost, PaintingWithTheMouseIsReadBackAsText)
{
    ASSERT_EQ(call("SetScheduleMode", {id, 1}).toInteger(), 0);
    ASSERT_EQ(call("SelectSchedelBtnType", {id, 1}).toInteger(), 0);
    // Tuesday 10:00 to Monday 08:00: 08:00-10:30 on both days.
    dragCells(2, 20, 1, 16);
    EXPECT_EQ(scheduleText(), QStringLiteral("[null,[{\"E\":37799,\"S\":28800,\"T\":0}],"
                                             "[{\"E\":37799,\"S\":28800,\"T\":0}],null,null,null,null]"));
    const QColor green(0, 200, 20);
    QImage picture = grabWhen([&](const QImage& p) { return p.pixelColor(pixelOf(1, 17)) == green; });
    EXPECT_EQ(picture.pixelColor(pixelOf(1, 17)), green);
    EXPECT_EQ(picture.pixelColor(pixelOf(3, 17)), QColor(Qt::white));

    // The alarm brush chosen with the mouse, then "none" by the page.
    const QJsonObject alarmButton{{"type", "click"}, {"x", 10 + 2 * 140 + 20}, {"y", 15 + 12}};
    input(alarmButton);
    dragCells(2, 40, 2, 41);
    ASSERT_EQ(call("SelectSchedelBtnType", {id, 0}).toInteger(), 0);
    dragCells(1, 18, 1, 18);
    EXPECT_EQ(scheduleText(),
              QStringLiteral("[null,[{\"E\":32399,\"S\":28800,\"T\":0},{\"E\":37799,\"S\":34200,\"T\":0}],"
                             "[{\"E\":37799,\"S\":28800,\"T\":0},{\"E\":75599,\"S\":72000,\"T\":1}],"
                             "null,null,null,null]"));
    picture = grabWhen([&](const QImage& p) { return p.pixelColor(pixelOf(1, 18)) == QColor(Qt::white); });
    EXPECT_EQ(picture.pixelColor(pixelOf(2, 40)), QColor(250, 50, 50));
    EXPECT_EQ(picture.pixelColor(pixelOf(1, 18)), QColor(Qt::white));
}

TEST_F(SchedulePageThroughHost, CodesOfTheScheduleMethods)
{
    const QString monday = QStringLiteral("[null,[{\"E\":43199,\"S\":28800}],null,null,null,null,null]");
    EXPECT_EQ(call("SetRecSchedule", {id, 0, 0, monday}).toInteger(), 0);
    EXPECT_EQ(scheduleText(), monday);
    EXPECT_EQ(call("SetRecSchedule", {id, 3, 0, monday}).toInteger(), 1);
    EXPECT_EQ(call("SetRecSchedule", {id, 0, 0, "[null,null,null,null,null,null]"}).toInteger(), 2);
    EXPECT_EQ(call("SetRecSchedule", {id, 0, 0, "[[{\"S\":5,\"E\":86400}],null,null,null,null,null,null]"}).toInteger(),
              2);
    EXPECT_EQ(scheduleText(), monday);
    EXPECT_EQ(call("SetScheduleMode", {id, 2}).toInteger(), 2);
    EXPECT_EQ(call("SetRecSchedule", {id + 1, 0, 0, monday}).toInteger(), 1);
    EXPECT_EQ(call("GetRecSchedule", {id + 1, 0, 0}).toString(), QString());
    EXPECT_EQ(call("SetScheduleMode", {id + 1, 0}).toInteger(), 1);
    EXPECT_EQ(call("SelectSchedelBtnType", {id + 1, 0}).toInteger(), 1);
}

TEST_F(SchedulePageThroughHost, DoubleClickedDayIsEditedInTheDialog)
{
    ASSERT_EQ(call("SetRecSchedule", {id, 0, 0, "[[],[],[],[],[],[],[]]"}).toInteger(), 0);
    // The empty page, once it is drawn (its grid's frame shows).
    const QImage before =
        grabWhen([](const QImage& p) { return p.pixelColor(QPoint(9, 49)) == QColor(200, 200, 200); });

    // Wednesday: the dialog opens with no rows; "ADD" then "OK".
    input(at(cellPoint(3, 10), "dblclick"));
    EXPECT_NE(grabWhen([&](const QImage& p) { return p != before; }), before);
    clickInDialog(654 - 195 + 37, 15 + 12);  // ADD
    clickInDialog(654 - 110 + 37, 358 - 36 + 12);  // OK
    EXPECT_EQ(scheduleText(), QStringLiteral("[null,null,null,[{\"E\":86399,\"S\":0}],null,null,null]"));

    // Again: mark the row, delete it, OK: Wednesday is empty again.
    input(at(cellPoint(3, 10), "dblclick"));
    clickInDialog(35 + 8, 80 + 10);              // the row's check box
    clickInDialog(654 - 110 + 37, 15 + 12);      // Delelte
    clickInDialog(654 - 110 + 37, 358 - 36 + 12);  // OK
    EXPECT_EQ(scheduleText(), QStringLiteral("[null,null,null,null,null,null,null]"));
    // The grid looks as it did; the dialog is gone from over it.
    const QRect grid(10, 50, 580, 235);
    EXPECT_EQ(grabWhen([&](const QImage& p) { return p.copy(grid) == before.copy(grid); }).copy(grid),
              before.copy(grid));
}

TEST_F(SchedulePageThroughHost, AChannelsScheduleGoesFromTheRecorderToTheControlAndBack)
{
    // A channel never given a schedule has the empty week.
    HttpAnswer answer = recorder.http("GET", "/api/schedule?channel=2");
    ASSERT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "[null,null,null,null,null,null,null]");

    const QByteArray stored = R"([null,[{"S":"28800","E":43199,"T":1}],[],null,null,null,null])";
    answer = recorder.http("PUT", "/api/schedule?channel=2", stored);
    ASSERT_EQ(answer.status, 200) << answer.body.toStdString();
    answer = recorder.http("GET", "/api/schedule?channel=2");
    ASSERT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, R"([null,[{"E":43199,"S":28800,"T":1}],null,null,null,null,null])");

    // Into the control, edited with the mouse, and saved back.
    ASSERT_EQ(call("SetRecSchedule", {id, 1, 2, QString::fromUtf8(answer.body)}).toInteger(), 0);
    dragCells(0, 0, 0, 1);  // Sunday 00:00-01:00, normal (loading mode 1 selects it)
    const QString edited = scheduleText();
    EXPECT_EQ(edited, QStringLiteral("[[{\"E\":3599,\"S\":0,\"T\":0}],[{\"E\":43199,\"S\":28800,\"T\":1}],"
                                     "null,null,null,null,null]"));
    ASSERT_EQ(recorder.http("PUT", "/api/schedule?channel=2", edited.toUtf8()).status, 200);
    EXPECT_EQ(recorder.http("GET", "/api/schedule?channel=2").body, edited.toUtf8());
    EXPECT_EQ(recorder.http("GET", "/api/schedule?channel=3").body, "[null,null,null,null,null,null,null]");
}

TEST_F(SchedulePageThroughHost, TheRecorderRefusesBadSchedulesAndKeepsTheOldOne)
{
    const QByteArray good = R"([[{"E":5,"S":0}],null,null,null,null,null,null])";
    ASSERT_EQ(recorder.http("PUT", "/api/schedule?channel=0", good).status, 200);

    EXPECT_EQ(recorder.http("PUT", "/api/schedule?channel=0", "[null]").status, 400);
    EXPECT_EQ(recorder.http("PUT", "/api/schedule?channel=0", R"([[{"S":9,"E":3}],null,null,null,null,null,null])")
                  .status,
              400);
    EXPECT_EQ(recorder.http("PUT", "/api/schedule?channel=0", QByteArray(5000, ' ')).status, 413);
    EXPECT_EQ(recorder.http("PUT", "/api/schedule?channel=0", good, {{"Origin", "http://evil.example"}}).status, 403);
    EXPECT_EQ(recorder.http("PUT", "/api/schedule?channel=16", good).status, 400);
    EXPECT_EQ(recorder.http("GET", "/api/schedule?channel=x").status, 400);
    EXPECT_EQ(recorder.http("GET", "/api/schedule").status, 400);
    EXPECT_EQ(recorder.http("DELETE", "/api/schedule?channel=0").status, 405);
    EXPECT_EQ(recorder.http("GET", "/api/schedule?channel=0").body, good);
}
