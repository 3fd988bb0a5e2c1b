// SPDX-License-Identifier: GPL-3.0-or-later
// The playback page through the real host against a real recorder: the
// day's record spans loaded into the timeline, drawn where their times are,
// zoomed with the wheel and the bar's scroll bar, and seeks reported when
// the mouse is released on the timeline.
#include "HostProcess.h"
#include "RecorderProcess.h"

#include <QDeadlineTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QThread>

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
// x of a time of day at the whole-day level.
int xAtDay(int seconds)
{
    return kTimelineLeft + kMargin + static_cast<int>(seconds * (kRulerWidth / 86400.0)) + 1;
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
    QImage grabWhen(const std::function<bool(const QImage&)>& ready)
    {
        QDeadlineTimer deadline(3000);
        QImage picture = grab();
        while (!ready(picture) && !deadline.hasExpired()) {
            QThread::msleep(20);
            picture = grab();
        }
        return picture;
    }
    QImage grab()
    {
        const QString path = folder.filePath(QStringLiteral("page.png"));
        resultOf(host.call(QStringLiteral("$grab"), QJsonArray{path}));
        QImage picture;
        EXPECT_TRUE(picture.load(path));
        return picture.convertToFormat(QImage::Format_RGB32);
    }

    RecorderProcess recorder;
    HostProcess host{{QStringLiteral("--stdio"), QStringLiteral("--size"),
                      QStringLiteral("%1x%2").arg(kControlWidth).arg(kControlHeight)}};
    QTemporaryDir folder;
    qint64 id = 0;
};

}  // namespace

TEST_F(PlaybackPageThroughHost, SpansShowWhereTheirTimesAreOnceComplete)
{
    ASSERT_EQ(call("SetPlaybackDate", {id, "2026-12-07"}).toInteger(), 0);
    ASSERT_EQ(call("SetRecordPeriod", {id, "2026-12-07 08:00:00", "2026-12-07 10:00:00", 0, 0, 0}).toInteger(), 0);
    ASSERT_EQ(call("SetRecordPeriod", {id, "2026-12-07 14:00:00", "2026-12-07 15:30:00", 2, 1, 0}).toInteger(), 0);
    QImage picture = grab();
    picture.save(QStringLiteral("/tmp/playback-page-before.png"));
    ASSERT_EQ(call("CompleteSetRecordPeriod", {id}).toInteger(), 0);
    picture = grabWhen([](const QImage& p) { return p.pixelColor(xAtDay(9 * 3600), channelRowY(0)) == kNormal; });
    picture.save(QStringLiteral("/tmp/playback-page.png"));
    EXPECT_EQ(picture.pixelColor(xAtDay(9 * 3600), channelRowY(0)), kNormal);
    EXPECT_EQ(picture.pixelColor(xAtDay(14 * 3600 + 45 * 60), channelRowY(2)), kAlarm);
}
