// SPDX-License-Identifier: GPL-3.0-or-later
// Backup downloads end to end: the automation host with the real libraries
// downloads clips of yesterday's recordings of a recorder started with one
// day of history, through StartBackup and StopBackup, and reports them with
// UploadBackupProcess. The clips land in the default backup folder of the
// host's fresh home folder and are checked with velk-264-info; the queue's
// order is read from the debug lines "backup started <key>" and "backup
// removed <key>".
#include "HostProcess.h"
#include "RecorderProcess.h"

#include <QDate>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

const QString kTimeForm = QStringLiteral("yyyy-MM-dd HH:mm:ss");

struct Span {
    QDateTime start;
    QDateTime end;
    QString file;
};

// What the control makes of a device file name in the clip's name.
QString safePart(const QString& text)
{
    QString out;
    for (const QChar ch : text) {
        const bool kept = (ch >= QLatin1Char('A') && ch <= QLatin1Char('Z')) ||
                          (ch >= QLatin1Char('a') && ch <= QLatin1Char('z')) ||
                          (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) || ch == QLatin1Char('.') ||
                          ch == QLatin1Char('_') || ch == QLatin1Char('-');
        out += kept ? ch : QLatin1Char('_');
    }
    return out;
}

// velk-264-info --json of a file: exit code and report.
std::pair<int, QJsonObject> fileInfo(const QString& path)
{
    QProcess info;
    info.start(QStringLiteral(VELK_264_INFO_PATH), {QStringLiteral("--json"), path});
    if (!info.waitForFinished(30000))
        return {-1, {}};
    return {info.exitCode(), QJsonDocument::fromJson(info.readAllStandardOutput()).object()};
}

class BackupThroughHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(recorder.start(QStringLiteral("viewer"), QStringLiteral("tape5"),
                                   {QStringLiteral("--history-days"), QStringLiteral("1")}));
        ASSERT_TRUE(host.start());
        call("SetWebport", {80});
        const QString login =
            call("Login", {"127.0.0.1", recorder.devicePort(), "viewer", passwordText("tape5")}).toString();
        ASSERT_TRUE(login.startsWith(QLatin1String("00000000_"))) << login.toStdString();
        id = login.mid(9).toLongLong();
        yesterday = QDate::currentDate().addDays(-1);
    }

    void TearDown() override
    {
        // Faults of one test do not reach the next.
        recorder.sim(QStringLiteral("download"), QStringLiteral("action=slowstart&seconds=0"));
    }

    QJsonValue call(const char* method, const QJsonArray& params)
    {
        return resultOf(host.call(QString::fromLatin1(method), params, 20000));
    }

    // Yesterday's spans of a channel (0-based) at least this long.
    std::vector<Span> spans(int channel, int minSeconds)
    {
        std::vector<Span> found;
        const HttpAnswer answer =
            recorder.http("GET", "/api/recordings?date=" + yesterday.toString(Qt::ISODate).toLatin1() +
                                     "&channel=" + QByteArray::number(channel));
        EXPECT_EQ(answer.status, 200);
        for (const QJsonValue& value :
             QJsonDocument::fromJson(answer.body).object().value(QLatin1String("spans")).toArray()) {
            const QJsonObject s = value.toObject();
            Span span{QDateTime::fromString(s.value("start").toString(), kTimeForm),
                      QDateTime::fromString(s.value("end").toString(), kTimeForm), s.value("file").toString()};
            if (span.start.isValid() && span.start.secsTo(span.end) >= minSeconds)
                found.push_back(span);
        }
        return found;
    }

    struct Clip {
        QString key;
        int channel = 0;
        QString file;
        QDateTime start;
        QDateTime end;
    };

    // A clip of a span: from `offset` seconds in, `seconds` long.
    static Clip clipOf(const QString& key, int channel, const Span& span, int offset, int seconds)
    {
        return Clip{key, channel, span.file, span.start.addSecs(offset), span.start.addSecs(offset + seconds)};
    }

    qint64 startBackup(const Clip& clip)
    {
        return call("StartBackup", {id, clip.file, QString::number(clip.channel), clip.start.toString(kTimeForm),
                                    clip.end.toString(kTimeForm), clip.key})
            .toInteger();
    }

    QString channelFolder(int channel) const
    {
        return host.homePath() + QStringLiteral("/VELK_Dvr/127.0.0.1/BACKUP/CH%1/").arg(channel + 1, 2, 10, QLatin1Char('0'));
    }

    QString pathOf(const Clip& clip) const
    {
        const QString ch = QStringLiteral("CH%1").arg(clip.channel + 1, 2, 10, QLatin1Char('0'));
        return channelFolder(clip.channel) + ch + QLatin1Char('_') + clip.start.toString(QStringLiteral("yyyyMMddHHmmss")) +
               QLatin1Char('-') + clip.end.toString(QStringLiteral("HHmmss")) + QLatin1Char('_') + safePart(clip.file) +
               QStringLiteral(".264");
    }

    // Every file under the backup folder.
    QStringList backupFiles() const
    {
        QStringList files;
        QDirIterator it(host.homePath() + QStringLiteral("/VELK_Dvr/127.0.0.1/BACKUP"), QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
        return files;
    }

    // A key's events as they come, up to and with its flag 3 (or until the
    // timeout); the last one before flag 3 goes to `final`.
    std::vector<int> flagsUntilStopped(const QString& key, int timeoutMs, QJsonObject* final = nullptr)
    {
        std::vector<int> flags;
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            const std::optional<QJsonObject> event = host.takeNotification(
                QStringLiteral("UploadBackupProcess"),
                [&key](const QJsonObject& p) { return p.value(QLatin1String("BackupKey")).toString() == key; },
                static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
            if (!event)
                break;
            flags.push_back(event->value(QLatin1String("ulFlag")).toInt());
            if (flags.back() == 3)
                break;
            if (final)
                *final = *event;
        }
        return flags;
    }

    // Runs of progress (0) and waiting (5) as one: "0 1 3".
    static std::string shape(const std::vector<int>& flags)
    {
        std::string out;
        int last = -1;
        for (const int flag : flags) {
            if (flag == last && (flag == 0 || flag == 5))
                continue;
            out += (out.empty() ? "" : " ") + std::to_string(flag);
            last = flag;
        }
        return out;
    }

    // Waits for the first event of a key with this flag.
    bool waitForFlag(const QString& key, int flag, int timeoutMs)
    {
        return host
            .takeNotification(QStringLiteral("UploadBackupProcess"),
                              [&](const QJsonObject& p) {
                                  return p.value(QLatin1String("BackupKey")).toString() == key &&
                                         p.value(QLatin1String("ulFlag")).toInt() == flag;
                              },
                              timeoutMs)
            .has_value();
    }

    QStringList& debugLines()
    {
        for (const QJsonValue& line : call("$debug", {}).toArray())
            m_lines << line.toString().trimmed();
        return m_lines;
    }

    static int indexOf(const QStringList& lines, const QString& line)
    {
        return static_cast<int>(lines.indexOf(line));
    }

    // A clip file complete and of its range: a valid record file of the
    // channel whose frames are the announced size behind the 1024 bytes.
    void expectWholeClip(const Clip& clip, const QJsonObject& doneEvent)
    {
        const QString path = pathOf(clip);
        ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString() << "\n"
                                             << backupFiles().join('\n').toStdString();
        EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral(".part")));
        const qint64 total = doneEvent.value(QLatin1String("TotalLen")).toInteger();
        EXPECT_GT(total, 0);
        EXPECT_EQ(doneEvent.value(QLatin1String("CurLen")).toInteger(), total);
        EXPECT_EQ(doneEvent.value(QLatin1String("percent")).toString(), QStringLiteral("100.00"));
        EXPECT_EQ(QFileInfo(path).size(), 1024 + total);
        const auto [code, report] = fileInfo(path);
        EXPECT_EQ(code, 0) << QJsonDocument(report).toJson().toStdString();
        EXPECT_EQ(report.value(QLatin1String("header")).toString(), QStringLiteral("valid"));
        EXPECT_EQ(report.value(QLatin1String("channel")).toInt(), clip.channel + 1);  // 1-based
        EXPECT_GT(report.value(QLatin1String("videoFrames")).toInteger(), 0);
    }

    RecorderProcess recorder;
    HostProcess host;
    qint64 id = 0;
    QDate yesterday;
    QStringList m_lines;
};

}  // namespace

TEST_F(BackupThroughHost, AClipDownloadedWholeIsAValidRecordFileOfItsRange)
{
    const std::vector<Span> found = spans(1, 120);
    ASSERT_FALSE(found.empty());
    const Clip clip = clipOf(QStringLiteral("clip"), 1, found.front(), 30, 20);
    ASSERT_EQ(startBackup(clip), 8);
    EXPECT_EQ(startBackup(clip), 4);  // the same key again
    QJsonObject done;
    const std::vector<int> flags = flagsUntilStopped(clip.key, 60000, &done);
    ASSERT_GE(flags.size(), 2u) << shape(flags);
    EXPECT_EQ(flags[flags.size() - 2], 1) << shape(flags);
    EXPECT_EQ(flags.back(), 3);
    expectWholeClip(clip, done);
}

TEST_F(BackupThroughHost, ThreeQueuedTwoRunAndTheThirdStartsWhenOneEnds)
{
    const std::vector<Span> found = spans(0, 300);
    ASSERT_FALSE(found.empty());
    const std::vector<Clip> clips = {clipOf(QStringLiteral("q1"), 0, found.front(), 10, 60),
                                     clipOf(QStringLiteral("q2"), 0, found.front(), 80, 60),
                                     clipOf(QStringLiteral("q3"), 0, found.front(), 150, 30)};
    for (const Clip& clip : clips)
        ASSERT_EQ(startBackup(clip), 8);
    for (const Clip& clip : clips) {
        QJsonObject done;
        const std::vector<int> flags = flagsUntilStopped(clip.key, 60000, &done);
        ASSERT_GE(flags.size(), 2u) << clip.key.toStdString() << ": " << shape(flags);
        EXPECT_EQ(flags[flags.size() - 2], 1) << clip.key.toStdString() << ": " << shape(flags);
        expectWholeClip(clip, done);
    }
    const QStringList& lines = debugLines();
    const int started1 = indexOf(lines, QStringLiteral("backup started q1"));
    const int started2 = indexOf(lines, QStringLiteral("backup started q2"));
    const int started3 = indexOf(lines, QStringLiteral("backup started q3"));
    const int removed1 = indexOf(lines, QStringLiteral("backup removed q1"));
    const int removed2 = indexOf(lines, QStringLiteral("backup removed q2"));
    ASSERT_GE(started1, 0);
    ASSERT_GE(started2, 0);
    ASSERT_GE(started3, 0);
    ASSERT_GE(removed1, 0);
    ASSERT_GE(removed2, 0);
    // The third waited for one of the first two to end.
    EXPECT_GT(started3, std::min(removed1, removed2)) << lines.join('\n').toStdString();
}

TEST_F(BackupThroughHost, StopARunningAndAQueuedBackup)
{
    const std::vector<Span> found = spans(2, 300);
    ASSERT_FALSE(found.empty());
    const std::vector<Clip> clips = {clipOf(QStringLiteral("s1"), 2, found.front(), 10, 60),
                                     clipOf(QStringLiteral("s2"), 2, found.front(), 80, 30),
                                     clipOf(QStringLiteral("s3"), 2, found.front(), 120, 30)};
    // The recorder holds back its answers for a while: s1 and s2 wait.
    recorder.sim(QStringLiteral("download"), QStringLiteral("action=slowstart&seconds=20"));
    for (const Clip& clip : clips)
        ASSERT_EQ(startBackup(clip), 8);

    // The queued one: stopped at once, nothing downloaded.
    EXPECT_EQ(call("StopBackup", {id, QStringLiteral("s3")}).toInteger(), 8);
    EXPECT_EQ(flagsUntilStopped(QStringLiteral("s3"), 5000), std::vector<int>{3});

    // The running one, while it waits for the recorder.
    ASSERT_TRUE(waitForFlag(QStringLiteral("s1"), 5, 30000));
    EXPECT_EQ(call("StopBackup", {id, QStringLiteral("s1")}).toInteger(), 8);
    const std::vector<int> stopped = flagsUntilStopped(QStringLiteral("s1"), 5000);
    ASSERT_FALSE(stopped.empty());
    EXPECT_EQ(stopped.back(), 3);
    EXPECT_FALSE(QFileInfo::exists(pathOf(clips[0])));
    EXPECT_FALSE(QFileInfo::exists(pathOf(clips[0]) + QStringLiteral(".part")));

    // The recorder answers again: s2 completes.
    recorder.sim(QStringLiteral("download"), QStringLiteral("action=slowstart&seconds=0"));
    QJsonObject done;
    const std::vector<int> flags = flagsUntilStopped(QStringLiteral("s2"), 60000, &done);
    ASSERT_GE(flags.size(), 2u) << shape(flags);
    EXPECT_EQ(flags[flags.size() - 2], 1) << shape(flags);
    expectWholeClip(clips[1], done);
    EXPECT_EQ(backupFiles(), QStringList{pathOf(clips[1])});
    const QStringList& lines = debugLines();
    EXPECT_LT(indexOf(lines, QStringLiteral("backup started s3")), 0);
}

TEST_F(BackupThroughHost, ARecorderNotReadyForThirtySecondsFailsTheBackup)
{
    const std::vector<Span> found = spans(0, 120);
    ASSERT_FALSE(found.empty());
    const Clip clip = clipOf(QStringLiteral("slow"), 0, found.front(), 10, 20);
    recorder.sim(QStringLiteral("download"), QStringLiteral("action=slowstart&seconds=60"));
    ASSERT_EQ(startBackup(clip), 8);
    const std::vector<int> flags = flagsUntilStopped(clip.key, 90000);
    EXPECT_EQ(shape(flags), "5 4 3");
    EXPECT_TRUE(backupFiles().isEmpty()) << backupFiles().join('\n').toStdString();
}

TEST_F(BackupThroughHost, ADownloadThatFailsMidwayFailsTheBackupAndLeavesNoFile)
{
    const std::vector<Span> found = spans(0, 600);
    ASSERT_FALSE(found.empty());
    const Clip clip = clipOf(QStringLiteral("cut"), 0, found.front(), 10, 500);
    recorder.sim(QStringLiteral("download"), QStringLiteral("action=fail"));
    ASSERT_EQ(startBackup(clip), 8);
    const std::vector<int> flags = flagsUntilStopped(clip.key, 60000);
    ASSERT_GE(flags.size(), 2u) << shape(flags);
    EXPECT_EQ(flags[flags.size() - 2], 4) << shape(flags);
    EXPECT_TRUE(backupFiles().isEmpty()) << backupFiles().join('\n').toStdString();
}

TEST_F(BackupThroughHost, LogoutStopsEveryBackupAndLeavesNoFile)
{
    const std::vector<Span> found = spans(0, 300);
    ASSERT_FALSE(found.empty());
    const std::vector<Clip> clips = {clipOf(QStringLiteral("l1"), 0, found.front(), 10, 60),
                                     clipOf(QStringLiteral("l2"), 0, found.front(), 80, 60),
                                     clipOf(QStringLiteral("l3"), 0, found.front(), 150, 60)};
    recorder.sim(QStringLiteral("download"), QStringLiteral("action=slowstart&seconds=30"));
    for (const Clip& clip : clips)
        ASSERT_EQ(startBackup(clip), 8);
    ASSERT_TRUE(waitForFlag(QStringLiteral("l1"), 5, 30000));
    ASSERT_TRUE(waitForFlag(QStringLiteral("l2"), 5, 30000));
    EXPECT_FALSE(backupFiles().isEmpty());  // the two downloads' ".part" files

    EXPECT_EQ(call("Logout", {id}).toInteger(), 0);
    call("$debug", {});  // one more round trip: whatever the logout fired came before its answer
    for (const QJsonObject& message : host.notifications()) {
        const QJsonObject params = message.value(QLatin1String("params")).toObject();
        EXPECT_NE(params.value(QLatin1String("ulFlag")).toInt(), 3)
            << QJsonDocument(message).toJson(QJsonDocument::Compact).toStdString();
    }
    EXPECT_TRUE(backupFiles().isEmpty()) << backupFiles().join('\n').toStdString();
}
