// SPDX-License-Identifier: GPL-3.0-or-later
// Where a downloaded clip goes, the GETPROGRESS answer as read, and the
// mailbox the backup threads leave their notes in.
#include "platform/LocalFolder.h"
#include "playback/BackupFileName.h"
#include "playback/BackupMailbox.h"
#include "playback/BackupTask.h"

#include <gtest/gtest.h>

using namespace playback;

namespace {

const QString kStart = QStringLiteral("20200301080000");
const QString kEnd = QStringLiteral("20200301093000");

}  // namespace

TEST(BackupFileName, FolderAddressPortChannelAndTimes)
{
    EXPECT_EQ(backupFilePath(QStringLiteral("/home/u/VELK_Dvr/"), QStringLiteral("10.0.0.5"), 80, 0,
                             QStringLiteral("F"), kStart, kEnd),
              QStringLiteral("/home/u/VELK_Dvr/10.0.0.5/BACKUP/CH01/CH01_20200301080000-093000_F.264"));
    // Another web port is part of the device's folder; a folder given the
    // Windows way is read as a local one.
    EXPECT_EQ(backupFilePath(QStringLiteral("\\data\\clips"), QStringLiteral("127.0.0.1"), 8080, 1,
                             QStringLiteral("history/ch01/20261207-004200_N"), QStringLiteral("20261207004500"),
                             QStringLiteral("20261207004959")),
              QStringLiteral("/data/clips/127.0.0.1_8080/BACKUP/CH02/"
                             "CH02_20261207004500-004959_history_ch01_20261207-004200_N.264"));
    EXPECT_EQ(backupFileName(254, QStringLiteral("F"), kStart, kEnd),
              QStringLiteral("CH255_20200301080000-093000_F.264"));
    EXPECT_EQ(backupPartPath(QStringLiteral("/a/x.264")), QStringLiteral("/a/x.264.part"));
}

TEST(BackupFileName, PageAndRecorderTextsStayInsideTheFolder)
{
    const QString root = QStringLiteral("/b/");
    const QString path = backupFilePath(root, QStringLiteral("../../etc"), 80, 0,
                                        QStringLiteral("../../../home/u/.bashrc"), kStart, kEnd);
    ASSERT_FALSE(path.isEmpty());
    EXPECT_TRUE(path.startsWith(QStringLiteral("/b/")));
    EXPECT_FALSE(path.contains(QStringLiteral("..")));
    // Exactly the folders the clip belongs in: device, BACKUP, channel.
    EXPECT_EQ(path.count(QLatin1Char('/')), 5);
    EXPECT_TRUE(path.contains(QStringLiteral("/BACKUP/CH01/CH01_20200301080000-093000_"))) << path.toStdString();
    EXPECT_FALSE(backupFileName(0, QStringLiteral("a\\b/c"), kStart, kEnd).contains(QLatin1Char('/')));
    EXPECT_FALSE(backupFileName(0, QStringLiteral("a\\b/c"), kStart, kEnd).contains(QLatin1Char('\\')));
}

TEST(BackupFileName, WhatCannotBeBuiltIsEmpty)
{
    const QString root = QStringLiteral("/b/");
    const QString address = QStringLiteral("10.0.0.5");
    const QString name = QStringLiteral("F");
    // Folders that cannot be used as given.
    for (const char* folder : {"", "  ", "rec\\", "D:\\rec\\", "\\\\server\\share\\", "/b/../c/"})
        EXPECT_TRUE(backupFilePath(QString::fromUtf8(folder), address, 80, 0, name, kStart, kEnd).isEmpty())
            << folder;
    // Times that are not 14 digits (a "/" would name another folder).
    for (const char* time : {"2020030108000", "202003010800000", "2020/301080000", "20200301 80000"})
        EXPECT_TRUE(backupFilePath(root, address, 80, 0, name, QString::fromUtf8(time), kEnd).isEmpty()) << time;
    EXPECT_TRUE(backupFilePath(root, address, 80, 0, name, kStart, QStringLiteral("2020030109300x")).isEmpty());
    // Channels outside 0..254, an empty device file name.
    EXPECT_TRUE(backupFilePath(root, address, 80, -1, name, kStart, kEnd).isEmpty());
    EXPECT_TRUE(backupFilePath(root, address, 80, 255, name, kStart, kEnd).isEmpty());
    EXPECT_TRUE(backupFilePath(root, address, 80, 0, QString(), kStart, kEnd).isEmpty());
    // A file name that with ".part" passes the longest name is refused, not cut.
    const int room = static_cast<int>(platform::kMaxNameBytes) -
                     static_cast<int>(QStringLiteral("CH01_20200301080000-093000_.264.part").size());
    EXPECT_FALSE(backupFileName(0, QString(room, QLatin1Char('n')), kStart, kEnd).isEmpty());
    EXPECT_TRUE(backupFileName(0, QString(room + 1, QLatin1Char('n')), kStart, kEnd).isEmpty());
    // A path that does not fit.
    QString deepRoot = QStringLiteral("/");
    for (int i = 0; i < 20; ++i)
        deepRoot += QString(200, QLatin1Char('d')) + QLatin1Char('/');  // 4021 bytes
    EXPECT_FALSE(backupFilePath(deepRoot, address, 80, 0, name, kStart, kEnd).isEmpty());
    EXPECT_TRUE(backupFilePath(deepRoot, address, 80, 0, QString(200, QLatin1Char('n')), kStart, kEnd).isEmpty());
}

TEST(BackupProgressText, ReadsSixtyFourBitSizesAndRefusesWhatIsNotAnAnswer)
{
    const auto read = parseBackupProgress(
        R"({"RESPONSE":{"ERROR":0,"GETSIZE":4000000000,"STATE":1,"TOTALSIZE":5000000000}})");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->state, 1u);
    EXPECT_EQ(read->gotBytes, 4000000000u);
    EXPECT_EQ(read->totalBytes, 5000000000u);
    EXPECT_EQ(parseBackupProgress(R"({"RESPONSE":{"GETSIZE":18446744073709551615,"STATE":3,"TOTALSIZE":1}})")->gotBytes,
              18446744073709551615u);
    for (const char* text : {"", "{", "[]", R"({"RESPONSE":1})", R"({"RESPONSE":{"GETSIZE":1,"STATE":1}})",
                             R"({"RESPONSE":{"GETSIZE":-1,"STATE":1,"TOTALSIZE":2}})",
                             R"({"RESPONSE":{"GETSIZE":1.5,"STATE":1,"TOTALSIZE":2}})",
                             R"({"RESPONSE":{"GETSIZE":"1","STATE":1,"TOTALSIZE":2}})"})
        EXPECT_FALSE(parseBackupProgress(text)) << text;
}

TEST(BackupMailbox, NotesOfAWindowThatIsNotLiveAreDropped)
{
    // Handle 0x7ffffff0 names no window: nothing stays behind for it.
    BackupNote note;
    note.flag = 1;
    note.key = "k";
    leaveBackupNote(0x7ffffff0u, note);
    EXPECT_TRUE(takeBackupNotes(0x7ffffff0u).empty());
}
