// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/SessionSettings.h"

#include "platform/LocalFolder.h"
#include "platform/Profile.h"
#include "platform/Text.h"

#include <QDir>

namespace {

constexpr const char* kSnapPathKey = "snap_path";
constexpr const char* kRecordPathKey = "record_path";
constexpr const char* kBackupPathKey = "backup_path";
constexpr const char* kRecordPackTimeKey = "record_pack_time";
constexpr const char* kAlarmPathKey = "alarm_path";
constexpr const char* kSaveAlarmKey = "save_alarm";

constexpr const char* kFolderName = "VELK_Dvr";
constexpr const char* kDefaultPackTime = "30";
constexpr const char* kDefaultSaveAlarm = "0";

// A value for an in-memory field of fieldChars UTF-16 units including the
// terminator: at most fieldChars - 1 units, never splitting a surrogate pair.
QString cutToField(const QString& value, std::size_t fieldChars)
{
    const qsizetype maxChars = static_cast<qsizetype>(fieldChars - 1);
    if (value.size() <= maxChars) {
        return value;
    }
    qsizetype keep = maxChars;
    if (keep > 0 && value.at(keep - 1).isHighSurrogate()) {
        --keep;
    }
    return value.left(keep);
}

std::size_t fieldCharsFor(const QString& key)
{
    if (key == QLatin1String(kRecordPackTimeKey)) {
        return SessionSettings::kPackTimeChars;
    }
    if (key == QLatin1String(kSaveAlarmKey)) {
        return SessionSettings::kSaveAlarmChars;
    }
    return SessionSettings::kPathChars;
}

// The folder the VELK_Dvr folder lives in, with "/" separators and no
// final separator.
std::string baseFolder()
{
    std::string folder = platform::profileFolder();
    if (folder.empty()) {
        // Neither USERPROFILE nor HOME is set (a bare service environment):
        // keep the settings in the system's temporary folder so that login
        // still works; they last as long as that folder is kept.
        folder = platform::toUtf8(QDir::tempPath());
    }
    folder = platform::toForwardSlashes(folder);
    while (!folder.empty() && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

// The recorder's part of the file name. The address comes from the page, so
// it must not be able to name another folder: the platform's helper removes
// separators and "..", and this keeps that promise whatever the helper does.
std::string fileNamePartFor(const QString& address)
{
    std::string part = platform::safeFileNamePart(platform::toUtf8(address));
    for (char& ch : part) {
        if (ch == '/' || ch == '\\' || ch == '\0') {
            ch = '_';
        }
    }
    return part;
}

// Values live on one line of the file: a line break or a zero character
// would cut the value or add lines of its own.
bool fitsOnOneLine(const QString& value)
{
    for (QChar ch : value) {
        if (ch == QLatin1Char('\n') || ch == QLatin1Char('\r') || ch == QChar(0)) {
            return false;
        }
    }
    return true;
}

bool isFolderKey(const QString& key)
{
    return fieldCharsFor(key) == SessionSettings::kPathChars;
}

bool fitsField(const QString& value, std::size_t fieldChars)
{
    return static_cast<std::size_t>(value.size()) < fieldChars;
}

// Creates the folders of a folder setting that can be used here. Any other
// (relative, a drive letter, a network share, "..") has no fixed place on
// this platform: creating it would put folders where the user never chose.
void createFolders(const QString& folder)
{
    const platform::LocalFolder local = platform::localFolderOf(folder);
    if (local.usable()) {
        platform::createFoldersOf(platform::toUtf8(local.path));
    }
}

}  // namespace

bool SessionSettings::isKnownKey(const QString& key)
{
    for (const char* known :
         {kSnapPathKey, kRecordPathKey, kBackupPathKey, kRecordPackTimeKey, kAlarmPathKey, kSaveAlarmKey}) {
        if (key == QLatin1String(known)) {
            return true;
        }
    }
    return false;
}

QString SessionSettings::filePathFor(const QString& address, std::uint32_t webPort)
{
    const std::string path = baseFolder() + "/" + kFolderName + "/" + fileNamePartFor(address) + "_" +
                             std::to_string(webPort) + "_config.ini";
    return platform::fromUtf8(path);
}

void SessionSettings::load(const QString& address, std::uint32_t webPort)
{
    m_address = address;
    m_webPort = webPort;
    m_iniPath = filePathFor(address, webPort);
    const std::string iniPath = platform::toUtf8(m_iniPath);
    platform::createFoldersOf(iniPath);

    const auto readField = [&iniPath](const char* key) {
        const std::size_t fieldChars = fieldCharsFor(QLatin1String(key));
        const std::string value =
            platform::readProfileString(iniPath, kSection, key, std::string_view(), fieldChars - 1);
        return cutToField(platform::fromUtf8(value), fieldChars);
    };
    // A folder that does not fit its field is not used at all: cut, it
    // would name a folder the user never chose, and the default would put
    // files somewhere else too. The field stays empty (no folder: recordings
    // and snapshots fail) until a folder that fits is written.
    const auto readFolder = [&iniPath](const char* key, bool& unusable) {
        const QString value =
            platform::fromUtf8(platform::readProfileString(iniPath, kSection, key, std::string_view()));
        unusable = !fitsField(value, kPathChars);
        return unusable ? QString() : value;
    };
    bool unusable[4] = {};
    m_snapPath = readFolder(kSnapPathKey, unusable[0]);
    m_recordPath = readFolder(kRecordPathKey, unusable[1]);
    m_backupPath = readFolder(kBackupPathKey, unusable[2]);
    m_recordPackTime = readField(kRecordPackTimeKey);
    m_alarmPath = readFolder(kAlarmPathKey, unusable[3]);
    m_saveAlarm = readField(kSaveAlarmKey);

    // Empty folders default to the folder that holds the file, with a final "/".
    const QString base = m_iniPath.left(m_iniPath.lastIndexOf(QLatin1Char('/')) + 1);
    int index = 0;
    for (QString* folder : {&m_snapPath, &m_recordPath, &m_backupPath, &m_alarmPath}) {
        if (folder->isEmpty() && !unusable[index]) {
            *folder = base;
        }
        ++index;
    }
    if (m_recordPackTime.isEmpty()) {
        m_recordPackTime = QLatin1String(kDefaultPackTime);
    }
    if (m_saveAlarm.isEmpty()) {
        m_saveAlarm = QLatin1String(kDefaultSaveAlarm);
    }
    for (const QString* folder : {&m_snapPath, &m_recordPath, &m_backupPath, &m_alarmPath}) {
        createFolders(*folder);
    }
}

QString SessionSettings::read(const QString& key) const
{
    if (!m_iniPath.isEmpty()) {
        const std::string value = platform::readProfileString(platform::toUtf8(m_iniPath), kSection,
                                                              platform::toUtf8(key), std::string_view(),
                                                              kPathChars - 1);
        if (!value.empty()) {
            return platform::fromUtf8(value);
        }
    }
    const QString* field = fieldFor(key);
    return field ? *field : QString();
}

bool SessionSettings::write(const QString& key, const QString& value)
{
    QString* field = fieldFor(key);
    if (!field || !fitsOnOneLine(value)) {
        return false;
    }
    // A folder is never cut: the cut text would name another folder.
    if (isFolderKey(key) && !fitsField(value, kPathChars)) {
        return false;
    }
    *field = cutToField(value, fieldCharsFor(key));
    if (m_iniPath.isEmpty()) {
        return false;  // not loaded yet: there is no file to write to
    }
    return platform::writeProfileString(platform::toUtf8(m_iniPath), kSection, platform::toUtf8(key),
                                        platform::toUtf8(value));
}

QString* SessionSettings::fieldFor(const QString& key)
{
    return const_cast<QString*>(static_cast<const SessionSettings*>(this)->fieldFor(key));
}

const QString* SessionSettings::fieldFor(const QString& key) const
{
    if (key == QLatin1String(kSnapPathKey)) {
        return &m_snapPath;
    }
    if (key == QLatin1String(kRecordPathKey)) {
        return &m_recordPath;
    }
    if (key == QLatin1String(kBackupPathKey)) {
        return &m_backupPath;
    }
    if (key == QLatin1String(kRecordPackTimeKey)) {
        return &m_recordPackTime;
    }
    if (key == QLatin1String(kAlarmPathKey)) {
        return &m_alarmPath;
    }
    if (key == QLatin1String(kSaveAlarmKey)) {
        return &m_saveAlarm;
    }
    return nullptr;
}
