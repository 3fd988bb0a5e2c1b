// SPDX-License-Identifier: GPL-3.0-or-later
// The playback page through the real host against a real recorder: the
// day's record spans loaded into the timeline, drawn where their times are,
// zoomed with the wheel and the bar's scroll bar, and seeks reported when
// the mouse is released on the timeline.
#include "HostProcess.h"
#include "RecorderProcess.h"

#include <QDate>
#include <QDateTime>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr int kControlWidth = 960;
constexpr int kControlHeight = 540;
// The bar sits under the pictures, 163 pixels high; the timeline is its
// top 100 pixels (2 pixels in), the day's scroll bar right under it.
constexpr int kTimelineLeft = 2;
constexpr int kTimelineTop = kControlHeight - 170 + 7 + 1;
constexpr int kTimelineWidth = kControlWidth - 4;
constexpr int kMargin = 30;
constexpr int kRulerWidth = kTimelineWidth - 2 * kMargin;
// Rows: the overview from 32 to 42, then four channel rows from 50 to 100.
constexpr int kOverviewY = kTimelineTop + 32 + 5;
int channelRowY(int row)
{
    return kTimelineTop + 50 + row * 50 / 4 + 6;
}
// x of a time of day at the whole-day level: where a span starting then
// has its first pixel; a span ending then has its last pixel one before.
int xAtDay(int seconds)
{
    return kTimelineLeft + kMargin + static_cast<int>(seconds * (kRulerWidth / 86400.0));
}

const QColor kNormal(8, 156, 8);
const QColor kAlarm(255, 41, 39);

class PlaybackPageThroughHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(recorder.start(QStringLiteral("viewer"), QStringLiteral("tape5")));
        ASSERT_TRUE(host.start());
        const QString login = resultOf(host.call(QStringLiteral("Login"),
                                                 QJsonArray{"127.0.0.1", recorder.devicePort(), "viewer",
                                                            passwordText("tape5")}))
                                  .toString();
        ASSERT_TRUE(login.startsWith(QLatin1String("00000000_"))) << login.toStdString();
        id = login.mid(9).toLongLong();
        ASSERT_EQ(call("SwitchPage", {3}).toInteger(), 0);
        call("SetPlayBackChannels", {0xF});
    }

    QJsonValue call(const char* method, const QJsonArray& params)
    {
        return resultOf(host.call(QString::fromLatin1(method), params));
    }
    void input(const QJsonObject& event) { EXPECT_TRUE(call("$input", {event}).isNull()); }
    void mouse(const char* type, int x, int y) { input({{"type", type}, {"x", x}, {"y", y}}); }
    QStringList debugLines()
    {
        QStringList lines;
        for (const QJsonValue& line : call("$debug", {}).toArray())
            lines << line.toString();
        return lines;
    }
    // The seeks the timeline reported since the last call.
    QStringList seeks()
    {
        QStringList times;
        for (const QString& line : debugLines()) {
            if (line.startsWith(QLatin1String("timeline seek ")))
                times << line.mid(14).trimmed();
        }
        return times;
    }
    void loadDay(const QString& date, const QList<QJsonArray>& spans)
    {
        ASSERT_EQ(call("SetPlaybackDate", {id, date}).toInteger(), 0);
        for (const QJsonArray& span : spans)
            ASSERT_EQ(call("SetRecordPeriod", span).toInteger(), 0);
        ASSERT_EQ(call("CompleteSetRecordPeriod", {id}).toInteger(), 0);
    }
    // Where a colour runs along a line of the picture: first and last x, or
    // {-1, -1} when it does not show.
    static std::pair<int, int> runOf(const QImage& picture, int y, const QColor& colour)
    {
        int first = -1, last = -1;
        for (int x = 0; x < picture.width(); ++x) {
            if (picture.pixelColor(x, y) == colour) {
                if (first < 0)
                    first = x;
                last = x;
            }
        }
        return {first, last};
    }
    QImage grabWhen(const std::function<bool(const QImage&)>& ready) { return host.grabWhen(ready); }

    RecorderProcess recorder;
    HostProcess host{{QStringLiteral("--stdio"), QStringLiteral("--size"),
                      QStringLiteral("%1x%2").arg(kControlWidth).arg(kControlHeight)}};
    qint64 id = 0;
};

}  // namespace

const QColor kCursor(50, 255, 22);
const QColor kChannelRow(82, 82, 82);

TEST_F(PlaybackPageThroughHost, SpansShowWhereTheirTimesAreOnceComplete)
{
    ASSERT_EQ(call("SetPlaybackDate", {id, "2026-12-07"}).toInteger(), 0);
    ASSERT_EQ(call("SetRecordPeriod", {id, "2026-12-07 08:00:00", "2026-12-07 10:00:00", 0, 0, 0}).toInteger(), 0);
    ASSERT_EQ(call("SetRecordPeriod", {id, "2026-12-07 14:00:00", "2026-12-07 15:30:00", 2, 1, 0}).toInteger(), 0);
    // Rows are drawn, spans not yet: the page has not said they are complete.
    QImage picture = grabWhen([](const QImage& p) { return p.pixelColor(xAtDay(3600), channelRowY(0)) == kChannelRow; });
    EXPECT_EQ(picture.pixelColor(xAtDay(3600), channelRowY(0)), kChannelRow);
    EXPECT_EQ(runOf(picture, channelRowY(0), kNormal).first, -1);

    ASSERT_EQ(call("CompleteSetRecordPeriod", {id}).toInteger(), 0);
    picture = grabWhen([](const QImage& p) { return p.pixelColor(xAtDay(9 * 3600), channelRowY(0)) == kNormal; });
    // Each span in its channel's row and in the overview row, from its start
    // to its end (a pixel of slack for the rounding of both ends).
    const auto normal = runOf(picture, channelRowY(0), kNormal);
    EXPECT_NEAR(normal.first, xAtDay(8 * 3600), 1);
    EXPECT_NEAR(normal.second, xAtDay(10 * 3600) - 1, 1);
    const auto alarm = runOf(picture, channelRowY(2), kAlarm);
    EXPECT_NEAR(alarm.first, xAtDay(14 * 3600), 1);
    EXPECT_NEAR(alarm.second, xAtDay(15 * 3600 + 30 * 60) - 1, 1);
    EXPECT_EQ(runOf(picture, kOverviewY, kNormal), normal);
    EXPECT_EQ(runOf(picture, kOverviewY, kAlarm), alarm);
    EXPECT_EQ(runOf(picture, channelRowY(1), kNormal).first, -1);
    // The cursor stands at the earliest span start.
    EXPECT_EQ(picture.pixelColor(xAtDay(8 * 3600), channelRowY(3)), kCursor);

    // A new day empties the timeline.
    ASSERT_EQ(call("SetPlaybackDate", {id, "2026-12-08"}).toInteger(), 0);
    ASSERT_EQ(call("CompleteSetRecordPeriod", {id}).toInteger(), 0);
    picture = grabWhen([](const QImage& p) { return p.pixelColor(xAtDay(9 * 3600), channelRowY(0)) == kChannelRow; });
    EXPECT_EQ(runOf(picture, kOverviewY, kNormal).first, -1);
    EXPECT_EQ(runOf(picture, kOverviewY, kAlarm).first, -1);
}

TEST_F(PlaybackPageThroughHost, ReleasingTheMouseOnTheTimelineReportsTheTimeUnderTheCursor)
{
    loadDay(QStringLiteral("2026-12-07"), {{id, "2026-12-07 08:00:00", "2026-12-07 10:00:00", 0, 0, 0}});
    seeks();  // drop earlier lines
    // A click at 12:00 (half the ruler), then a drag from there to 06:00.
    const int noon = kTimelineLeft + kMargin + kRulerWidth / 2;
    const int six = kTimelineLeft + kMargin + kRulerWidth / 4;
    mouse("click", noon, channelRowY(1));
    mouse("press", noon, channelRowY(1));
    mouse("move", (noon + six) / 2, channelRowY(1));
    mouse("move", six, channelRowY(1));
    mouse("release", six, channelRowY(1));
    EXPECT_EQ(seeks(), (QStringList{"2026-12-07 12:00:00", "2026-12-07 06:00:00"}));
    const QImage picture = grabWhen([&](const QImage& p) { return p.pixelColor(six, channelRowY(3)) == kCursor; });
    EXPECT_EQ(picture.pixelColor(six, channelRowY(3)), kCursor);
    EXPECT_NE(picture.pixelColor(noon, channelRowY(3)), kCursor);

    // A press on the ruler left of its start moves nothing, but the release
    // still seeks where the cursor stands.
    mouse("click", kTimelineLeft + 5, channelRowY(1));
    EXPECT_EQ(seeks(), QStringList{"2026-12-07 06:00:00"});
    // Space on the focused timeline asks the bar for play or pause.
    input({{"type", "key"}, {"key", "Space"}});
    EXPECT_TRUE(debugLines().contains(QStringLiteral("timeline: play or pause asked\n")));
}

TEST_F(PlaybackPageThroughHost, TheWheelAndTheZoomButtonsZoomAndTheScrollBarPagesThroughTheDay)
{
    loadDay(QStringLiteral("2026-12-07"), {{id, "2026-12-07 08:00:00", "2026-12-07 10:00:00", 0, 0, 0},
                                           {id, "2026-12-07 14:00:00", "2026-12-07 15:30:00", 2, 1, 0}});
    QImage picture = grabWhen([](const QImage& p) { return p.pixelColor(xAtDay(9 * 3600), channelRowY(0)) == kNormal; });
    // Lengths are read on the overview row: the zoom label stands over the
    // channel rows for half a second after each zoom.
    const auto wholeDay = runOf(picture, kOverviewY, kNormal);
    ASSERT_GT(wholeDay.first, 0);

    // One notch in: twelve hours across the ruler, the span twice as long,
    // the cursor (at the span's start) where it was.
    input({{"type", "wheel"}, {"x", 480}, {"y", channelRowY(1)}, {"delta", 120}});
    picture = grabWhen([&](const QImage& p) { return runOf(p, kOverviewY, kNormal).second > wholeDay.second + 40; });
    const auto twelveHours = runOf(picture, kOverviewY, kNormal);
    EXPECT_NEAR(twelveHours.second - twelveHours.first, 2 * (wholeDay.second - wholeDay.first), 4);
    EXPECT_NEAR(twelveHours.first, wholeDay.first, 3);
    // A delta that is not a whole notch does nothing; one notch out is the
    // whole day again.
    input({{"type", "wheel"}, {"x", 480}, {"y", channelRowY(1)}, {"delta", 60}});
    input({{"type", "wheel"}, {"x", 480}, {"y", channelRowY(1)}, {"delta", -120}});
    picture = grabWhen([&](const QImage& p) { return runOf(p, kOverviewY, kNormal).second < twelveHours.second - 40; });
    const auto again = runOf(picture, kOverviewY, kNormal);
    EXPECT_NEAR(again.second - again.first, wholeDay.second - wholeDay.first, 2);

    // The bar's zoom button twice: six-hour pages. The scroll bar's left
    // arrow pages back to 00:00 and stops there; two pages on is 12:00 to
    // 17:59:59, where the alarm span stands two hours in.
    const int barTop = kControlHeight - 170 + 7;
    const int zoomInX = 395 + 13, buttonY = kControlHeight - 36 + 12;
    mouse("click", zoomInX, buttonY);
    mouse("click", zoomInX, buttonY);
    const int scrollY = barTop + 1 + 100 + 5;
    for (int i = 0; i < 4; ++i)
        mouse("click", kTimelineLeft + 5, scrollY);
    const int right = kTimelineLeft + (kControlWidth - 3) - 5;
    mouse("click", right, scrollY);
    mouse("click", right, scrollY);
    const int ruler = kTimelineWidth - 2 * 34;  // the margins after a zoom
    const auto xIn = [&](int secondsIntoView) {
        return kTimelineLeft + 34 + static_cast<int>(secondsIntoView * (ruler / 21600.0));
    };
    picture = grabWhen([&](const QImage& p) { return std::abs(runOf(p, channelRowY(2), kAlarm).first - xIn(7200)) <= 1; });
    const auto alarm = runOf(picture, channelRowY(2), kAlarm);
    EXPECT_NEAR(alarm.first, xIn(2 * 3600), 1);
    EXPECT_NEAR(alarm.second, xIn(3 * 3600 + 30 * 60) - 1, 1);
    EXPECT_EQ(runOf(picture, channelRowY(0), kNormal).first, -1);  // 08:00-10:00 is out of view
}

TEST_F(PlaybackPageThroughHost, MoreChannelsThanRowsScrollTheRowsAndTheHandleShrinksTheTimeline)
{
    call("SetPlayBackChannels", {0x3F});
    loadDay(QStringLiteral("2026-12-07"), {{id, "2026-12-07 01:00:00", "2026-12-07 05:00:00", 5, 1, 0}});
    // Channel 6's row is below the four shown; the row scroll bar is there.
    QImage picture = grabWhen([](const QImage& p) { return runOf(p, kOverviewY, kAlarm).first > 0; });
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(runOf(picture, channelRowY(row), kAlarm).first, -1) << row;
    // Its down arrow three times: rows 4 to 7, channel 6 third.
    const int scrollX = kTimelineLeft + kTimelineWidth - 7;
    const int downArrowY = kTimelineTop + 100 - 6;
    for (int i = 0; i < 3; ++i)
        mouse("click", scrollX, downArrowY);
    picture = grabWhen([](const QImage& p) { return runOf(p, channelRowY(2), kAlarm).first > 0; });
    EXPECT_NEAR(runOf(picture, channelRowY(2), kAlarm).first, xAtDay(3600), 1);

    // The handle between pictures and bar: a 40-pixel timeline, its rows gone
    // from where they were.
    const QColor before = picture.pixelColor(xAtDay(12 * 3600), channelRowY(3));
    EXPECT_EQ(before, kChannelRow);
    mouse("click", kControlWidth / 2, kControlHeight - 170 + 3);
    picture = grabWhen([](const QImage& p) { return p.pixelColor(xAtDay(12 * 3600), channelRowY(3)) != kChannelRow; });
    EXPECT_NE(picture.pixelColor(xAtDay(12 * 3600), channelRowY(3)), kChannelRow);
    mouse("click", kControlWidth / 2, kControlHeight - 110 + 3);
    picture = grabWhen([](const QImage& p) { return p.pixelColor(xAtDay(12 * 3600), channelRowY(3)) == kChannelRow; });
    EXPECT_EQ(picture.pixelColor(xAtDay(12 * 3600), channelRowY(3)), kChannelRow);
}

TEST_F(PlaybackPageThroughHost, ADayOfRecordingsFromTheRecordersSearchIsDrawnSpanBySpan)
{
    // A recorder with yesterday's recordings made up for every channel.
    recorder.stop();
    ASSERT_TRUE(recorder.start(QStringLiteral("viewer"), QStringLiteral("tape5"), {QStringLiteral("--history-days"),
                                                                                  QStringLiteral("1")}));
    const QString login = call("Login", {"127.0.0.1", recorder.devicePort(), "viewer", passwordText("tape5")}).toString();
    ASSERT_TRUE(login.startsWith(QLatin1String("00000000_"))) << login.toStdString();
    id = login.mid(9).toLongLong();

    const QString yesterday = QDate::currentDate().addDays(-1).toString(Qt::ISODate);
    const HttpAnswer answer = recorder.http("GET", "/api/recordings?date=" + yesterday.toLatin1() + "&channel=0");
    ASSERT_EQ(answer.status, 200) << answer.body.toStdString();
    const QJsonArray spans = QJsonDocument::fromJson(answer.body).object().value(QLatin1String("spans")).toArray();
    ASSERT_FALSE(spans.isEmpty());
    QList<QJsonArray> periods;
    for (const QJsonValue& span : spans) {
        const QJsonObject s = span.toObject();
        periods.append({id, s.value(QLatin1String("start")), s.value(QLatin1String("end")), 0,
                        s.value(QLatin1String("type")).toString() == QLatin1String("alarm") ? 1 : 0, 0});
    }
    loadDay(yesterday, periods);
    const QImage picture = grabWhen([](const QImage& p) {
        return runOf(p, channelRowY(0), kNormal).first > 0 || runOf(p, channelRowY(0), kAlarm).first > 0;
    });
    // Every span of the day shows in channel 1's row at its start (short
    // ones as one pixel; later spans may cover earlier ones' first pixel).
    for (const QJsonValue& span : spans) {
        const QJsonObject s = span.toObject();
        const QTime start = QDateTime::fromString(s.value(QLatin1String("start")).toString(), "yyyy-MM-dd HH:mm:ss").time();
        const int x = xAtDay(start.msecsSinceStartOfDay() / 1000);
        const QColor colour = picture.pixelColor(x, channelRowY(0));
        EXPECT_TRUE(colour == kNormal || colour == kAlarm || colour == kCursor)
            << s.value(QLatin1String("start")).toString().toStdString() << " at x " << x;
    }
}

TEST_F(PlaybackPageThroughHost, ARecordingFromTheEveningBeforeOpensTheDay)
{
    // The recorder's search lists a recording that runs across midnight on
    // both days: on the later day it is drawn from the row's start to its
    // end, and the cursor (where playback will start) is at 00:00:00.
    loadDay(QStringLiteral("2026-12-07"), {{id, "2026-12-06 23:00:00", "2026-12-07 01:00:00", 1, 0, 0},
                                           {id, "2026-12-07 03:00:00", "2026-12-07 04:00:00", 0, 0, 0}});
    const QImage picture =
        grabWhen([](const QImage& p) { return runOf(p, channelRowY(1), kNormal).first > 0; });
    const auto run = runOf(picture, channelRowY(1), kNormal);
    // The row's frame is its left pixel, the cursor line the next.
    EXPECT_EQ(run.first, kTimelineLeft + kMargin + 1);
    EXPECT_NEAR(run.second, xAtDay(3600) - 1, 1);
    EXPECT_EQ(picture.pixelColor(xAtDay(0), channelRowY(3)), kCursor);
}
