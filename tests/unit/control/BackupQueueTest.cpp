// SPDX-License-Identifier: GPL-3.0-or-later
// Backup downloads through the control: StartBackup and StopBackup, the
// queue with two running, the progress thread's notes turned into
// UploadBackupProcess events, the ends of a backup, logout; the download
// commands of the network library faked.
#include "ControlFixture.h"
#include "FakeDownloads.h"

#include "device/DeviceSession.h"
#include "platform/Profile.h"
#include "playback/BackupMailbox.h"
#include "playback/BackupQueue.h"
#include "playback/BackupTask.h"

#include "TOVR.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <thread>

using playback::BackupTimings;

namespace {

constexpr std::uint32_t kMalformed = 0x80060000u;

// Quick polls, so that a test sees several in a short time; the give-up
// stays long unless a test shortens it.
BackupTimings quickTimings(std::uint32_t giveUpMs = 30000, std::uint32_t pollerWaitMs = 1000)
{
    BackupTimings timings;
    timings.pollIntervalMs = 20;
    timings.giveUpMs = giveUpMs;
    timings.retryMs = 5;
    timings.pollerWaitMs = pollerWaitMs;
    return timings;
}

// Waits without handling any event of this thread.
template <typename Predicate>
bool waitWithoutEvents(Predicate ready, int timeoutMs = 5000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace

class Backup : public ControlFixture {
protected:
    void SetUp() override
    {
        ControlFixture::SetUp();
        fake_downloads::install();
        playback::setBackupTimings(quickTimings());
        devId = login();
        ASSERT_NE(devId, 0u);
    }

    void TearDown() override
    {
        fake_downloads::release();
        fake_downloads::releaseProgress();
        control.reset();
        CDeviceManage::shutdown();
        EXPECT_TRUE(playback::waitForBackupThreads(5000));
        fake_downloads::uninstall();
        playback::setBackupTimings(BackupTimings{});
        ControlFixture::TearDown();
    }

    std::uint32_t start(const QString& key, const QString& file = QString(), const QString& channel = QStringLiteral("0"),
                        std::uint32_t id = 0)
    {
        return control->StartBackup(id ? id : devId, file.isEmpty() ? key : file, channel,
                                    QStringLiteral("2020-03-01 08:00:00"), QStringLiteral("2020-03-01 09:30:00"),
                                    key);
    }

    playback::BackupQueue& queue(std::uint32_t id = 0)
    {
        return *static_cast<playback::BackupQueue*>(CDeviceManage::instance().find(id ? id : devId)->backupQueue());
    }

    std::vector<QString> running(std::uint32_t id = 0) { return queue(id).runningKeys(); }

    // The backup events of a key.
    std::vector<const FiredEvent*> eventsOf(const QString& key) const
    {
        std::vector<const FiredEvent*> found;
        for (const FiredEvent& e : events)
            if (e.name == "UploadBackupProcess" && e.args[0].text == key)
                found.push_back(&e);
        return found;
    }

    // The flags a key reported, runs of progress (0) and waiting (5) as one:
    // "0 1 3".
    std::string shape(const QString& key) const
    {
        std::string out;
        std::uint32_t last = 99;
        for (const FiredEvent* e : eventsOf(key)) {
            const auto flag = static_cast<std::uint32_t>(e->args[1].integer);
            if (flag == last && (flag == 0 || flag == 5))
                continue;
            out += (out.empty() ? "" : " ") + std::to_string(flag);
            last = flag;
        }
        return out;
    }

    bool ended(const QString& key) const
    {
        const auto found = eventsOf(key);
        return !found.empty() && found.back()->args[1].integer == 3;
    }

    bool waitFor(const std::function<bool()>& ready, int timeoutMs = 5000)
    {
        return QTest::qWaitFor(ready, timeoutMs);
    }

    // The handle DOWNLOADVIDEO gave for a device file name (0 until then).
    static std::uint32_t handleOf(const QString& file)
    {
        for (const fake_downloads::Download& d : fake_downloads::downloads())
            if (d.deviceFileName == file.toStdString())
                return d.handle;
        return 0;
    }

    static bool downloaded(const QString& file)
    {
        const auto all = fake_downloads::downloads();
        return std::any_of(all.begin(), all.end(),
                           [&file](const fake_downloads::Download& d) { return d.deviceFileName == file.toStdString(); });
    }

    static bool wasStopped(std::uint32_t handle)
    {
        const auto all = fake_downloads::stopped();
        return handle != 0 && std::find(all.begin(), all.end(), handle) != all.end();
    }

    std::uint32_t devId = 0;
};

TEST_F(Backup, ThreeAddedAtOnceTwoRunAndTheNextInKeyOrderStartsWhenOneEnds)
{
    // Added after two others, k4 before k3: k3 comes first in key order.
    for (const char* key : {"k1", "k2", "k4", "k3"})
        EXPECT_EQ(start(QString::fromLatin1(key)), 8u);
    EXPECT_EQ(running(), (std::vector<QString>{QStringLiteral("k1"), QStringLiteral("k2")}));
    ASSERT_TRUE(waitFor([] { return handleOf(QStringLiteral("k1")) && handleOf(QStringLiteral("k2")); }));
    const std::uint32_t h1 = handleOf(QStringLiteral("k1"));
    const std::uint32_t h2 = handleOf(QStringLiteral("k2"));

    // Progress while running: 512 of 2048 bytes.
    ASSERT_TRUE(waitFor([this] { return !eventsOf(QStringLiteral("k1")).empty(); }));
    const FiredEvent& progress = *eventsOf(QStringLiteral("k1")).front();
    EXPECT_EQ(progress.args[1].integer, 0);
    EXPECT_EQ(progress.args[2].uint64, 2048u);
    EXPECT_EQ(progress.args[3].uint64, 512u);
    EXPECT_EQ(progress.args[4].text, QStringLiteral("25.00"));
    EXPECT_FALSE(downloaded(QStringLiteral("k3")));

    // k1 completes: done, then stopped as it leaves the table; k3 starts.
    fake_downloads::setProgress(h1, 3, 2048, 2048);
    ASSERT_TRUE(waitFor([this] { return ended(QStringLiteral("k1")); }));
    EXPECT_EQ(shape(QStringLiteral("k1")), "0 1 3");
    EXPECT_EQ(eventsOf(QStringLiteral("k1")).back()->args[4].text, QStringLiteral("100.00"));
    EXPECT_TRUE(wasStopped(h1));
    EXPECT_EQ(running(), (std::vector<QString>{QStringLiteral("k2"), QStringLiteral("k3")}));
    ASSERT_TRUE(waitFor([] { return handleOf(QStringLiteral("k3")) != 0; }));
    EXPECT_FALSE(downloaded(QStringLiteral("k4")));

    // The recorder fails k2 once its progress has been reported (on a busy
    // machine its first poll may come after k1 ended): failed, then stopped.
    ASSERT_TRUE(waitFor([this] { return !eventsOf(QStringLiteral("k2")).empty(); }));
    fake_downloads::setProgress(h2, 2, 2048, 1024);
    ASSERT_TRUE(waitFor([this] { return ended(QStringLiteral("k2")); }));
    EXPECT_EQ(shape(QStringLiteral("k2")), "0 4 3");
    EXPECT_EQ(running(), (std::vector<QString>{QStringLiteral("k3"), QStringLiteral("k4")}));
    ASSERT_TRUE(waitFor([] { return handleOf(QStringLiteral("k4")) != 0; }));

    for (const char* key : {"k3", "k4"})
        fake_downloads::setProgress(handleOf(QString::fromLatin1(key)), 3, 10, 10);
    ASSERT_TRUE(waitFor([this] { return ended(QStringLiteral("k3")) && ended(QStringLiteral("k4")); }));
    EXPECT_EQ(queue().size(), 0u);
    // Nothing of an ended backup follows its flag 3.
    processEvents();
    for (const char* key : {"k1", "k2", "k3", "k4"})
        EXPECT_TRUE(ended(QString::fromLatin1(key))) << key;
}

TEST_F(Backup, TheSameKeyAgainIsRefusedAndChangesNothing)
{
    EXPECT_EQ(start(QStringLiteral("k"), QStringLiteral("first")), 8u);
    EXPECT_EQ(start(QStringLiteral("k"), QStringLiteral("second")), 4u);
    EXPECT_EQ(queue().size(), 1u);
    EXPECT_EQ(running(), std::vector<QString>{QStringLiteral("k")});
    ASSERT_TRUE(waitFor([this] { return !eventsOf(QStringLiteral("k")).empty(); }));
    EXPECT_FALSE(downloaded(QStringLiteral("second")));
    EXPECT_EQ(fake_downloads::downloads().size(), 1u);
}

TEST_F(Backup, StartBackupCodes)
{
    const QString start = QStringLiteral("2020-03-01 08:00:00");
    const QString end = QStringLiteral("2020-03-01 09:30:00");
    EXPECT_EQ(control->StartBackup(devId + 1, QStringLiteral("F"), QStringLiteral("0"), start, end, QStringLiteral("k")),
              1u);
    for (const char* channel : {"", "-1", "255", "1a", " 1", "+1", "0x1", "1000"})
        EXPECT_EQ(control->StartBackup(devId, QStringLiteral("F"), QString::fromLatin1(channel), start, end,
                                       QStringLiteral("k")),
                  kMalformed)
            << channel;
    // Fourteen characters that are not all digits once the separators go.
    EXPECT_EQ(control->StartBackup(devId, QStringLiteral("F"), QStringLiteral("0"),
                                   QStringLiteral("20/0-03-01 08:00:00"), end, QStringLiteral("k")),
              kMalformed);
    EXPECT_EQ(queue().size(), 0u);
    EXPECT_EQ(control->StartBackup(devId, QStringLiteral("F"), QStringLiteral("254"), start, end, QStringLiteral("k")),
              8u);
    EXPECT_EQ(control->StopBackup(devId + 1, QStringLiteral("k")), 1u);
    EXPECT_EQ(control->StopBackup(devId, QStringLiteral("no such key")), 8u);
}

TEST_F(Backup, DownloadVideoFailuresReportUnreachableOrFailed)
{
    struct Case {
        std::int32_t result;
        bool handle;
        const char* shape;
    };
    const Case cases[] = {{TOVR_ERR_UNREACHABLE, true, "2 3"}, {TOVR_ERR_BROKEN, true, "2 3"},
                          {TOVR_ERR_TIMEOUT, true, "2 3"},     {TOVR_ERR_DEVICE, true, "4 3"},
                          {TOVR_ERR_REFUSED, true, "4 3"},     {TOVR_OK, false, "4 3"}};
    int index = 0;
    for (const Case& c : cases) {
        const QString key = QStringLiteral("r%1").arg(index++);
        fake_downloads::queueDownloadResult(c.result, c.handle);
        EXPECT_EQ(start(key), 8u);
        ASSERT_TRUE(waitFor([&] { return ended(key); })) << c.result;
        EXPECT_EQ(shape(key), c.shape) << c.result;
        EXPECT_EQ(queue().size(), 0u);
    }
    EXPECT_TRUE(fake_downloads::stopped().empty());
}

TEST_F(Backup, AStopWhileDownloadVideoBlocksStopsTheHandleItThenGives)
{
    fake_downloads::setBlocking(true);
    EXPECT_EQ(start(QStringLiteral("k")), 8u);
    ASSERT_TRUE(waitFor([] { return fake_downloads::blockedDownloads() == 1; }));
    EXPECT_EQ(control->StopBackup(devId, QStringLiteral("k")), 8u);
    EXPECT_EQ(shape(QStringLiteral("k")), "3");
    EXPECT_EQ(queue().size(), 0u);

    fake_downloads::release();
    ASSERT_TRUE(waitFor([] { return wasStopped(handleOf(QStringLiteral("k"))); }));
    ASSERT_TRUE(playback::waitForBackupThreads(5000));
    EXPECT_EQ(fake_downloads::polls(handleOf(QStringLiteral("k"))), 0);
    processEvents();
    EXPECT_EQ(shape(QStringLiteral("k")), "3");
}

TEST_F(Backup, StopBackupOfAQueuedAndOfARunningOne)
{
    for (const char* key : {"a", "b", "c"})
        EXPECT_EQ(start(QString::fromLatin1(key)), 8u);
    EXPECT_EQ(control->StopBackup(devId, QStringLiteral("c")), 8u);
    ASSERT_EQ(eventsOf(QStringLiteral("c")).size(), 1u);
    EXPECT_EQ(eventsOf(QStringLiteral("c"))[0]->args[1].integer, 3);
    EXPECT_EQ(eventsOf(QStringLiteral("c"))[0]->args[2].uint64, 0u);
    EXPECT_EQ(eventsOf(QStringLiteral("c"))[0]->args[4].text, QStringLiteral("0.00"));
    EXPECT_EQ(running(), (std::vector<QString>{QStringLiteral("a"), QStringLiteral("b")}));

    ASSERT_TRUE(waitFor([this] { return !eventsOf(QStringLiteral("a")).empty(); }));
    const std::uint32_t ha = handleOf(QStringLiteral("a"));
    EXPECT_EQ(control->StopBackup(devId, QStringLiteral("a")), 8u);
    EXPECT_EQ(shape(QStringLiteral("a")), "0 3");
    EXPECT_EQ(eventsOf(QStringLiteral("a")).back()->args[3].uint64, 512u);  // its progress when stopped
    EXPECT_TRUE(wasStopped(ha));
    EXPECT_EQ(running(), std::vector<QString>{QStringLiteral("b")});

    // A later start of the stopped key is a new backup.
    EXPECT_EQ(start(QStringLiteral("a"), QStringLiteral("a2")), 8u);
    ASSERT_TRUE(waitFor([] { return handleOf(QStringLiteral("a2")) != 0; }));
    EXPECT_FALSE(downloaded(QStringLiteral("c")));
}

TEST_F(Backup, LogoutStopsEveryBackupWithoutStoppedEvents)
{
    for (const char* key : {"a", "b", "c"})
        EXPECT_EQ(start(QString::fromLatin1(key)), 8u);
    ASSERT_TRUE(waitFor([this] { return !eventsOf(QStringLiteral("a")).empty() && !eventsOf(QStringLiteral("b")).empty(); }));
    const std::uint32_t ha = handleOf(QStringLiteral("a"));
    const std::uint32_t hb = handleOf(QStringLiteral("b"));

    EXPECT_EQ(control->Logout(devId), 0u);
    EXPECT_TRUE(wasStopped(ha));
    EXPECT_TRUE(wasStopped(hb));
    const auto keys = fake_downloads::keys();
    const auto logout = std::find(keys.begin(), keys.end(), std::string("LOGOUT"));
    ASSERT_NE(logout, keys.end());
    EXPECT_EQ(std::count(logout, keys.end(), std::string("STOPCOMMAND")), 0);  // the backups end first
    const std::size_t before = events.size();
    processEvents();  // notes still waiting are of backups that are gone
    EXPECT_EQ(events.size(), before);
    for (const FiredEvent& e : events)
        EXPECT_NE(e.args[1].integer, 3);
    EXPECT_TRUE(playback::waitForBackupThreads(5000));
    EXPECT_FALSE(downloaded(QStringLiteral("c")));
}

TEST_F(Backup, ProgressIsPostedSoThePollerNeverWaitsForTheWindow)
{
    EXPECT_EQ(start(QStringLiteral("k")), 8u);
    ASSERT_TRUE(waitWithoutEvents([] { return handleOf(QStringLiteral("k")) != 0; }));
    const std::uint32_t handle = handleOf(QStringLiteral("k"));
    // The window's thread handles nothing meanwhile, yet polling goes on.
    EXPECT_TRUE(waitWithoutEvents([handle] { return fake_downloads::polls(handle) >= 4; }));
    EXPECT_TRUE(eventsOf(QStringLiteral("k")).empty());
    ASSERT_TRUE(waitFor([this] { return !eventsOf(QStringLiteral("k")).empty(); }));
    EXPECT_EQ(eventsOf(QStringLiteral("k"))[0]->args[1].integer, 0);
}

TEST_F(Backup, SizesAreReadAsSixtyFourBitNumbers)
{
    fake_downloads::setFirstAnswer(1, 5000000000ull, 4000000000ull);
    EXPECT_EQ(start(QStringLiteral("k")), 8u);
    ASSERT_TRUE(waitFor([this] { return !eventsOf(QStringLiteral("k")).empty(); }));
    const FiredEvent& e = *eventsOf(QStringLiteral("k"))[0];
    EXPECT_EQ(e.args[2].uint64, 5000000000ull);
    EXPECT_EQ(e.args[3].uint64, 4000000000ull);
    EXPECT_EQ(e.args[4].text, QStringLiteral("80.00"));
}

TEST_F(Backup, ABackupWhoseTextsCannotBeBuiltFailsAndFreesItsPlace)
{
    DeviceSession* session = CDeviceManage::instance().find(devId);
    const QString folderBefore = session->settings().backupPath();
    // No device file name; one longer than the recorder takes; both fail
    // without a DOWNLOADVIDEO, and the backups behind them run.
    EXPECT_EQ(control->StartBackup(devId, QString(), QStringLiteral("0"), QStringLiteral("2020-03-01 08:00:00"),
                                   QStringLiteral("2020-03-01 09:30:00"), QStringLiteral("a")),
              8u);
    EXPECT_EQ(start(QStringLiteral("b"), QString(600, QLatin1Char('n'))), 8u);
    EXPECT_EQ(start(QStringLiteral("c")), 8u);
    ASSERT_TRUE(waitFor([this] { return ended(QStringLiteral("a")) && ended(QStringLiteral("b")); }));
    EXPECT_EQ(shape(QStringLiteral("a")), "4 3");
    EXPECT_EQ(shape(QStringLiteral("b")), "4 3");
    ASSERT_TRUE(waitFor([] { return handleOf(QStringLiteral("c")) != 0; }));
    EXPECT_EQ(fake_downloads::downloads().size(), 1u);

    // A backup folder that cannot be used as given.
    for (const char* folder : {"relative\\clips\\", "\\\\server\\share\\", "/tmp/../etc/"}) {
        ASSERT_TRUE(session->writeSetting(QStringLiteral("backup_path"), QString::fromLatin1(folder))) << folder;
        const QString key = QStringLiteral("d") + QString::fromLatin1(folder);
        EXPECT_EQ(start(key, QStringLiteral("F")), 8u);
        ASSERT_TRUE(waitFor([&] { return ended(key); })) << folder;
        EXPECT_EQ(shape(key), "4 3") << folder;
    }
    EXPECT_EQ(fake_downloads::downloads().size(), 1u);
    // The settings file outlives the test: the next ones want the default.
    EXPECT_TRUE(session->writeSetting(QStringLiteral("backup_path"), folderBefore));
}

TEST_F(Backup, ClipsGoUnderTheBackupFolderWhateverTheTexts)
{
    const QString profile = QString::fromStdString(platform::profileFolder());
    EXPECT_EQ(start(QStringLiteral("k"), QStringLiteral("F")), 8u);
    ASSERT_TRUE(waitFor([] { return handleOf(QStringLiteral("F")) != 0; }));
    const fake_downloads::Download first = fake_downloads::downloads()[0];
    EXPECT_EQ(QString::fromStdString(first.saveFileName),
              profile + QStringLiteral("/VELK_Dvr/10.0.0.5/BACKUP/CH01/CH01_20200301080000-093000_F.264"));
    EXPECT_EQ(first.startTime, "20200301080000");
    EXPECT_EQ(first.endTime, "20200301093000");
    EXPECT_TRUE(QFileInfo(QString::fromStdString(first.saveFileName)).dir().exists());  // made for the library

    // Another session on another web port; a device file name that climbs.
    control->SetWebport(8080);
    const std::uint32_t other = login(QStringLiteral("10.0.0.6"));
    ASSERT_NE(other, 0u);
    const QString climbing = QStringLiteral("../../../../tmp/x/../../y");
    EXPECT_EQ(start(QStringLiteral("k"), climbing, QStringLiteral("1"), other), 8u);
    ASSERT_TRUE(waitFor([&] { return handleOf(climbing) != 0; }));
    const std::string saved = fake_downloads::downloads()[1].saveFileName;
    const QString expectedFolder = profile + QStringLiteral("/VELK_Dvr/10.0.0.6_8080/BACKUP/CH02/");
    EXPECT_TRUE(QString::fromStdString(saved).startsWith(expectedFolder + QStringLiteral("CH02_"))) << saved;
    EXPECT_EQ(QString::fromStdString(saved).mid(expectedFolder.size()).count(QLatin1Char('/')), 0) << saved;
    EXPECT_EQ(saved.find(".."), std::string::npos) << saved;
    EXPECT_EQ(fake_downloads::downloads()[1].deviceFileName, climbing.toStdString());  // sent as given
    // The same key in two sessions names two backups.
    EXPECT_EQ(queue().size(), 1u);
    EXPECT_EQ(queue(other).size(), 1u);
}

TEST_F(Backup, NotReadyIsGivenUpAndSoIsAProgressThatCannotBeRead)
{
    playback::setBackupTimings(quickTimings(300));
    fake_downloads::setFirstAnswer(0, 0, 0);
    EXPECT_EQ(start(QStringLiteral("slow")), 8u);
    ASSERT_TRUE(waitFor([this] { return ended(QStringLiteral("slow")); }));
    EXPECT_EQ(shape(QStringLiteral("slow")), "5 4 3");
    EXPECT_TRUE(wasStopped(handleOf(QStringLiteral("slow"))));

    fake_downloads::setProgressResult(TOVR_ERR_REFUSED);
    EXPECT_EQ(start(QStringLiteral("mute")), 8u);
    ASSERT_TRUE(waitFor([this] { return ended(QStringLiteral("mute")); }));
    EXPECT_EQ(shape(QStringLiteral("mute")), "4 3");
    EXPECT_GT(fake_downloads::polls(handleOf(QStringLiteral("mute"))), 1);
}

TEST_F(Backup, AStoppedRecordOutlivesAProgressThreadStillInsideTheLibrary)
{
    playback::setBackupTimings(quickTimings(30000, 50));
    EXPECT_EQ(start(QStringLiteral("k")), 8u);
    ASSERT_TRUE(waitFor([this] { return !eventsOf(QStringLiteral("k")).empty(); }));
    fake_downloads::setProgressBlocking(true);
    ASSERT_TRUE(waitFor([] { return fake_downloads::blockedPolls() == 1; }));
    EXPECT_EQ(control->StopBackup(devId, QStringLiteral("k")), 8u);  // waits 50 ms for the poller, then goes on
    EXPECT_EQ(queue().size(), 0u);
    EXPECT_TRUE(wasStopped(handleOf(QStringLiteral("k"))));
    fake_downloads::releaseProgress();
    ASSERT_TRUE(playback::waitForBackupThreads(5000));
    processEvents();
    EXPECT_EQ(shape(QStringLiteral("k")), "0 3");
}

TEST_F(Backup, WaitingProgressNotesAreCoalescedAndDroppedWithTheWindow)
{
    const platform::WindowHandle window = control->handle();
    playback::BackupNote note;
    note.sessionId = devId;
    note.serial = 77;
    note.key = "k";
    for (std::uint64_t got : {1u, 2u, 3u}) {
        note.flag = 0;
        note.progress = {10, got};
        playback::leaveBackupNote(window, note);
    }
    note.flag = 1;
    playback::leaveBackupNote(window, note);
    auto taken = playback::takeBackupNotes(window);
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0].flag, 0u);
    EXPECT_EQ(taken[0].progress.currentBytes, 3u);
    EXPECT_EQ(taken[1].flag, 1u);

    playback::leaveBackupNote(window, note);
    control->destroyWindow();
    EXPECT_TRUE(playback::takeBackupNotes(window).empty());
}
