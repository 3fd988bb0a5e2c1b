// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/BackupFileName.h"

#include "platform/LocalFolder.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "preview/RecordFileName.h"

namespace playback {

namespace {

QString channelText(int channel)
{
    return QStringLiteral("CH%1").arg(channel + 1, 2, 10, QLatin1Char('0'));
}

std::size_t utf8Bytes(const QString& text)
{
    return platform::toUtf8(text).size();
}

}  // namespace

bool isBackupTimeDigits(const QString& digits)
{
    if (digits.size() != 14)
        return false;
    for (const QChar ch : digits)
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            return false;
    return true;
}

QString backupFileName(int channel, const QString& deviceFileName, const QString& startDigits,
                       const QString& endDigits)
{
    if (channel < 0 || channel > kMaxBackupChannel || deviceFileName.isEmpty() ||
        !isBackupTimeDigits(startDigits) || !isBackupTimeDigits(endDigits))
        return {};
    const std::string safeName = platform::safeFileNamePart(platform::toUtf8(deviceFileName));
    const QString name = channelText(channel) + QLatin1Char('_') + startDigits + QLatin1Char('-') +
                         endDigits.right(6) + QLatin1Char('_') + platform::fromUtf8(safeName) +
                         QStringLiteral(".264");
    // The download writes the name with ".part" first; both must be one
    // valid name, never cut (a cut name could be another clip's).
    if (utf8Bytes(backupPartPath(name)) > platform::kMaxNameBytes)
        return {};
    return name;
}

QString backupFilePath(const QString& backupFolder, const QString& address, int webPort, int channel,
                       const QString& deviceFileName, const QString& startDigits, const QString& endDigits)
{
    const platform::LocalFolder root = platform::localFolderOf(backupFolder);
    if (!root.usable())
        return {};
    const QString name = backupFileName(channel, deviceFileName, startDigits, endDigits);
    if (name.isEmpty())
        return {};
    const QString deviceFolder = preview::deviceFolderName(address, webPort);
    if (utf8Bytes(deviceFolder) > platform::kMaxNameBytes)
        return {};
    const QString path =
        root.path + deviceFolder + QStringLiteral("/BACKUP/") + channelText(channel) + QLatin1Char('/') + name;
    if (utf8Bytes(backupPartPath(path)) + 1 > platform::kMaxPathBytes)
        return {};
    return path;
}

}  // namespace playback
