// SPDX-License-Identifier: GPL-3.0-or-later
// A local recording without a window: file names, the 1024 bytes before the
// first block, splitting after the pack time on an injected clock, short
// files deleted, headers written. (A full disk: RecordWindowTest.)
#include "RecordTestFiles.h"

#include "preview/LocalRecording.h"
#include "preview/RecordFileName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>


using preview::LocalRecording;
using preview::RecordClock;
using recordtest::frame;

namespace {

class FakeClock {
public:
    std::uint32_t tickMs = 0;
    QDateTime local{QDate(2026, 12, 8), QTime(10, 0, 0)};

    RecordClock clock()
    {
        return {[this] { return tickMs; }, [this] { return local; }};
    }
    void advanceMs(std::uint32_t ms)
    {
        tickMs += ms;
        local = local.addMSecs(ms);
    }
};

std::vector<std::uint8_t> readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

class Recording : public ::testing::Test {
protected:
    QString root() const { return dir.path() + QLatin1Char('/'); }
    QString channelFolder(int port = 80, int channel = 0) const
    {
        return root() + preview::deviceFolderName(QStringLiteral("10.0.0.7"), port) +
               QStringLiteral("/RECORD/CH%1/").arg(channel + 1, 2, 10, QLatin1Char('0'));
    }
    QStringList filesIn(const QString& folder) const
    {
        return QDir(folder).entryList(QDir::Files, QDir::Name);
    }
    bool start(LocalRecording& recording, int channel = 0, int packMinutes = 30)
    {
        return recording.start(root(), QStringLiteral("10.0.0.7"), 80, channel, [packMinutes] { return packMinutes; });
    }

    QTemporaryDir dir;
    FakeClock fake;
};

}  // namespace

TEST(RecordFileName, PortEightyKeepsTheBareAddress)
{
    const QDateTime time(QDate(2026, 3, 4), QTime(5, 6, 7));
    EXPECT_EQ(preview::recordFilePath(QStringLiteral("/r/"), QStringLiteral("192.168.1.20"), 80, 0, time),
              QStringLiteral("/r/192.168.1.20/RECORD/CH01/ch01_20260304-050607.264"));
    EXPECT_EQ(preview::recordFilePath(QStringLiteral("/r/"), QStringLiteral("192.168.1.20"), 8080, 15, time),
              QStringLiteral("/r/192.168.1.20_8080/RECORD/CH16/ch16_20260304-050607.264"));
    EXPECT_EQ(preview::snapshotFolder(QStringLiteral("/s/"), QStringLiteral("cam"), 8080, 4),
              QStringLiteral("/s/cam_8080/CAPTURE/CH05/"));
    EXPECT_EQ(preview::snapshotFileName(time), QStringLiteral("20260304-050607.bmp"));
    EXPECT_EQ(preview::jpegPathFor(QStringLiteral("/s/a.bmp")), QStringLiteral("/s/a.jpeg"));
}

TEST(RecordFileName, RootsAreNormalisedAndAddressesCannotLeaveThem)
{
    const QString expected = QStringLiteral("/home/ann/snaps/cam/CAPTURE/CH01/");
    for (const char* root : {"/home/ann/snaps/", "/home/ann/snaps", "\\home\\ann\\snaps\\  ", "/home/ann/snaps/ \t"})
        EXPECT_EQ(preview::snapshotFolder(QString::fromLatin1(root), QStringLiteral("cam"), 80, 0), expected) << root;
    for (const char* address : {"../../etc", "..", "a/../../b", "x\\..\\y", ""}) {
        const QString path = preview::recordFilePath(QStringLiteral("/r/"), QString::fromLatin1(address), 80, 0,
                                                     QDateTime::currentDateTime());
        EXPECT_FALSE(path.contains(QStringLiteral(".."))) << path.toStdString();
        EXPECT_EQ(path.count(QLatin1Char('/')), 5) << path.toStdString();  // /r/<one name>/RECORD/CH01/file
    }
    // Relative or empty roots have no fixed place: nothing is named.
    EXPECT_TRUE(preview::recordFilePath(QStringLiteral("D:\\rec\\"), QStringLiteral("a"), 80, 0, {}).isEmpty());
    EXPECT_TRUE(preview::snapshotFolder(QStringLiteral(" "), QStringLiteral("a"), 80, 0).isEmpty());
}

TEST(RecordPackTime, ReadsLeadingDigitsAndKeepsTheDefaultOtherwise)
{
    EXPECT_EQ(LocalRecording::packMinutesFrom(QStringLiteral("30")), 30);
    EXPECT_EQ(LocalRecording::packMinutesFrom(QStringLiteral(" 7 ")), 7);
    EXPECT_EQ(LocalRecording::packMinutesFrom(QStringLiteral("15min")), 15);
    for (const char* text : {"", "0", "-5", "abc", "+3"})
        EXPECT_EQ(LocalRecording::packMinutesFrom(QString::fromLatin1(text)), 30) << text;
    EXPECT_EQ(LocalRecording::packMinutesFrom(QStringLiteral("99999999999")), LocalRecording::kMaxPackMinutes);
}

TEST_F(Recording, FirstBlockFollowsTheZeroPrefixAndTheHeaderIsWrittenAtTheEnd)
{
    LocalRecording recording(fake.clock());
    ASSERT_TRUE(start(recording, 5));
    const QString path = recording.path();
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("ch06_20261208-100000.264"));
    EXPECT_EQ(QFileInfo(path).size(), 0);  // nothing before the first block

    std::vector<std::uint8_t> expectedData;
    for (std::uint32_t i = 0; i < 40; ++i) {
        const auto block = frame(1'700'000'000 + i, 40 * i, 400, true, media::MediaKind::VideoDelta, 5);
        expectedData.insert(expectedData.end(), block.begin(), block.end());
        EXPECT_EQ(recording.write(block.data(), block.size()), LocalRecording::WriteOutcome::Written);
    }
    EXPECT_EQ(recording.stop(), 0);
    EXPECT_FALSE(recording.isOpen());
    EXPECT_TRUE(recording.lastHeaderWritten());

    const std::vector<std::uint8_t> bytes = readAll(path);
    ASSERT_EQ(bytes.size(), 1024 + expectedData.size());
    EXPECT_TRUE(std::all_of(bytes.begin() + 512, bytes.begin() + 1024, [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::equal(expectedData.begin(), expectedData.end(), bytes.begin() + 1024));
    const recordfile::ParsedHeader header = recordfile::parseHeader(bytes);
    ASSERT_EQ(header.state, recordfile::HeaderState::Valid) << header.problem;
    EXPECT_EQ(header.channel, 5);
    EXPECT_EQ(bytes[140], 6);
    EXPECT_EQ(header.firstTime.seconds, 1'700'000'000u);
    EXPECT_GT(header.lastTime.seconds, header.firstTime.seconds);
}

TEST_F(Recording, ShortRecordingLeavesNoFile)
{
    LocalRecording recording(fake.clock());
    ASSERT_TRUE(start(recording));
    const auto block = frame(1, 0, 9000);  // 1024 + 9024 bytes: under 10240
    recording.write(block.data(), block.size());
    EXPECT_EQ(recording.stop(), -1);
    EXPECT_FALSE(QFile::exists(recording.path()));
    EXPECT_EQ(recording.stop(), 0);  // nothing open any more
}

TEST_F(Recording, SplitsAtTheFirstBlockAfterThePackTime)
{
    LocalRecording recording(fake.clock());
    ASSERT_TRUE(start(recording, 0, 30));
    const auto block = frame(1, 0, 6000);
    EXPECT_EQ(recording.write(block.data(), block.size()), LocalRecording::WriteOutcome::Written);
    fake.advanceMs(30 * 60000 - 1);
    EXPECT_EQ(recording.write(block.data(), block.size()), LocalRecording::WriteOutcome::Written);
    fake.advanceMs(1);  // 10:30:00
    EXPECT_EQ(recording.write(block.data(), block.size()), LocalRecording::WriteOutcome::Split);
    EXPECT_EQ(QFileInfo(recording.path()).fileName(), QStringLiteral("ch01_20261208-103000.264"));
    fake.advanceMs(5000);
    recording.write(block.data(), block.size());
    EXPECT_EQ(recording.stop(), 0);

    const QStringList files = filesIn(channelFolder());
    ASSERT_EQ(files, (QStringList{QStringLiteral("ch01_20261208-100000.264"), QStringLiteral("ch01_20261208-103000.264")}));
    for (const QString& name : files) {
        const std::vector<std::uint8_t> bytes = readAll(channelFolder() + name);
        EXPECT_EQ(bytes.size(), 1024 + 2 * block.size()) << name.toStdString();
        EXPECT_TRUE(std::equal(block.begin(), block.end(), bytes.begin() + 1024));
        EXPECT_EQ(recordfile::parseHeader(bytes).state, recordfile::HeaderState::Valid);
    }
}

TEST_F(Recording, SplitTimingSurvivesTheTickCounterWrapping)
{
    fake.tickMs = 0xFFFFFFFFu - 1000;
    LocalRecording recording(fake.clock());
    ASSERT_TRUE(start(recording, 0, 1));
    const auto block = frame(1, 0, 100);
    fake.advanceMs(2000);  // wrapped, 2 s in
    EXPECT_EQ(recording.write(block.data(), block.size()), LocalRecording::WriteOutcome::Written);
    fake.advanceMs(58000);
    EXPECT_EQ(recording.write(block.data(), block.size()), LocalRecording::WriteOutcome::Split);
}

TEST_F(Recording, AFileStartedInTheSameSecondDoesNotReplaceTheLastOne)
{
    LocalRecording recording(fake.clock());
    ASSERT_TRUE(start(recording, 0, 1));
    const auto block = frame(1, 0, 12000);
    recording.write(block.data(), block.size());
    recording.stop();
    ASSERT_TRUE(start(recording, 0, 1));  // same clock: same second
    recording.write(block.data(), block.size());
    recording.stop();
    EXPECT_EQ(filesIn(channelFolder()),
              (QStringList{QStringLiteral("ch01_20261208-100000.264"), QStringLiteral("ch01_20261208-100000_2.264")}));
}

TEST_F(Recording, FolderThatCannotBeCreatedOpensNothing)
{
    QFile blocker(dir.path() + QStringLiteral("/plain-file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    LocalRecording recording(fake.clock());
    EXPECT_FALSE(recording.start(blocker.fileName() + QStringLiteral("/rec/"), QStringLiteral("a"), 80, 0, {}));
    EXPECT_FALSE(recording.isOpen());
    const auto block = frame(1, 0);
    EXPECT_EQ(recording.write(block.data(), block.size()), LocalRecording::WriteOutcome::NoFile);
    EXPECT_FALSE(recording.start(QStringLiteral("relative/"), QStringLiteral("a"), 80, 0, {}));
}
