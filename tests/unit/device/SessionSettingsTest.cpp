// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProfileSandbox.h"

#include "device/SessionSettings.h"
#include "platform/Profile.h"
#include "platform/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

QString fileText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

}  // namespace

TEST(SessionSettings, DefaultsOnAFreshProfile)
{
    ProfileSandbox profile;
    SessionSettings settings;
    settings.load("10.0.0.5", 80);

    EXPECT_EQ(settings.iniPath(), profile.velkFolder() + "10.0.0.5_80_config.ini");
    EXPECT_EQ(settings.snapPath(), profile.velkFolder());
    EXPECT_EQ(settings.recordPath(), profile.velkFolder());
    EXPECT_EQ(settings.backupPath(), profile.velkFolder());
    EXPECT_EQ(settings.alarmPath(), profile.velkFolder());
    EXPECT_EQ(settings.recordPackTime(), "30");
    EXPECT_EQ(settings.saveAlarm(), "0");
    EXPECT_EQ(settings.address(), "10.0.0.5");
    EXPECT_EQ(settings.webPort(), 80u);
    EXPECT_TRUE(QFileInfo(profile.velkFolder()).isDir());

    EXPECT_EQ(settings.read("record_pack_time"), "30");
    EXPECT_EQ(settings.read("snap_path"), profile.velkFolder());
    EXPECT_EQ(settings.read("no_such_key"), "");
}

TEST(SessionSettings, KnownKeysAreCaseSensitive)
{
    for (const char* key : {"snap_path", "record_path", "backup_path", "record_pack_time", "alarm_path", "save_alarm"}) {
        EXPECT_TRUE(SessionSettings::isKnownKey(key)) << key;
    }
    EXPECT_FALSE(SessionSettings::isKnownKey("Snap_Path"));
    EXPECT_FALSE(SessionSettings::isKnownKey("snap_path "));
    EXPECT_FALSE(SessionSettings::isKnownKey(""));

    ProfileSandbox profile;
    SessionSettings settings;
    settings.load("host", 80);
    EXPECT_FALSE(settings.write("Snap_Path", "x"));
    EXPECT_EQ(settings.snapPath(), profile.velkFolder());
}

TEST(SessionSettings, WrittenValuesPersistPerRecorderAndWebPort)
{
    ProfileSandbox profile;
    const QString pics = profile.path() + "\\pics\\";  // pages may use either separator
    {
        SessionSettings settings;
        settings.load("dvr.local", 80);
        ASSERT_TRUE(settings.write("snap_path", pics));
        ASSERT_TRUE(settings.write("save_alarm", "1"));
        EXPECT_EQ(settings.snapPath(), pics);
        EXPECT_EQ(settings.read("snap_path"), pics);
        const QString text = fileText(settings.iniPath());
        EXPECT_TRUE(text.contains("[VELK_Dvr]")) << text.toStdString();
        EXPECT_TRUE(text.contains("snap_path=" + pics)) << text.toStdString();
    }
    SessionSettings again;
    again.load("dvr.local", 80);
    EXPECT_EQ(again.snapPath(), pics);
    EXPECT_EQ(again.saveAlarm(), "1");
    EXPECT_TRUE(QFileInfo(profile.path() + "/pics").isDir());  // folders are created on load

    SessionSettings otherPort;
    otherPort.load("dvr.local", 8080);
    EXPECT_NE(otherPort.iniPath(), again.iniPath());
    EXPECT_EQ(otherPort.snapPath(), profile.velkFolder());
    EXPECT_EQ(otherPort.saveAlarm(), "0");
}

TEST(SessionSettings, NumbersAreCutInMemoryButFileKeepsFullValue)
{
    ProfileSandbox profile;
    SessionSettings settings;
    settings.load("host", 80);

    const QString packTime(40, QChar('9'));
    ASSERT_TRUE(settings.write("record_pack_time", packTime));
    EXPECT_EQ(settings.recordPackTime(), QString(31, QChar('9')));
    EXPECT_EQ(settings.read("record_pack_time"), packTime);  // read prefers the file

    ASSERT_TRUE(settings.write("save_alarm", "12345"));
    EXPECT_EQ(settings.saveAlarm(), "123");

    // A cut never splits a character made of two UTF-16 units.
    const QString wide = QString(30, QChar('7')) + QString::fromUtf8("\xF0\x9F\x98\x80");
    ASSERT_TRUE(settings.write("record_pack_time", wide));
    EXPECT_EQ(settings.recordPackTime(), QString(30, QChar('7')));
    ASSERT_TRUE(settings.write("record_pack_time", packTime));

    SessionSettings reloaded;
    reloaded.load("host", 80);
    EXPECT_EQ(reloaded.recordPackTime(), QString(31, QChar('9')));
    EXPECT_EQ(reloaded.saveAlarm(), "123");
}

TEST(SessionSettings, ValuesWithLineBreaksAreRefused)
{
    ProfileSandbox profile;
    SessionSettings settings;
    settings.load("host", 80);
    EXPECT_FALSE(settings.write("snap_path", "/x\n[VELK_Dvr]\nrecord_path=/etc/"));
    EXPECT_FALSE(settings.write("snap_path", QString("/x") + QChar(0) + "y"));
    EXPECT_EQ(settings.snapPath(), profile.velkFolder());
    EXPECT_EQ(settings.read("record_path"), profile.velkFolder());
}

TEST(SessionSettings, AddressesCannotLeaveTheSettingsFolder)
{
    ProfileSandbox profile;
    const QString folder = QDir(profile.velkFolder()).absolutePath();
    for (const char* address : {"../../etc/passwd", "..\\..\\evil", "a/b/c", "/abs/path", "..", ".", "",
                                "C:\\Windows\\x", "host\x01name"}) {
        const QString path = SessionSettings::filePathFor(QString::fromUtf8(address), 80);
        EXPECT_TRUE(path.startsWith(profile.velkFolder())) << address << " -> " << path.toStdString();
        const QString name = path.mid(profile.velkFolder().size());
        EXPECT_FALSE(name.contains('/')) << address << " -> " << path.toStdString();
        EXPECT_FALSE(name.contains('\\')) << address << " -> " << path.toStdString();
        EXPECT_TRUE(name.endsWith("_80_config.ini")) << address << " -> " << path.toStdString();

        SessionSettings settings;
        settings.load(QString::fromUtf8(address), 80);
        ASSERT_TRUE(settings.write("save_alarm", "1")) << address;
        EXPECT_EQ(QFileInfo(settings.iniPath()).absolutePath(), folder) << address;
        EXPECT_TRUE(QFileInfo::exists(settings.iniPath())) << address;
    }
    // Nothing was written outside the profile folder's VELK_Dvr folder.
    EXPECT_EQ(QDir(profile.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"VELK_Dvr"});
}

TEST(SessionSettings, WithoutAProfileFolderTheTemporaryFolderIsUsed)
{
    ProfileSandbox profile;  // restores USERPROFILE afterwards
    const QByteArray home = qgetenv("HOME");
    const bool hadHome = qEnvironmentVariableIsSet("HOME");
    const QByteArray tmp = qgetenv("TMPDIR");
    const bool hadTmp = qEnvironmentVariableIsSet("TMPDIR");
    qunsetenv("USERPROFILE");
    qunsetenv("HOME");
    qputenv("TMPDIR", profile.path().toUtf8());

    const QString path = SessionSettings::filePathFor("host", 81);

    hadHome ? qputenv("HOME", home) : qunsetenv("HOME");
    hadTmp ? qputenv("TMPDIR", tmp) : qunsetenv("TMPDIR");
    EXPECT_EQ(path, profile.path() + "/VELK_Dvr/host_81_config.ini");
}

TEST(SessionSettings, AFolderLongerThanItsFieldIsNeverCut)
{
    ProfileSandbox profile;
    const QString base = profile.path() + "/rec/";
    const QString fits = base + QString(259 - base.size(), QChar('f'));
    ASSERT_EQ(fits.size(), 259);
    const QString tooLong = base + QString(318 - base.size(), QChar('l'));
    const QString wide = base + QString(258 - base.size(), QChar('w')) + QString::fromUtf8("\xF0\x9F\x98\x80");
    ASSERT_EQ(wide.size(), 260);  // one character too many, in two UTF-16 units
    {
        SessionSettings settings;
        settings.load("host", 80);
        for (const char* key : {"snap_path", "record_path", "backup_path", "alarm_path"}) {
            EXPECT_FALSE(settings.write(key, tooLong)) << key;
            EXPECT_FALSE(settings.write(key, wide)) << key;
            EXPECT_EQ(settings.read(key), profile.velkFolder()) << key << ": nothing stored";
        }
        EXPECT_EQ(settings.recordPath(), profile.velkFolder());
        ASSERT_TRUE(settings.write("record_path", fits));
        EXPECT_EQ(settings.recordPath(), fits);
    }

    // A longer folder written into the file by hand (or by another program)
    // is not used, cut or replaced by the default: no folder is created
    // for it and the field stays empty, so recordings fail instead of
    // landing somewhere the user never chose.
    {
        SessionSettings settings;
        settings.load("host", 80);
        ASSERT_TRUE(platform::writeProfileString(platform::toUtf8(settings.iniPath()), SessionSettings::kSection,
                                                 "record_path", platform::toUtf8(tooLong)));
        ASSERT_TRUE(platform::writeProfileString(platform::toUtf8(settings.iniPath()), SessionSettings::kSection,
                                                 "snap_path", platform::toUtf8(wide)));
    }
    SessionSettings reloaded;
    reloaded.load("host", 80);
    EXPECT_EQ(reloaded.recordPath(), QString());
    EXPECT_EQ(reloaded.snapPath(), QString());
    EXPECT_EQ(reloaded.backupPath(), profile.velkFolder());
    // Only the folder that fitted (created when it was the record folder).
    EXPECT_EQ(QDir(profile.path() + "/rec").entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{fits.mid(base.size())})
        << "no folder cut to the field was created";
}

TEST(SessionSettings, OnlyFoldersThatCanBeUsedHereAreCreated)
{
    ProfileSandbox profile;
    const QString cwd = QDir::currentPath();
    const QString sandbox = profile.path();
    ASSERT_TRUE(QDir::setCurrent(sandbox));  // where relative folders would land
    {
        SessionSettings settings;
        settings.load("host", 80);
        const QString chinese = sandbox + QString::fromUtf8("/\xE5\xBD\x95\xE5\x83\x8F/\xE5\xBF\xAB\xE7\x85\xA7/");
        ASSERT_TRUE(settings.write("snap_path", chinese));
        ASSERT_TRUE(settings.write("record_path", "rel\\folder\\"));
        ASSERT_TRUE(settings.write("backup_path", "D:\\backup\\"));
        ASSERT_TRUE(settings.write("alarm_path", sandbox + "/a/../b/"));

        SessionSettings reloaded;
        reloaded.load("host", 80);
        EXPECT_TRUE(QFileInfo(chinese).isDir()) << "non-ASCII folders are created";
        EXPECT_EQ(reloaded.recordPath(), "rel\\folder\\") << "kept as written: the page may read it back";
    }
    QDir::setCurrent(cwd);
    EXPECT_EQ(QDir(sandbox).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"VELK_Dvr", QString::fromUtf8("\xE5\xBD\x95\xE5\x83\x8F")}))
        << "no relative, drive-letter or \"..\" folder was created";
}
