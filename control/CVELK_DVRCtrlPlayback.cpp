// SPDX-License-Identifier: GPL-3.0-or-later
// Playback and backup methods of the control.
#include "control/CVELK_DVRCtrl.h"

#include "control/BackupText.h"
#include "device/DeviceSession.h"
#include "platform/Debug.h"

namespace {

// StartBackup's answer while sessions keep no backup queue: nothing was queued.
constexpr std::uint32_t kNoBackupQueue = 0x80020002u;

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

std::uint32_t CVELK_DVRCtrl::StartBackup(std::uint32_t devId, const QString& /*deviceFileName*/,
                                         const QString& /*channel*/, const QString& start, const QString& end,
                                         const QString& /*backupKey*/)
{
    if (!listedSession(devId))
        return 1;
    const std::optional<QString> startDigits = backupTimeDigits(start);
    const std::optional<QString> endDigits = backupTimeDigits(end);
    if (!startDigits || !endDigits)
        return kMalformedArgument;
    // Downloads are queued by the session once it keeps a backup queue;
    // until then the request is refused rather than reported as queued.
    platform::debugOutput("StartBackup: no backup queue\n");
    return kNoBackupQueue;
}

std::uint32_t CVELK_DVRCtrl::StopBackup(std::uint32_t devId, const QString& /*backupKey*/)
{
    if (!listedSession(devId))
        return 1;
    return 8;  // nothing is queued that could be stopped
}
