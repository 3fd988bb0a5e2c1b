// SPDX-License-Identifier: GPL-3.0-or-later
// Live channels of a recorder simulator recorded into local files through
// the control and the real libraries; velk-264-info reads them back. A lost
// connection splits a recording, a record folder that cannot be created
// records nothing, snapshots become JPEG files and reach the page.
#include "HostProcess.h"
#include "RecorderProcess.h"

#include "control/CVELK_DVRCtrl.h"
#include "device/CDeviceManage.h"
#include "preview/VideoStatus.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

struct ToolRun {
    int exitCode = -1;
    QJsonObject json;
    QByteArray text;
};

// velk-264-info on one file, as text and as JSON.
ToolRun runTool(const QString& path)
{
    ToolRun run;
    QProcess tool;
    tool.start(QStringLiteral(VELK_264_INFO_PATH), {QStringLiteral("--json"), path});
    if (!tool.waitForFinished(20000))
        return run;
    run.exitCode = tool.exitCode();
    run.json = QJsonDocument::fromJson(tool.readAllStandardOutput()).object();
    tool.start(QStringLiteral(VELK_264_INFO_PATH), {path});
    tool.waitForFinished(20000);
    run.text = tool.readAllStandardOutput();
    return run;
}

double secondsOf(const QJsonValue& time)
{
    const QJsonObject object = time.toObject();
    return object.value(QLatin1String("seconds")).toDouble() +
           object.value(QLatin1String("milliseconds")).toDouble() / 1000.0;
}

struct FiredEvent {
    std::string name;
    std::vector<Variant> args;
};

class LocalRecord : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!RecorderProcess::available())
            GTEST_SKIP() << "no recorder simulator at " << RecorderProcess::programPath().toStdString();
        control = std::make_unique<CVELK_DVRCtrl>();
        control->setEventSink([this](const EventInfo& event, const std::vector<Variant>& args) {
            events.push_back({event.name, args});
        });
        control->setSnapshotSink([this](const QString& path, int channel) { snapshots.push_back({path, channel}); });
        control->createWindow(nullptr, QRect(0, 0, 642, 482), 0, true);
        ASSERT_TRUE(recorder.start(QStringLiteral("viewer"), QStringLiteral("s3cret")));
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

    QString recordRoot() const { return dir.path() + QStringLiteral("/records/"); }
    QString channelFolder(int channel) const
    {
        return recordRoot() + QStringLiteral("127.0.0.1/RECORD/CH%1/").arg(channel + 1, 2, 10, QLatin1Char('0'));
    }
    QStringList recordFiles(int channel) const
    {
        QStringList files;
        for (const QString& name : QDir(channelFolder(channel)).entryList({QStringLiteral("*.264")}, QDir::Files,
                                                                         QDir::Name))
            files << channelFolder(channel) + name;
        return files;
    }
    void useRecordRoot(const QString& root)
    {
        ASSERT_EQ(control->SetLocalParameter(id, QStringLiteral("record_path"), root, QStringLiteral("set")),
                  QStringLiteral("succeed"));
    }
    CChannelEX* slot(int i) { return control->previewPanel().slotWindow(i); }
    bool showing(int count)
    {
        return QTest::qWaitFor(
            [&] {
                for (int i = 0; i < count; ++i)
                    if (!slot(i) || slot(i)->status() != preview::kStatusShowing ||
                        slot(i)->view().picturesShown() == 0)
                        return false;
                return true;
            },
            20000);
    }
    // Waits for ReTurnPreviewAllChannelState(1, mask).
    bool recordStateFired(std::uint32_t mask)
    {
        return QTest::qWaitFor(
            [&] {
                return std::any_of(events.begin(), events.end(), [&](const FiredEvent& e) {
                    return e.name == "ReTurnPreviewAllChannelState" && e.args.size() == 2 && e.args[0].integer == 1 &&
                           e.args[1].integer == mask;
                });
            },
            5000);
    }
    // A recorded file reads back cleanly with its header filled in.
    void expectFinished(const QString& path, int channel)
    {
        SCOPED_TRACE(path.toStdString());
        const ToolRun run = runTool(path);
        EXPECT_EQ(run.exitCode, 0) << run.text.toStdString();
        EXPECT_EQ(run.json.value(QLatin1String("header")).toString(), QStringLiteral("valid"));
        EXPECT_EQ(run.json.value(QLatin1String("channel")).toInt(), channel + 1);
        EXPECT_GT(run.json.value(QLatin1String("videoFrames")).toInt(), 5);
        const double first = secondsOf(run.json.value(QLatin1String("firstFrameScan")));
        const double last = secondsOf(run.json.value(QLatin1String("lastFrameScan")));
        for (const char* key : {"firstFrameTime", "lastFrameTime"}) {
            const double time = secondsOf(run.json.value(QLatin1String(key)));
            EXPECT_GE(time, first - 0.001) << key;
            EXPECT_LE(time, last + 0.001) << key;
        }
        EXPECT_TRUE(run.text.contains("header: valid\n")) << run.text.toStdString();
    }

    QTemporaryDir dir;
    RecorderProcess recorder;
    std::unique_ptr<CVELK_DVRCtrl> control;
    std::uint32_t id = 0;
    std::vector<FiredEvent> events;
    std::vector<std::pair<QString, int>> snapshots;
};

}  // namespace

TEST_F(LocalRecord, ThreeChannelsRecordIntoFilesThatReadBackCleanly)
{
    useRecordRoot(recordRoot());
    control->StartViewAll(id, 3, 0);
    ASSERT_TRUE(showing(3));

    EXPECT_EQ(control->StartRecord(id, 0, QString()), 0u);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(slot(i)->isRecording()) << i;
    EXPECT_TRUE(recordStateFired(0x7));
    QTest::qWait(2500);
    EXPECT_EQ(control->StopRecord(id, 0), 0u);
    EXPECT_TRUE(recordStateFired(0x0));

    for (int channel = 0; channel < 3; ++channel) {
        const QStringList files = recordFiles(channel);
        ASSERT_EQ(files.size(), 1) << channel;
        EXPECT_TRUE(QFileInfo(files[0]).fileName().startsWith(QStringLiteral("ch%1_").arg(channel + 1, 2, 10,
                                                                                          QLatin1Char('0'))));
        expectFinished(files[0], channel);
    }
    EXPECT_EQ(control->StartRecord(id + 1000, 0, QString()), 1u);
}

TEST_F(LocalRecord, ALostConnectionFinishesTheFileAndTheNextFrameStartsANewOne)
{
    useRecordRoot(recordRoot());
    control->StartViewAll(id, 1, 0);
    ASSERT_TRUE(showing(1));
    control->StartRecord(id, 0, QString());
    ASSERT_TRUE(slot(0)->isRecording());
    QTest::qWait(2500);

    ASSERT_EQ(recordFiles(0).size(), 1);
    ASSERT_FALSE(recorder.sim(QStringLiteral("drop")).isEmpty());
    // The first file is finished at the loss; the first block after the
    // reconnect starts the second one.
    ASSERT_TRUE(QTest::qWaitFor([&] { return recordFiles(0).size() == 2; }, 20000));
    EXPECT_TRUE(slot(0)->isRecording());
    QTest::qWait(2500);
    control->StopRecord(id, 0);

    const QStringList files = recordFiles(0);
    ASSERT_EQ(files.size(), 2);
    for (const QString& file : files)
        expectFinished(file, 0);
}

TEST_F(LocalRecord, LogoutFinishesTheRecording)
{
    useRecordRoot(recordRoot());
    control->StartViewAll(id, 1, 0);
    ASSERT_TRUE(showing(1));
    control->StartRecord(id, 0, QString());
    QTest::qWait(2000);
    EXPECT_EQ(control->Logout(id), 0u);
    const QStringList files = recordFiles(0);
    ASSERT_EQ(files.size(), 1);
    expectFinished(files[0], 0);
}

TEST_F(LocalRecord, ARecordFolderThatCannotBeCreatedRecordsNothing)
{
    QFile blocker(dir.path() + QStringLiteral("/not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString root = blocker.fileName() + QStringLiteral("/records/");
    useRecordRoot(root);
    control->StartViewAll(id, 2, 0);
    ASSERT_TRUE(showing(2));

    EXPECT_EQ(control->StartRecord(id, 0, QString()), 0x8002001fu);
    EXPECT_FALSE(slot(0)->isRecording());
    EXPECT_FALSE(slot(1)->isRecording());
    EXPECT_TRUE(recordStateFired(0x0));
    EXPECT_EQ(slot(0)->StartLocalRecord(root, QStringLiteral("127.0.0.1")),
              static_cast<std::int32_t>(0x8002001fu));
    EXPECT_FALSE(slot(0)->isRecording());
}

TEST_F(LocalRecord, SnapshotIsAJpegFileInTheChannelsCaptureFolder)
{
    const QString snapRoot = dir.path() + QStringLiteral("\\snaps\\  ");  // page style, trailing blanks
    ASSERT_EQ(control->SetLocalParameter(id, QStringLiteral("snap_path"), snapRoot, QStringLiteral("set")),
              QStringLiteral("succeed"));
    control->StartViewAll(id, 2, 0);
    ASSERT_TRUE(showing(2));
    ASSERT_EQ(control->GetActiveChannel(id), 0);

    EXPECT_EQ(control->CaptureImage(id), 0u);
    ASSERT_EQ(snapshots.size(), 1u);
    const auto& [path, channel] = snapshots.front();
    EXPECT_EQ(channel, 0);
    const QString folder = dir.path() + QStringLiteral("/snaps/127.0.0.1/CAPTURE/CH01/");
    EXPECT_TRUE(path.startsWith(folder)) << path.toStdString();
    EXPECT_TRUE(path.endsWith(QStringLiteral(".jpeg")));
    QImageReader reader(path);
    EXPECT_EQ(reader.format(), QByteArray("jpeg"));
    EXPECT_FALSE(reader.read().isNull());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{QFileInfo(path).fileName()});  // no BMP left
}

TEST(HostSnapshot, TheHostTellsThePageWhereTheSnapshotWent)
{
    if (!RecorderProcess::available() || !HostProcess::available())
        GTEST_SKIP() << "recorder or host not built";
    RecorderProcess recorder;
    ASSERT_TRUE(recorder.start(QStringLiteral("viewer"), QStringLiteral("s3cret")));
    HostProcess host;
    ASSERT_TRUE(host.start());
    const QString login = resultOf(host.call(QStringLiteral("Login"), QJsonArray{"127.0.0.1", recorder.devicePort(),
                                                                                "viewer", passwordText("s3cret")}))
                              .toString();
    ASSERT_TRUE(login.startsWith(QStringLiteral("00000000_"))) << login.toStdString();
    const int id = login.mid(9).toInt();
    resultOf(host.call(QStringLiteral("StartViewAll"), QJsonArray{id, 1, 0}));
    // The first picture may take a moment: ask until a snapshot is saved.
    std::optional<QJsonObject> saved;
    for (int attempt = 0; attempt < 40 && !saved; ++attempt) {
        resultOf(host.call(QStringLiteral("CaptureImage"), QJsonArray{id}));
        saved = host.takeNotification(QStringLiteral("$snapshot"), {}, 500);
    }
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->value(QLatin1String("channel")).toInt(), 0);
    const QString path = saved->value(QLatin1String("path")).toString();
    EXPECT_TRUE(path.startsWith(host.homePath())) << path.toStdString();
    EXPECT_TRUE(path.endsWith(QStringLiteral(".jpeg")));
    EXPECT_TRUE(QFile::exists(path));
}
