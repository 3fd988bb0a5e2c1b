// SPDX-License-Identifier: GPL-3.0-or-later
// Playback and backup methods of the control.
#include "control/CVELK_DVRCtrl.h"

#include "control/BackupText.h"
#include "device/DeviceSession.h"
#include "platform/Debug.h"
#include "playback/BackupFileName.h"

namespace {

// StartBackup's answers.
constexpr std::uint32_t kBackupQueued = 8;
constexpr std::uint32_t kBackupKeyExists = 4;
// A session without a backup queue (never one the control logged in).
constexpr std::uint32_t kNoBackupQueue = 0x80020002u;

// The channel as the page gives it: a decimal number 0..254 and nothing else.
std::optional<int> backupChannel(const QString& text)
{
    if (text.isEmpty() || text.size() > 3)
        return std::nullopt;
    int value = 0;
    for (const QChar ch : text) {
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (ch.unicode() - '0');
    }
    if (value > playback::kMaxBackupChannel)
        return std::nullopt;
    return value;
}

}  // namespace

std::uint32_t CVELK_DVRCtrl::SetPlaybackDate(std::uint32_t devId, const QString& date)
{
    if (!listedSession(devId))
        return 1;
    // Ten characters that are no date (2026-02-30, 2026/12/08) are refused
    // as a wrong length is: the timeline would have no day to show.
    if (date.size() != 10 || !m_playback.setPlayDate(date))
        return 2;
    return 0;
}

std::uint32_t CVELK_DVRCtrl::SetRecordPeriod(std::uint32_t devId, const QString& start, const QString& end,
                                             std::uint32_t channel, std::uint32_t recordType,
                                             std::uint32_t /*unused*/)
{
    DeviceSession* session = listedSession(devId);
    if (!session)
        return 1;
    if (channel > 16 || start.trimmed().size() != 19 || end.trimmed().size() != 19)
        return kMalformedArgument;
    session->setRecordPeriod(channel, recordType, start, end);
    return 0;
}

std::uint32_t CVELK_DVRCtrl::CompleteSetRecordPeriod(std::uint32_t devId)
{
    if (!listedSession(devId))
        return 1;
    m_playback.completeRecordPeriods();
    return 0;
}

void CVELK_DVRCtrl::SetPlayBackChannels(std::uint32_t channelMask)
{
    m_playback.setChannelMask(channelMask >= 0x10000u ? 1u : channelMask);
}

std::uint32_t CVELK_DVRCtrl::AllowPlaybackRecordTypeToPlay(std::uint32_t devId, std::uint16_t recordType)
{
    if (!listedSession(devId))
        return 1;
    m_playback.setRecordType(recordType);
    return 0;
}

std::uint32_t CVELK_DVRCtrl::StopPlayback(std::uint32_t devId)
{
    if (!listedSession(devId))
        return 1;
    if (!m_playback.isCreated())
        return 2;
    m_playback.stopPlaybackAsync();
    return 0;
}

std::uint32_t CVELK_DVRCtrl::StartBackup(std::uint32_t devId, const QString& deviceFileName, const QString& channel,
                                         const QString& start, const QString& end, const QString& backupKey)
{
    DeviceSession* session = listedSession(devId);
    if (!session)
        return 1;
    const std::optional<QString> startDigits = backupTimeDigits(start);
    const std::optional<QString> endDigits = backupTimeDigits(end);
    const std::optional<int> channelNumber = backupChannel(channel);
    if (!startDigits || !endDigits || !channelNumber)
        return kMalformedArgument;
    if (!session->backupQueue()) {
        platform::debugOutput("StartBackup: no backup queue\n");
        return kNoBackupQueue;
    }
    return session->queueBackup(deviceFileName, *channelNumber, *startDigits, *endDigits, backupKey)
               ? kBackupQueued
               : kBackupKeyExists;
}

std::uint32_t CVELK_DVRCtrl::StopBackup(std::uint32_t devId, const QString& backupKey)
{
    DeviceSession* session = listedSession(devId);
    if (!session)
        return 1;
    // A backup that was in the table, queued or running, reports flag 3.
    if (const std::optional<BackupProgress> stopped = session->stopBackup(backupKey))
        handleBackupEvent(session, 3, backupKey, *stopped);
    return 8;
}
