// SPDX-License-Identifier: GPL-3.0-or-later
// What a device session asks of its backup queue (the clip downloads of its
// recorder). The queue itself lives with the playback code (playback/
// BackupQueue.h); the session holds it through this interface, so the device
// link does not depend on the code that runs the downloads.
#pragma once

#include "platform/Window.h"

#include <QString>

#include <cstdint>
#include <optional>

// A backup's sizes: total first, then received so far.
struct BackupProgress {
    std::uint64_t totalBytes = 0;    // size of the clip in all
    std::uint64_t currentBytes = 0;  // bytes received so far
};

// Everything one backup needs, fixed when StartBackup queues it.
struct BackupRequest {
    std::uint32_t sessionId = 0;            // the session's device id
    std::uint32_t deviceHandle = 0;         // HDEV of DOWNLOADVIDEO
    platform::WindowHandle notifyWindow = 0;  // the control's window, where the notes go
    QString address;                        // the recorder's address
    std::uint32_t webPort = 80;             // part of the local folder's name unless 80
    QString saveFolder;                     // the backup_path setting at StartBackup
    int channel = 0;                        // 0-based
    QString deviceFileName;                 // the recorder's name of the file
    QString startDigits;                    // YYYYMMDDhhmmss
    QString endDigits;                      // YYYYMMDDhhmmss
    QString key;                            // the page's name of the backup
};

// The table of a session's backups, ordered by key (compared as texts), at
// most two running. UI thread only.
class IBackupQueue {
public:
    virtual ~IBackupQueue() = default;
    // Adds a backup unless its key is in the table already (false, nothing
    // changes); either way the next queued backups start.
    virtual bool add(const BackupRequest& request) = 0;
    // Takes the backup out of the table and ends its download (queued or
    // running). Its progress when it was found, nullopt when not.
    virtual std::optional<BackupProgress> stop(const QString& key) = 0;
    // Starts queued backups in key order while fewer than two run.
    virtual void startQueued() = 0;
    // Ends every backup and empties the table (logout).
    virtual void stopAll() = 0;
    // Whether the backup under this key is the one given this serial number
    // (a note of a backup that ended or was replaced is stale).
    virtual bool isCurrent(const QString& key, std::uint64_t serial) const = 0;
};
