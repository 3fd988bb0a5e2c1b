// SPDX-License-Identifier: GPL-3.0-or-later
// Real cameras end to end. An RTSP server on loopback (GStreamer's) serves
// H.264 with B-frames at an odd size and frame rate, 1080p H.265, and a sub
// stream; the recorder simulator takes its channels from them (one with its
// password in a file), from a video file, and keeps one synthetic channel.
// The control shows them live and records them locally with the real
// libraries; a camera switched off and on again comes back by itself; what
// the recorder recorded of an H.265 camera plays back and downloads through
// the automation host.
#include "CameraServer.h"
#include "HostProcess.h"
#include "RecorderProcess.h"

#include "control/CVELK_DVRCtrl.h"
#include "device/CDeviceManage.h"
#include "preview/VideoStatus.h"
#include "proto/MediaFrame.h"
#include "proto/RecordFile.h"

#include <QDate>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

const QString kCameraUser = QStringLiteral("cam");
const QString kCameraPassword = QStringLiteral("p@ss:w/rd");  // characters a URL must escape

// The videos, made once for the whole run.
struct Videos {
    QTemporaryDir dir;
    QString bFrames264;  // H.264 with B-frames, 1278 x 720 at 29.97 pictures a second
    QString hd265;       // H.265, 1920 x 1080 at 25
    QString sub264;      // H.264, 352 x 288 at 12.5: the first camera's sub stream
    QString file265;     // H.265, 640 x 360 at 25: a video file as a channel
    QString error;
};

Videos& videos()
{
    static Videos made = [] {
        Videos v;
        const auto make = [&v](const TestVideo& video, const QString& name) {
            const QString path = v.dir.path() + QLatin1Char('/') + name;
            QString error;
            if (v.error.isEmpty() && !makeTestVideo(video, path, error))
                v.error = name + QStringLiteral(": ") + error;
            return path;
        };
        v.bFrames264 = make({QStringLiteral("h264"), 1278, 720, QStringLiteral("30000/1001"), 4, 2, 30}, "b264.mkv");
        v.hd265 = make({QStringLiteral("h265"), 1920, 1080, QStringLiteral("25"), 2, 0, 25}, "hd265.mkv");
        v.sub264 = make({QStringLiteral("h264"), 352, 288, QStringLiteral("12.5"), 4, 0, 12}, "sub264.mkv");
        v.file265 = make({QStringLiteral("h265"), 640, 360, QStringLiteral("25"), 4, 0, 25}, "file265.mkv");
        return v;
    }();
    return made;
}

// The sources of the recorder's status, by channel and stream type.
std::optional<QJsonObject> sourceOf(RecorderProcess& recorder, int channel, int streamType = 0)
{
    const HttpAnswer answer = recorder.http("GET", "/sim/status");
    for (const QJsonValue& source : QJsonDocument::fromJson(answer.body).object().value(QLatin1String("sources")).toArray()) {
        const QJsonObject s = source.toObject();
        if (s.value(QLatin1String("channel")).toInt() == channel && s.value(QLatin1String("streamType")).toInt() == streamType)
            return s;
    }
    return std::nullopt;
}

bool waitForSourceState(RecorderProcess& recorder, int channel, const QString& state, int timeoutMs = 20000)
{
    return QTest::qWaitFor(
        [&] {
            const std::optional<QJsonObject> source = sourceOf(recorder, channel);
            return source && source->value(QLatin1String("state")).toString() == state;
        },
        timeoutMs);
}

// A recorder with four channels: 0 the H.264 camera (password from a file,
// with a sub stream), 1 the H.265 camera (password in its address), 2 a video
// file, 3 the synthetic picture.
class CameraChannels {
public:
    bool start(QString& why)
    {
        if (!RecorderProcess::available()) {
            why = QStringLiteral("no recorder simulator at ") + RecorderProcess::programPath();
            return false;
        }
        if (!CameraServer::available(&why))
            return false;
        if (!videos().error.isEmpty()) {
            why = videos().error;
            return false;
        }
        const QString user = kCameraUser + QLatin1Char(':') + kCameraPassword;
        if (!camera.start({{QStringLiteral("/b264"), videos().bFrames264},
                           {QStringLiteral("/hd265"), videos().hd265},
                           {QStringLiteral("/sub"), videos().sub264}},
                          user)) {
            why = QStringLiteral("the RTSP server did not start");
            return false;
        }
        const QString credentials = secrets.path() + QStringLiteral("/camera0");
        QFile file(credentials);
        file.open(QIODevice::WriteOnly);
        file.write(user.toUtf8() + '\n');
        file.close();
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        const QString escaped = QString::fromLatin1(QUrl::toPercentEncoding(kCameraUser)) + QLatin1Char(':') +
                                QString::fromLatin1(QUrl::toPercentEncoding(kCameraPassword));
        arguments = {QStringLiteral("--channels"), QStringLiteral("4"), QStringLiteral("--source"),
                     QStringLiteral("0=%1,sub=%2,credentials=%3")
                         .arg(camera.url(QStringLiteral("/b264")), camera.url(QStringLiteral("/sub")), credentials),
                     QStringLiteral("--source"), QStringLiteral("1=") + camera.url(QStringLiteral("/hd265"), escaped),
                     QStringLiteral("--source"), QStringLiteral("2=") + videos().file265};
        return true;
    }

    CameraServer camera;
    QTemporaryDir secrets;
    QStringList arguments;
};

struct FiredEvent {
    std::string name;
    std::vector<Variant> args;
};

class CamerasLive : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString why;
        if (!cameras.start(why))
            GTEST_SKIP() << why.toStdString();
        ASSERT_TRUE(recorder.start(QStringLiteral("viewer"), QStringLiteral("s3cret"), cameras.arguments));
        control = std::make_unique<CVELK_DVRCtrl>();
        control->setEventSink([this](const EventInfo& event, const std::vector<Variant>& args) {
            events.push_back({event.name, args});
        });
        control->createWindow(nullptr, QRect(0, 0, 962, 542), 0, true);
        const QString result = control->Login(QStringLiteral("127.0.0.1"), recorder.devicePort(),
                                              QStringLiteral("viewer"), passwordText("s3cret"));
        ASSERT_TRUE(result.startsWith(QStringLiteral("00000000_"))) << result.toStdString();
        id = result.mid(result.indexOf(QLatin1Char('_')) + 1).toUInt();
    }

    void TearDown() override
    {
        control.reset();
        CDeviceManage::shutdown();
    }

    CChannelEX* slot(int i) { return control->previewPanel().slotWindow(i); }
    // The window shows pictures, more than `after` of them.
    bool showing(int i, std::uint64_t after = 0, int timeoutMs = 30000)
    {
        return QTest::qWaitFor(
            [&] {
                return slot(i) && slot(i)->status() == preview::kStatusShowing && slot(i)->view().picturesShown() > after;
            },
            timeoutMs);
    }
    QString recordRoot() const { return dir.path() + QStringLiteral("/records/"); }
    QStringList recordFiles(int channel) const
    {
        const QString folder =
            recordRoot() + QStringLiteral("127.0.0.1/RECORD/CH%1/").arg(channel + 1, 2, 10, QLatin1Char('0'));
        QStringList files;
        for (const QString& name : QDir(folder).entryList({QStringLiteral("*.264")}, QDir::Files, QDir::Name))
            files << folder + name;
        return files;
    }

    CameraChannels cameras;
    QTemporaryDir dir;
    RecorderProcess recorder;
    std::unique_ptr<CVELK_DVRCtrl> control;
    std::uint32_t id = 0;
    std::vector<FiredEvent> events;
};

// The video frames of a record file: (key, codec, payload).
struct RecordedFrame {
    bool key = false;
    media::VideoCodec codec = media::VideoCodec::H264;
    QByteArray payload;
};

std::vector<RecordedFrame> videoFramesOf(const QString& path)
{
    QFile file(path);
    std::vector<RecordedFrame> frames;
    if (!file.open(QIODevice::ReadOnly))
        return frames;
    const QByteArray bytes = file.readAll();
    std::size_t at = recordfile::kDataOffset;
    media::VideoCodec codec = media::VideoCodec::H264;
    while (at < std::size_t(bytes.size())) {
        const auto data = std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()) + at, bytes.size() - at);
        const std::optional<media::FrameView> frame = media::parseFrame(data);
        if (!frame)
            break;
        if (media::isVideo(frame->kind)) {
            if (frame->video)
                codec = frame->video->codec;
            frames.push_back({frame->kind == media::MediaKind::VideoKey, codec,
                              QByteArray(reinterpret_cast<const char*>(frame->payload.data()),
                                         static_cast<qsizetype>(frame->payload.size()))});
        }
        at += frame->totalBytes;
    }
    return frames;
}

// The picture's slices, each NAL unit without its start code. What else an
// access unit holds (delimiter, parameter sets, SEI, an end of sequence at
// the end of a looped file) the camera sends in its own order, and the
// recorder puts the parameter sets first.
std::vector<QByteArray> slicesOf(const QByteArray& unit, media::VideoCodec codec)
{
    static const QByteArray kStart("\0\0\1", 3);
    std::vector<QByteArray> slices;
    for (qsizetype at = unit.indexOf(kStart); at >= 0;) {
        const qsizetype next = unit.indexOf(kStart, at + 3);
        QByteArray nal = unit.mid(at + 3, next < 0 ? -1 : next - at - 3);
        while (nal.endsWith('\0'))  // the next start code's leading zero
            nal.chop(1);
        const auto header = static_cast<std::uint8_t>(nal.isEmpty() ? 0 : nal.at(0));
        const int type = codec == media::VideoCodec::H265 ? (header >> 1) & 0x3F : header & 0x1F;
        if (codec == media::VideoCodec::H265 ? type < 32 : (type >= 1 && type <= 5))
            slices.push_back(nal);
        at = next;
    }
    return slices;
}

TEST_F(CamerasLive, EveryKindOfChannelShowsPicturesAtItsRealSize)
{
    control->StartViewAll(id, 4, 0);
    struct Expected {
        int channel;
        int width;
        int height;
        const char* codec;
    };
    for (const Expected& e : {Expected{0, 1278, 720, "h264"}, Expected{1, 1920, 1080, "h265"},
                              Expected{2, 640, 360, "h265"}, Expected{3, 704, 576, "h264"}}) {
        SCOPED_TRACE(e.channel);
        ASSERT_TRUE(showing(e.channel, 10));
        EXPECT_EQ(slot(e.channel)->pictureWidth(), e.width);
        EXPECT_EQ(slot(e.channel)->pictureHeight(), e.height);
        if (e.channel < 3) {
            const std::optional<QJsonObject> source = sourceOf(recorder, e.channel);
            ASSERT_TRUE(source);
            EXPECT_EQ(source->value(QLatin1String("codec")).toString(), QLatin1String(e.codec));
            EXPECT_EQ(source->value(QLatin1String("state")).toString(), QStringLiteral("live"));
            // The password is never shown.
            EXPECT_FALSE(source->value(QLatin1String("url")).toString().contains(QStringLiteral("w/rd")));
            EXPECT_FALSE(source->value(QLatin1String("url")).toString().contains(QStringLiteral("w%2Frd")));
        }
    }
    // The sub stream of the first camera.
    EXPECT_EQ(control->SwitchPreviewStreamType(id, 1), 0u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return slot(0)->pictureWidth() == 352 && slot(0)->pictureHeight() == 288; },
                                20000));
    EXPECT_TRUE(showing(0, slot(0)->view().picturesShown()));
}

TEST_F(CamerasLive, ALocalRecordingHoldsTheCamerasFramesUnchanged)
{
    ASSERT_EQ(control->SetLocalParameter(id, QStringLiteral("record_path"), recordRoot(), QStringLiteral("set")),
              QStringLiteral("succeed"));
    control->StartViewAll(id, 2, 0);
    ASSERT_TRUE(showing(0));
    ASSERT_TRUE(showing(1));
    EXPECT_EQ(control->StartRecord(id, 0, QString()), 0u);
    QTest::qWait(3000);
    EXPECT_EQ(control->StopRecord(id, 0), 0u);

    struct Case {
        int channel;
        QString video;
        QString codec;
    };
    for (const Case& c : {Case{0, videos().bFrames264, QStringLiteral("h264")},
                          Case{1, videos().hd265, QStringLiteral("h265")}}) {
        SCOPED_TRACE(c.channel);
        const QStringList files = recordFiles(c.channel);
        ASSERT_EQ(files.size(), 1);
        const std::vector<RecordedFrame> frames = videoFramesOf(files[0]);
        ASSERT_GT(frames.size(), 20u);
        EXPECT_TRUE(frames.front().key);
        const QByteArray source = annexBOf(c.video, c.codec);
        ASSERT_FALSE(source.isEmpty());
        const media::VideoCodec codec = c.codec == QLatin1String("h265") ? media::VideoCodec::H265 : media::VideoCodec::H264;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const RecordedFrame& frame = frames[i];
            EXPECT_EQ(frame.codec, codec);
            const std::vector<QByteArray> slices = slicesOf(frame.payload, codec);
            ASSERT_FALSE(slices.empty()) << i;
            // Each picture's slices stand in the camera's file as they are.
            for (const QByteArray& slice : slices)
                EXPECT_TRUE(source.contains(slice)) << "frame " << i << " of " << frames.size()
                                                    << (frame.key ? ", key" : "") << ", " << frame.payload.size()
                                                    << " bytes: " << frame.payload.left(32).toHex(' ').toStdString()
                                                    << " … " << frame.payload.right(16).toHex(' ').toStdString();
        }
    }
}

TEST_F(CamerasLive, ACameraSwitchedOffAndOnAgainComesBackByItself)
{
    control->StartViewAll(id, 4, 0);
    for (int channel = 0; channel < 4; ++channel)
        ASSERT_TRUE(showing(channel)) << channel;
    cameras.camera.stop();
    // The camera channels show that they wait for their camera; the file and
    // the synthetic channel go on.
    for (const int channel : {0, 1}) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return slot(channel)->status() == preview::kStatusReconnecting; }, 20000))
            << channel;
        EXPECT_TRUE(waitForSourceState(recorder, channel, QStringLiteral("lost")));
    }
    for (const int channel : {2, 3}) {
        const std::uint64_t shown = slot(channel)->view().picturesShown();
        EXPECT_TRUE(showing(channel, shown + 10)) << channel;
    }
    ASSERT_TRUE(cameras.camera.restart());
    for (const int channel : {0, 1}) {
        EXPECT_TRUE(waitForSourceState(recorder, channel, QStringLiteral("live"), 40000)) << channel;
        const std::uint64_t shown = slot(channel)->view().picturesShown();
        EXPECT_TRUE(showing(channel, shown + 10)) << channel;
        EXPECT_GE(sourceOf(recorder, channel)->value(QLatin1String("reconnects")).toInt(), 1);
    }
}

// What the recorder recorded of its cameras, through the automation host.
class CameraRecordingsThroughHost : public ::testing::Test {
protected:
    static constexpr int kControlWidth = 960;
    static constexpr int kControlHeight = 540;
    // The playback bar's Play button, and the first window of the grid.
    static constexpr int kButtonY = kControlHeight - 35 + 12;
    static constexpr int kPlayX = 145 + 13;

    void SetUp() override
    {
        QString why;
        if (!cameras.start(why))
            GTEST_SKIP() << why.toStdString();
        ASSERT_TRUE(recorder.start(QStringLiteral("viewer"), QStringLiteral("tape5"), cameras.arguments));
        ASSERT_TRUE(host.start());
        const QString login =
            call("Login", {"127.0.0.1", recorder.devicePort(), "viewer", passwordText("tape5")}).toString();
        ASSERT_TRUE(login.startsWith(QLatin1String("00000000_"))) << login.toStdString();
        id = login.mid(9).toLongLong();
    }

    QJsonValue call(const char* method, const QJsonArray& params)
    {
        return resultOf(host.call(QString::fromLatin1(method), params, 20000));
    }
    QStringList& lines()
    {
        for (const QJsonValue& line : call("$debug", {}).toArray())
            m_lines << line.toString().trimmed();
        return m_lines;
    }
    int waitForLine(const QString& start, int from = 0, int timeoutMs = 20000)
    {
        const QDeadlineTimer deadline(timeoutMs);
        do {
            const QStringList& all = lines();
            for (int i = from; i < all.size(); ++i)
                if (all[i].startsWith(start))
                    return i;
            QThread::msleep(50);
        } while (!deadline.hasExpired());
        return -1;
    }
    // The channel's recordings of today, once one lasts at least minSeconds.
    QJsonArray recordingsOf(int channel, int minSeconds)
    {
        QJsonArray spans;
        (void)QTest::qWaitFor(
            [&] {
                const HttpAnswer answer =
                    recorder.http("GET", "/api/recordings?date=" + QDate::currentDate().toString(Qt::ISODate).toLatin1() +
                                             "&channel=" + QByteArray::number(channel));
                spans = QJsonDocument::fromJson(answer.body).object().value(QLatin1String("spans")).toArray();
                return std::any_of(spans.begin(), spans.end(), [&](const QJsonValue& v) {
                    const QDateTime start = QDateTime::fromString(v[QLatin1String("start")].toString(), kTimeForm);
                    const QDateTime end = QDateTime::fromString(v[QLatin1String("end")].toString(), kTimeForm);
                    return start.secsTo(end) >= minSeconds;
                });
            },
            60000);
        return spans;
    }
    static quint64 fingerprint(const QImage& picture, const QRect& area)
    {
        quint64 sum = 1469598103934665603ull;
        for (int y = area.top(); y <= area.bottom(); y += 2)
            for (int x = area.left(); x <= area.right(); x += 2)
                sum = (sum ^ picture.pixel(x, y)) * 1099511628211ull;
        return sum;
    }

    inline static const QString kTimeForm = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    CameraChannels cameras;
    RecorderProcess recorder;
    HostProcess host{{QStringLiteral("--stdio"), QStringLiteral("--size"),
                      QStringLiteral("%1x%2").arg(kControlWidth).arg(kControlHeight)}};
    qint64 id = 0;
    QStringList m_lines;
};

TEST_F(CameraRecordingsThroughHost, AnH265CameraIsRecordedPlayedBackAndDownloaded)
{
    const QByteArray allDay = "[[{\"E\":86399,\"S\":0,\"T\":0}],[{\"E\":86399,\"S\":0,\"T\":0}],"
                              "[{\"E\":86399,\"S\":0,\"T\":0}],[{\"E\":86399,\"S\":0,\"T\":0}],"
                              "[{\"E\":86399,\"S\":0,\"T\":0}],[{\"E\":86399,\"S\":0,\"T\":0}],"
                              "[{\"E\":86399,\"S\":0,\"T\":0}]]";
    ASSERT_EQ(recorder.http("PUT", "/api/schedule?channel=1", allDay).status, 200);
    const QJsonArray spans = recordingsOf(1, 6);
    ASSERT_FALSE(spans.isEmpty());
    const QJsonObject span = spans.last().toObject();
    const QString today = QDate::currentDate().toString(Qt::ISODate);

    // Played back in the control's playback page.
    ASSERT_EQ(call("SwitchPage", {3}).toInteger(), 0);
    call("SetPlayBackChannels", {0x2});
    ASSERT_EQ(call("SetPlaybackDate", {id, today}).toInteger(), 0);
    for (const QJsonValue& value : spans)
        ASSERT_EQ(call("SetRecordPeriod", {id, value[QLatin1String("start")], value[QLatin1String("end")], 1, 0, 0})
                      .toInteger(),
                  0);
    ASSERT_EQ(call("CompleteSetRecordPeriod", {id}).toInteger(), 0);
    const int from = lines().size();
    EXPECT_TRUE(call("$input", {QJsonObject{{"type", "click"}, {"x", kPlayX}, {"y", kButtonY}}}).isNull());
    ASSERT_GE(waitForLine(QStringLiteral("playback at "), from), 0) << lines().join('\n').toStdString();
    const QRect window(100, 60, 700, 300);
    const quint64 first = fingerprint(host.grab(), window);
    EXPECT_NE(fingerprint(host.grabWhen([&](const QImage& p) { return fingerprint(p, window) != first; }, 10000),
                          window),
              first);

    // Downloaded: a record file of H.265 frames.
    const QDateTime start = QDateTime::fromString(span.value(QLatin1String("start")).toString(), kTimeForm);
    const QString key = QStringLiteral("hevc");
    ASSERT_EQ(call("StartBackup", {id, span.value(QLatin1String("file")), QStringLiteral("1"), start.toString(kTimeForm),
                                   start.addSecs(4).toString(kTimeForm), key})
                  .toInteger(),
              8);
    const std::optional<QJsonObject> done = host.takeNotification(
        QStringLiteral("UploadBackupProcess"),
        [&](const QJsonObject& p) {
            return p.value(QLatin1String("BackupKey")).toString() == key && p.value(QLatin1String("ulFlag")).toInt() == 1;
        },
        60000);
    ASSERT_TRUE(done.has_value());
    QStringList clips;
    QDirIterator it(host.homePath() + QStringLiteral("/VELK_Dvr/127.0.0.1/BACKUP"), {QStringLiteral("*.264")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        clips << it.next();
    ASSERT_EQ(clips.size(), 1);
    const std::vector<RecordedFrame> frames = videoFramesOf(clips[0]);
    ASSERT_GT(frames.size(), 50u);
    EXPECT_TRUE(frames.front().key);
    for (const RecordedFrame& frame : frames)
        EXPECT_EQ(frame.codec, media::VideoCodec::H265);
}

}  // namespace
