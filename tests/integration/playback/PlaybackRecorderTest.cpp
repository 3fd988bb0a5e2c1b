// SPDX-License-Identifier: GPL-3.0-or-later
// Remote playback end to end: the automation host with the real libraries
// plays yesterday's recordings of a recorder started with one day of
// history, driven by clicks on the playback bar as a user would. The
// session's status lines and first frame times are read from the debug
// output ("playback status ...", "playback at ...").
#include "HostProcess.h"
#include "RecorderProcess.h"

#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

constexpr int kControlWidth = 960;
constexpr int kControlHeight = 540;
// The bar starts under the grid and the handle; its buttons' cells are 35
// pixels above its bottom.
constexpr int kButtonY = kControlHeight - 35 + 12;
constexpr int kPlayX = 145 + 13;
constexpr int kPauseX = 180 + 13;
constexpr int kStopX = 215 + 13;
constexpr int kFastX = 285 + 13;
constexpr int kNextFrameX = 320 + 13;
// The timeline (whole day) under the handle.
constexpr int kTimelineLeft = 2;
constexpr int kTimelineTop = kControlHeight - 170 + 7 + 1;
constexpr int kRulerWidth = kControlWidth - 4 - 60;
int xAtDay(int seconds)
{
    return kTimelineLeft + 30 + static_cast<int>(seconds * (kRulerWidth / 86400.0));
}
// The grid's first window (four windows): the middle of the top-left quarter.
const QRect kFirstWindow(100, 60, 200, 80);
const QRect kSecondWindow(580, 60, 200, 80);

class PlaybackThroughHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(recorder.start(QStringLiteral("viewer"), QStringLiteral("tape5"),
                                   {QStringLiteral("--history-days"), QStringLiteral("1")}));
        ASSERT_TRUE(host.start());
        const QString login = call("Login", {"127.0.0.1", recorder.devicePort(), "viewer", passwordText("tape5")})
                                  .toString();
        ASSERT_TRUE(login.startsWith(QLatin1String("00000000_"))) << login.toStdString();
        id = login.mid(9).toLongLong();
        ASSERT_EQ(call("SwitchPage", {3}).toInteger(), 0);
        yesterday = QDate::currentDate().addDays(-1).toString(Qt::ISODate);
    }

    QJsonValue call(const char* method, const QJsonArray& params)
    {
        return resultOf(host.call(QString::fromLatin1(method), params));
    }
    void click(int x, int y)
    {
        EXPECT_TRUE(call("$input", {QJsonObject{{"type", "click"}, {"x", x}, {"y", y}}}).isNull());
    }
    // Debug lines gathered so far.
    QStringList& lines()
    {
        for (const QJsonValue& line : call("$debug", {}).toArray())
            m_lines << line.toString().trimmed();
        return m_lines;
    }
    // Waits for a debug line that starts with the text (after `from` lines);
    // its index, or -1.
    int waitForLine(const QString& start, int from = 0, int timeoutMs = 20000)
    {
        QElapsedTimer timer;
        timer.start();
        do {
            const QStringList& all = lines();
            for (int i = from; i < all.size(); ++i)
                if (all[i].startsWith(start))
                    return i;
            QThread::msleep(50);
        } while (timer.elapsed() < timeoutMs);
        return -1;
    }
    int waitForStatus(const QString& status, int from = 0, int timeoutMs = 20000)
    {
        return waitForLine(QStringLiteral("playback status ") + status, from, timeoutMs);
    }
    int mark() { return lines().size(); }
    // The day's spans of the selected channels from the recorder's search.
    void loadYesterday(std::uint32_t mask)
    {
        spans.clear();
        call("SetPlayBackChannels", {static_cast<qint64>(mask)});
        ASSERT_EQ(call("SetPlaybackDate", {id, yesterday}).toInteger(), 0);
        for (int channel = 0; channel < 16; ++channel) {
            if (!(mask & (1u << channel)))
                continue;
            const HttpAnswer answer = recorder.http(
                "GET", "/api/recordings?date=" + yesterday.toLatin1() + "&channel=" + QByteArray::number(channel));
            ASSERT_EQ(answer.status, 200);
            for (const QJsonValue& span :
                 QJsonDocument::fromJson(answer.body).object().value(QLatin1String("spans")).toArray()) {
                const QJsonObject s = span.toObject();
                spans[channel].append({QDateTime::fromString(s.value("start").toString(), "yyyy-MM-dd HH:mm:ss"),
                                       QDateTime::fromString(s.value("end").toString(), "yyyy-MM-dd HH:mm:ss")});
                ASSERT_EQ(call("SetRecordPeriod", {id, s.value("start"), s.value("end"), channel, 0, 0}).toInteger(), 0);
            }
        }
        ASSERT_EQ(call("CompleteSetRecordPeriod", {id}).toInteger(), 0);
    }
    // Starts playing at the cursor and waits for the first frame time.
    void playAndWaitForPictures()
    {
        const int from = mark();
        click(kPlayX, kButtonY);
        ASSERT_GE(waitForStatus(QStringLiteral("STR_Playing"), from), 0);
        ASSERT_GE(waitForLine(QStringLiteral("playback at "), from), 0) << lines().join('\n').toStdString();
    }
    static quint64 fingerprint(const QImage& picture, const QRect& area)
    {
        quint64 sum = 1469598103934665603ull;
        for (int y = area.top(); y <= area.bottom(); y += 2)
            for (int x = area.left(); x <= area.right(); x += 2)
                sum = (sum ^ picture.pixel(x, y)) * 1099511628211ull;
        return sum;
    }

    RecorderProcess recorder;
    HostProcess host{{QStringLiteral("--stdio"), QStringLiteral("--size"),
                      QStringLiteral("%1x%2").arg(kControlWidth).arg(kControlHeight)}};
    qint64 id = 0;
    QString yesterday;
    // The spans of the day loaded last, by channel.
    QMap<int, QList<QPair<QDateTime, QDateTime>>> spans;
    QStringList m_lines;
};

}  // namespace

TEST_F(PlaybackThroughHost, TwoChannelsPlayAndTheirPicturesMove)
{
    loadYesterday(0x3);
    playAndWaitForPictures();
    // A time both channels recorded for a while (the day starts with the
    // earliest span of either): a click on the timeline seeks there.
    QDateTime both;
    for (const auto& a : spans[0]) {
        for (const auto& b : spans[1]) {
            const QDateTime from = std::max(a.first, b.first), to = std::min(a.second, b.second);
            if (!both.isValid() && from.secsTo(to) > 600)
                both = from.addSecs(200);
        }
    }
    ASSERT_TRUE(both.isValid());
    const int from = mark();
    click(xAtDay(both.time().msecsSinceStartOfDay() / 1000), kTimelineTop + 60);
    ASSERT_GE(waitForLine(QStringLiteral("timeline seek "), from), 0);
    ASSERT_GE(waitForLine(QStringLiteral("playback at "), from), 0);
    const QImage first = host.grab();
    const quint64 one = fingerprint(first, kFirstWindow), two = fingerprint(first, kSecondWindow);
    const QImage later = host.grabWhen([&](const QImage& p) {
        return fingerprint(p, kFirstWindow) != one && fingerprint(p, kSecondWindow) != two;
    });
    EXPECT_NE(fingerprint(later, kFirstWindow), one);
    EXPECT_NE(fingerprint(later, kSecondWindow), two);
    // The two windows show their own channels.
    EXPECT_NE(fingerprint(later, kFirstWindow), fingerprint(later, kSecondWindow));
}

TEST_F(PlaybackThroughHost, AClickOnTheTimelineSeeksAndTheStreamFollows)
{
    loadYesterday(0x1);
    playAndWaitForPictures();
    // The middle of the day's longest recording of the channel (the
    // generated history differs from day to day).
    ASSERT_FALSE(spans[0].isEmpty());
    const auto longest = std::max_element(spans[0].begin(), spans[0].end(), [](const auto& a, const auto& b) {
        return a.first.secsTo(a.second) < b.first.secsTo(b.second);
    });
    const QDateTime middle = longest->first.addSecs(longest->first.secsTo(longest->second) / 2);
    ASSERT_EQ(middle.date(), longest->first.date());
    const int from = mark();
    click(xAtDay(middle.time().msecsSinceStartOfDay() / 1000), kTimelineTop + 60);
    const int seek = waitForLine(QStringLiteral("timeline seek "), from);
    ASSERT_GE(seek, 0);
    const QDateTime target = QDateTime::fromString(lines()[seek].mid(14), "yyyy-MM-dd HH:mm:ss");
    ASSERT_TRUE(target.isValid());
    const int at = waitForLine(QStringLiteral("playback at "), seek);
    ASSERT_GE(at, 0);
    const QDateTime shown = QDateTime::fromString(lines()[at].mid(12), "yyyy-MM-dd HH:mm:ss");
    // From the key frame at or before the time, a few seconds on at most.
    EXPECT_LE(std::abs(target.secsTo(shown)), 30) << lines()[at].toStdString();
    EXPECT_GE(waitForStatus(QStringLiteral("STR_Playing"), 0), 0);
}

TEST_F(PlaybackThroughHost, PauseSingleFramesFastAndBack)
{
    loadYesterday(0x1);
    playAndWaitForPictures();
    int from = mark();
    click(kPauseX, kButtonY);
    ASSERT_GE(waitForStatus(QStringLiteral("IE_PlaybackPause"), from), 0);
    // Paused, only Play goes on; from playing, single frames.
    from = mark();
    click(kPlayX, kButtonY);
    ASSERT_GE(waitForStatus(QStringLiteral("STR_Playing"), from), 0);
    from = mark();
    click(kNextFrameX, kButtonY);
    ASSERT_GE(waitForStatus(QStringLiteral("IE_PlaybackNextFrame"), from), 0);
    // Fast: key frames only, at twice the speed.
    from = mark();
    click(kFastX, kButtonY);
    ASSERT_GE(waitForStatus(QStringLiteral("Speed X2"), from), 0);
    from = mark();
    click(kFastX, kButtonY);
    ASSERT_GE(waitForStatus(QStringLiteral("Speed X4"), from), 0);
    // Play: the whole stream again from where the pictures are.
    from = mark();
    click(kPlayX, kButtonY);
    ASSERT_GE(waitForStatus(QStringLiteral("STR_Playing"), from), 0);
    ASSERT_GE(waitForLine(QStringLiteral("timeline seek "), from), 0);
    ASSERT_GE(waitForLine(QStringLiteral("playback at "), from), 0);
    // And the recorder plays on.
    const QImage first = host.grab();
    const quint64 one = fingerprint(first, kFirstWindow);
    host.grabWhen([&](const QImage& p) { return fingerprint(p, kFirstWindow) != one; });
    // Space on the timeline pauses and plays on. A click left of its ruler
    // gives it the focus (and seeks where the cursor stands).
    click(kTimelineLeft + 5, kTimelineTop + 60);
    from = mark();
    EXPECT_TRUE(call("$input", {QJsonObject{{"type", "key"}, {"key", "Space"}}}).isNull());
    ASSERT_GE(waitForStatus(QStringLiteral("IE_PlaybackPause"), from), 0);
    from = mark();
    EXPECT_TRUE(call("$input", {QJsonObject{{"type", "key"}, {"key", "Space"}}}).isNull());
    ASSERT_GE(waitForStatus(QStringLiteral("STR_Playing"), from), 0);
    // A stop from the bar.
    from = mark();
    click(kStopX, kButtonY);
    EXPECT_GE(waitForStatus(QStringLiteral("IE_PlaybackStop"), from), 0);
}

TEST_F(PlaybackThroughHost, TheEndOfTheDaysRecordingsEndsPlayback)
{
    // One span in the last seconds of the day: playback starts there.
    call("SetPlayBackChannels", {1});
    ASSERT_EQ(call("SetPlaybackDate", {id, yesterday}).toInteger(), 0);
    ASSERT_EQ(call("SetRecordPeriod", {id, yesterday + " 23:59:54", yesterday + " 23:59:59", 0, 0, 0}).toInteger(), 0);
    ASSERT_EQ(call("CompleteSetRecordPeriod", {id}).toInteger(), 0);
    int from = mark();
    click(kPlayX, kButtonY);
    ASSERT_GE(waitForStatus(QStringLiteral("STR_Playing"), from), 0);
    const int end = waitForStatus(QStringLiteral("IE_PlaybackFailed"), from);
    ASSERT_GE(end, 0);
    // Stopped, and ready for the next Play, which opens a stream again.
    EXPECT_GE(waitForStatus(QStringLiteral("IE_PlaybackStop"), from), 0);
    from = mark();
    click(kPlayX, kButtonY);
    ASSERT_GE(waitForStatus(QStringLiteral("STR_Playing"), from), 0);
    EXPECT_GE(waitForStatus(QStringLiteral("IE_PlaybackFailed"), from), 0);
}

TEST_F(PlaybackThroughHost, ADroppedConnectionIsANetworkErrorAndPlayWorksAgain)
{
    loadYesterday(0x1);
    playAndWaitForPictures();
    const int from = mark();
    EXPECT_GE(recorder.sim(QStringLiteral("playback"), QStringLiteral("action=drop")).value("dropped").toInt(), 1);
    ASSERT_GE(waitForStatus(QStringLiteral("IE_NetworkError"), from), 0);
    playAndWaitForPictures();
}

TEST_F(PlaybackThroughHost, StopPlaybackStopsOnItsThread)
{
    loadYesterday(0x1);
    playAndWaitForPictures();
    const int from = mark();
    EXPECT_EQ(call("StopPlayback", {id}).toInteger(), 0);
    ASSERT_GE(waitForStatus(QStringLiteral("IE_PlaybackStop"), from), 0);
    EXPECT_EQ(call("StopPlayback", {id + 1}).toInteger(), 1);
    // Nothing to stop: nothing happens, and Play opens again.
    EXPECT_EQ(call("StopPlayback", {id}).toInteger(), 0);
    playAndWaitForPictures();
}

TEST_F(PlaybackThroughHost, BadInputGetsItsAnswerAndThePanelStaysReady)
{
    // Dates that are not dates.
    for (const char* date : {"2026-13-45", "2026-02-30", "yesterday!", "2026-1-1", ""})
        EXPECT_EQ(call("SetPlaybackDate", {id, date}).toInteger(), 2) << date;
    // A span that ends before it starts, and times that are not times.
    ASSERT_EQ(call("SetPlaybackDate", {id, yesterday}).toInteger(), 0);
    EXPECT_EQ(call("SetRecordPeriod", {id, yesterday + " 12:00:00", yesterday + " 11:00:00", 0, 0, 0}).toInteger(), 0);
    EXPECT_EQ(call("SetRecordPeriod", {id, "not a time", yesterday + " 11:00:00", 0, 0, 0}).toInteger(), 0x80060000);
    EXPECT_EQ(call("SetRecordPeriod", {id, yesterday + " 12:00:00", yesterday + " 13:00:00", 17, 0, 0}).toInteger(),
              0x80060000);
    // More than sixteen channels' bits: one channel.
    call("SetPlayBackChannels", {0x1FFFF});
    // No channel: no right to play, nothing sent.
    call("SetPlayBackChannels", {0});
    int from = mark();
    click(kPlayX, kButtonY);
    ASSERT_GE(waitForStatus(QStringLiteral("IE_NoPower"), from), 0);
    // A day without recordings: the recorder has nothing to play.
    call("SetPlayBackChannels", {1});
    ASSERT_EQ(call("SetPlaybackDate", {id, "2020-01-01"}).toInteger(), 0);
    ASSERT_EQ(call("CompleteSetRecordPeriod", {id}).toInteger(), 0);
    from = mark();
    click(kPlayX, kButtonY);
    ASSERT_GE(waitForStatus(QStringLiteral("IE_PlaybackFailed"), from), 0) << lines().join('\n').toStdString();
    // And the next Play of a day with recordings works.
    loadYesterday(0x1);
    playAndWaitForPictures();
}
