// SPDX-License-Identifier: GPL-3.0-or-later
// The per-recorder local settings: folders for snapshots, recordings,
// downloads and alarms, the record pack time and the save-alarm flag, kept in
// <profile>/VELK_Dvr/<address>_<webport>_config.ini, section "VELK_Dvr".
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>

class SessionSettings {
public:
    // Keys of section "VELK_Dvr", and their in-memory field sizes in UTF-16
    // characters including the terminator.
    static constexpr const char* kSection = "VELK_Dvr";
    static constexpr std::size_t kPathChars = 260;
    static constexpr std::size_t kPackTimeChars = 32;
    static constexpr std::size_t kSaveAlarmChars = 4;

    static bool isKnownKey(const QString& key);

    // The settings file of a recorder: <profile>/VELK_Dvr/<safe address>_<webPort>_config.ini
    // (with "/" separators). Without a profile folder the system's temporary
    // folder stands in for it. The address never makes the path leave the
    // VELK_Dvr folder.
    static QString filePathFor(const QString& address, std::uint32_t webPort);

    // Reads the six keys, applies the defaults and creates the folders that
    // can be used here (platform::localFolderOf). A folder longer than its
    // field is not used: its field stays empty, without the default.
    void load(const QString& address, std::uint32_t webPort);
    // A key's value from the file when nonempty, else the in-memory value of a
    // known key, else an empty text.
    QString read(const QString& key) const;
    // For a known key: stores the value in memory (cut to its field) and in the file.
    // False for an unknown key, a value with a line break or zero character,
    // a folder longer than its field (refused, nothing changes: a cut folder
    // would be another folder), before load(), or when the file cannot be written.
    bool write(const QString& key, const QString& value);

    const QString& snapPath() const { return m_snapPath; }
    const QString& recordPath() const { return m_recordPath; }
    const QString& backupPath() const { return m_backupPath; }
    const QString& iniPath() const { return m_iniPath; }
    const QString& saveAlarm() const { return m_saveAlarm; }
    const QString& recordPackTime() const { return m_recordPackTime; }
    const QString& alarmPath() const { return m_alarmPath; }
    const QString& address() const { return m_address; }
    std::uint32_t webPort() const { return m_webPort; }

private:
    QString* fieldFor(const QString& key);
    const QString* fieldFor(const QString& key) const;

    QString m_snapPath;
    QString m_recordPath;
    QString m_backupPath;
    QString m_iniPath;
    QString m_saveAlarm;
    QString m_recordPackTime;
    QString m_alarmPath;
    QString m_address;
    std::uint32_t m_webPort = 80;
};
