// SPDX-License-Identifier: GPL-3.0-or-later
// One login to one recorder.
#pragma once

#include "device/BackupLink.h"
#include "device/PanelLinks.h"
#include "device/SessionSettings.h"
#include "platform/Sync.h"
#include "platform/Window.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

class DeviceSession {
public:
    DeviceSession();
    ~DeviceSession();  // clears the panel links, ends the backups; sends no LOGOUT

    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // The device id the page names this session by: unique among live
    // sessions, nonzero and below 2^31. Also the USERDATA of LOGIN.
    std::uint32_t id() const { return m_id; }

    void setLoginParameters(const QString& address, std::uint32_t devicePort, const QString& userName,
                            const QString& passwordText, std::uint32_t clientId);
    void setWebPort(std::uint32_t webPort) { m_webPort = webPort; }
    void setPanels(IPreviewLink* preview, IPlaybackLink* playback);
    void setControlWindow(platform::WindowHandle control);

    // Returns 0 on success, else the error code (0x11111111 when the
    // recorder could not be reached).
    std::uint32_t login();
    // 1 when there was nothing to log out or LOGOUT succeeded, else 0.
    int logout();

    int closeAllLiveChannels(int reasonFlag);
    int capture();
    // 1 without a preview panel, else the panel's result: 0, or 0x8002001f
    // when the record folder cannot be used or a file could not be created.
    std::int32_t startLocalRecord();
    int activeChannel() const;
    std::uint32_t switchStreamType(std::uint32_t type);
    bool allChannelsOpen() const;
    bool noChannelOpen() const;
    int setRecordPeriod(std::uint32_t channel, std::uint32_t recordType, const QString& start,
                        const QString& end);

    // The backup queue (the control gives every session one before login;
    // deleting the session ends its backups). UI thread only.
    void setBackupQueue(std::unique_ptr<IBackupQueue> queue) { m_backups = std::move(queue); }
    IBackupQueue* backupQueue() const { return m_backups.get(); }
    // Queues a download of a device file between two 14-digit times under a
    // key: false when the key is queued already or there is no queue. The
    // backup folder is the backup_path setting as it is now.
    bool queueBackup(const QString& deviceFileName, int channel, const QString& startDigits,
                     const QString& endDigits, const QString& key);
    // Takes the backup out of the queue and ends it; its progress when found.
    std::optional<BackupProgress> stopBackup(const QString& key);
    void startQueuedBackups();
    // Ends every backup of the device (logout): no notes, bounded waits.
    void stopAllBackups();
    bool isBackupCurrent(const QString& key, std::uint64_t serial) const;

    QString readSetting(const QString& key) const { return m_settings.read(key); }
    bool writeSetting(const QString& key, const QString& value) { return m_settings.write(key, value); }
    const SessionSettings& settings() const { return m_settings; }

    std::uint32_t deviceHandle() const { return m_deviceHandle; }
    const QString& address() const { return m_address; }
    std::uint32_t devicePort() const { return m_devicePort; }
    std::uint32_t webPort() const { return m_webPort; }
    std::uint32_t clientId() const { return m_clientId; }
    int channelCount() const { return m_channelCount; }
    void setChannelCount(int count) { m_channelCount = count; }
    std::uint32_t volume() const { return m_volume; }
    void setVolume(std::uint32_t volume) { m_volume = volume; }
    IPreviewLink* previewPanel() const { return m_preview; }
    IPlaybackLink* playbackPanel() const { return m_playback; }

    static constexpr std::uint32_t kUnreachableCode = 0x11111111u;

private:
    // The backup queue; it guards its table with its own lock.
    std::unique_ptr<IBackupQueue> m_backups;
    IPlaybackLink* m_playback = nullptr;
    IPreviewLink* m_preview = nullptr;
    SessionSettings m_settings;
    std::uint32_t m_deviceHandle = 0;
    std::uint32_t m_loginHandle = 0;
    QString m_address;
    std::uint32_t m_devicePort = 9000;
    QString m_userName;
    QString m_passwordText;
    std::uint32_t m_webPort = 80;
    std::uint32_t m_clientId = 0;
    int m_channelCount = 4;
    platform::WindowHandle m_controlWindow = 0;
    std::uint32_t m_volume = 50;
    std::uint32_t m_id = 0;
};
