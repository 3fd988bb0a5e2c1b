// SPDX-License-Identifier: GPL-3.0-or-later
// Where a downloaded clip goes:
//   <backup folder><address>[_<web port> unless 80]/BACKUP/CHnn/
//   CHnn_<start YYYYMMDDhhmmss>-<end hhmmss>_<device file name made safe>.264
// with nn the 1-based channel in at least two digits. The address and the
// device file name are made safe for one file-name component
// (platform::safeFileNamePart), so that nothing the page or the recorder
// sends can place a file outside the backup folder. Pure text work, any
// thread.
#pragma once

#include <QString>

namespace playback {

// The clip's full local path, "/"-separated; empty when it cannot be built:
// the folder is unusable as given (platform::localFolderOf: empty, relative,
// a network share, a ".." component, ...), a time is not 14 digits, the
// channel is outside 0..254, the device file name is empty, or the file name
// with ".part" or the whole path would be too long for the file system.
QString backupFilePath(const QString& backupFolder, const QString& address, int webPort, int channel,
                       const QString& deviceFileName, const QString& startDigits, const QString& endDigits);

// The file name alone (no folder); empty as above.
QString backupFileName(int channel, const QString& deviceFileName, const QString& startDigits,
                       const QString& endDigits);

// What a download writes while it runs: the clip's path with ".part".
inline QString backupPartPath(const QString& filePath)
{
    return filePath + QStringLiteral(".part");
}

// Whether a text is exactly 14 ASCII digits (a YYYYMMDDhhmmss time).
bool isBackupTimeDigits(const QString& digits);

inline constexpr int kMaxBackupChannel = 254;

}  // namespace playback
