// SPDX-License-Identifier: GPL-3.0-or-later
// A video window's local recording against a fake network library: blocks
// of the stream callback land in the file, a lost connection finishes the
// file and the next first frame starts another, a write error (the disk is
// full) finishes it, and the key frame request names the channel.
#include "FakeStreamLibrary.h"
#include "PreviewTestSupport.h"
#include "RecordTestFiles.h"

#include "preview/CChannelEX.h"
#include "preview/PreviewMessages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace preview_test;

namespace {

constexpr std::uint32_t kDevice = 0x77;
constexpr int kChannel = 2;

std::string block(std::uint32_t seconds, std::size_t payloadBytes = 1500)
{
    const auto bytes = recordtest::frame(seconds, 0, payloadBytes, true, media::MediaKind::VideoDelta, kChannel);
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

class RecordWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake_stream::install();
        parent.createWindow(nullptr, QRect(0, 0, 400, 300), 0, true);
        ASSERT_TRUE(window.createWindow(&parent, QRect(0, 0, 322, 242), 1234, true));
    }
    void TearDown() override
    {
        window.destroyWindow();
        parent.destroyWindow();
        fake_stream::uninstall();
    }

    // Opens channel 2 and lets its first block arrive.
    std::uint32_t open()
    {
        EXPECT_EQ(window.StartRealPlay(kDevice, kChannel, 0), 0);
        const std::uint32_t play = window.playHandle();
        fake_stream::callBack(play, 1, block(1));
        return play;
    }
    QString root() const { return dir.path() + QLatin1Char('/'); }
    QStringList files() const
    {
        const QString folder = root() + QStringLiteral("10.1.1.1/RECORD/CH03/");
        QStringList paths;
        for (const QString& name : QDir(folder).entryList({QStringLiteral("*.264")}, QDir::Files, QDir::Name))
            paths << folder + name;
        return paths;
    }
    void feed(std::uint32_t play, std::uint32_t fromSeconds, int count)
    {
        for (int i = 0; i < count; ++i)
            fake_stream::callBack(play, 1, block(fromSeconds + static_cast<std::uint32_t>(i)));
    }

    QTemporaryDir dir;
    MessageLog parent;
    CChannelEX window{3};
};

}  // namespace

TEST_F(RecordWindow, BlocksBetweenStartAndStopMakeOneFinishedFile)
{
    EXPECT_EQ(window.StartLocalRecord(root(), QStringLiteral("10.1.1.1")), CChannelEX::kNoPlayHandleToRecord);
    const std::uint32_t play = open();
    ASSERT_EQ(window.StartLocalRecord(root(), QStringLiteral("10.1.1.1")), 0);
    EXPECT_TRUE(window.isRecording());
    EXPECT_EQ(window.StartLocalRecord(root(), QStringLiteral("10.1.1.1")), 0);  // already recording

    const std::vector<Json::Value> requests = fake_stream::commands("REQUESTIFRAME");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["PARAM"]["HPLAY"].asUInt(), kDevice);  // the device handle, not the play handle
    EXPECT_EQ(requests[0]["PARAM"]["CHANNEL"].asUInt(), 1u << kChannel);
    EXPECT_EQ(requests[0]["PARAM"]["STREAMTYPE"].asUInt(), 0u);

    feed(play, 100, 10);
    EXPECT_EQ(window.StopLocalRecord(), 0);
    EXPECT_FALSE(window.isRecording());
    feed(play, 200, 2);  // not recording any more

    ASSERT_EQ(files().size(), 1);
    const std::vector<std::uint8_t> bytes = readAll(files()[0]);
    EXPECT_EQ(bytes.size(), 1024 + 10 * block(0).size());
    const recordfile::ParsedHeader header = recordfile::parseHeader(bytes);
    ASSERT_EQ(header.state, recordfile::HeaderState::Valid) << header.problem;
    EXPECT_EQ(header.channel, kChannel);
    EXPECT_EQ(bytes[180], kChannel + 1);
    EXPECT_EQ(header.firstTime.seconds, 100u);
}

TEST_F(RecordWindow, ALostConnectionFinishesTheFileAndTheNextFirstFrameStartsANewOne)
{
    const std::uint32_t play = open();
    ASSERT_EQ(window.StartLocalRecord(root(), QStringLiteral("10.1.1.1")), 0);
    feed(play, 100, 10);
    fake_stream::callBack(play, 6);
    EXPECT_TRUE(window.isRecording());  // suspended, not stopped
    ASSERT_EQ(files().size(), 1);
    EXPECT_EQ(recordfile::parseHeader(readAll(files()[0])).state, recordfile::HeaderState::Valid);

    feed(play, 300, 10);  // the first of these is the next first frame
    EXPECT_TRUE(window.isRecording());
    EXPECT_EQ(window.StopLocalRecord(), 0);
    const QStringList paths = files();
    ASSERT_EQ(paths.size(), 2);  // "_2" when both started in the same second
    for (const QString& path : paths) {
        const std::vector<std::uint8_t> bytes = readAll(path);
        EXPECT_EQ(bytes.size(), 1024 + 10 * block(0).size()) << path.toStdString();
        EXPECT_EQ(recordfile::parseHeader(bytes).state, recordfile::HeaderState::Valid);
    }
    EXPECT_EQ(fake_stream::count("REQUESTIFRAME"), 2u);
}

TEST_F(RecordWindow, StoppingWhileReconnectingEndsTheRecording)
{
    const std::uint32_t play = open();
    ASSERT_EQ(window.StartLocalRecord(root(), QStringLiteral("10.1.1.1")), 0);
    feed(play, 100, 10);
    fake_stream::callBack(play, 6);
    EXPECT_EQ(window.StopLocalRecord(), 0);
    EXPECT_FALSE(window.isRecording());
    feed(play, 300, 10);
    EXPECT_FALSE(window.isRecording());
    EXPECT_EQ(files().size(), 1);
}

TEST_F(RecordWindow, AWriteErrorStopsTheRecordingAndTellsTheGrid)
{
    const std::uint32_t play = open();
    ASSERT_EQ(window.StartLocalRecord(root(), QStringLiteral("10.1.1.1")), 0);

    struct sigaction ignore {};
    struct sigaction previousAction {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previousAction);
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit limited = previous;
    limited.rlim_cur = 40000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    feed(play, 100, 40);
    setrlimit(RLIMIT_FSIZE, &previous);
    sigaction(SIGXFSZ, &previousAction, nullptr);

    EXPECT_FALSE(window.isRecording());
    ASSERT_TRUE(waitUntil([&] { return !parent.messages(platform::WM_CHANNEL_RECORD_STATE).empty(); }));
    const Message notice = parent.messages(platform::WM_CHANNEL_RECORD_STATE).front();
    EXPECT_EQ(notice.wParam, static_cast<platform::WPARAM>(kChannel));
    EXPECT_EQ(notice.lParam, 0);
    ASSERT_EQ(files().size(), 1);
    const std::vector<std::uint8_t> bytes = readAll(files()[0]);
    EXPECT_LE(bytes.size(), 40000u);
    EXPECT_EQ(recordfile::parseHeader(bytes).state, recordfile::HeaderState::Valid);
}

TEST_F(RecordWindow, AFolderThatCannotBeUsedFailsAndNothingIsWrittenAnywhere)
{
    const std::uint32_t play = open();
    QFile blocker(dir.path() + QStringLiteral("/a-file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    // A network share must not become a folder at the root: a name no one
    // else uses, removed again should it appear.
    const QString shareName = QStringLiteral("velk-share-test-%1").arg(QCoreApplication::applicationPid());
    const QString shareAtRoot = QLatin1Char('/') + shareName;
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));  // where relative folders would land

    const QString roots[] = {
        QStringLiteral("rec\\"),
        QStringLiteral("D:\\rec\\"),
        QStringLiteral("\\\\") + shareName + QStringLiteral("\\rec\\"),
        QStringLiteral("//") + shareName + QStringLiteral("/rec/"),
        root() + QStringLiteral("a/../b/"),
        root() + QStringLiteral("x") + QChar(0) + QStringLiteral("/y/"),
        root() + QStringLiteral("a-file/rec/"),             // a file, not a folder
        root() + QString(256, QLatin1Char('n')) + QLatin1Char('/'),  // a name longer than 255 bytes
    };
    for (const QString& unusable : roots) {
        SCOPED_TRACE(unusable.toStdString());
        EXPECT_EQ(window.StartLocalRecord(unusable, QStringLiteral("10.1.1.1")), CChannelEX::kRecordFileNotCreated);
        EXPECT_FALSE(window.isRecording());
        feed(play, 100, 3);
        // Refused before any picture is asked for.
        EXPECT_EQ(window.CaptureLocalImage(unusable, QStringLiteral("10.1.1.1")), CChannelEX::kRecordFileNotCreated);
    }
    QDir::setCurrent(cwd);
    const bool shareCreated = QFileInfo::exists(shareAtRoot);
    if (shareCreated)
        QDir(shareAtRoot).removeRecursively();
    EXPECT_FALSE(shareCreated) << "a network share became " << shareAtRoot.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("a-file")});
    EXPECT_EQ(fake_stream::count("REQUESTIFRAME"), 0u);

    // A usable folder while no picture is shown: nothing to take, nothing saved.
    QString saved;
    EXPECT_EQ(window.CaptureLocalImage(root() + QStringLiteral("snaps/"), QStringLiteral("10.1.1.1"), &saved),
              CChannelEX::kNoStream);
    EXPECT_TRUE(saved.isEmpty());
}

TEST_F(RecordWindow, NonAsciiFoldersRecord)
{
    const std::uint32_t play = open();
    // "录像/快照" (recordings/snapshots), written Windows style.
    const QString chinese = QString::fromUtf8("\xE5\xBD\x95\xE5\x83\x8F\\\xE5\xBF\xAB\xE7\x85\xA7\\");
    ASSERT_EQ(window.StartLocalRecord(dir.path() + QLatin1Char('\\') + chinese, QStringLiteral("10.1.1.1")), 0);
    feed(play, 100, 10);
    EXPECT_EQ(window.StopLocalRecord(), 0);
    const QString folder =
        dir.path() + QString::fromUtf8("/\xE5\xBD\x95\xE5\x83\x8F/\xE5\xBF\xAB\xE7\x85\xA7/10.1.1.1/RECORD/CH03/");
    const QStringList names = QDir(folder).entryList({QStringLiteral("*.264")}, QDir::Files);
    ASSERT_EQ(names.size(), 1) << folder.toStdString();
    EXPECT_EQ(recordfile::parseHeader(readAll(folder + names[0])).state, recordfile::HeaderState::Valid);
}

TEST_F(RecordWindow, AFolderWithoutWritePermissionFails)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser may write to any folder";
    open();
    const QString locked = root() + QStringLiteral("locked/");
    ASSERT_TRUE(QDir().mkpath(locked));
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    EXPECT_EQ(window.StartLocalRecord(locked, QStringLiteral("10.1.1.1")), CChannelEX::kRecordFileNotCreated);
    EXPECT_FALSE(window.isRecording());
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(QDir(locked).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{});
}
