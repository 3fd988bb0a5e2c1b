// SPDX-License-Identifier: GPL-3.0-or-later
// Live preview methods of the control.
#include "control/CVELK_DVRCtrl.h"

#include "device/DeviceSession.h"

namespace {

// The session's own preview panel as the control's panel class, or nullptr.
CPreviewPanel* previewOf(const DeviceSession& session)
{
    return dynamic_cast<CPreviewPanel*>(session.previewPanel());
}

}  // namespace

std::uint32_t CVELK_DVRCtrl::StartViewAll(std::uint32_t devId, std::uint32_t channelCount,
                                          std::uint32_t streamType)
{
    DeviceSession* session = listedSession(devId);
    if (!session || streamType > 2)
        return 1;
    if (CPreviewPanel* preview = previewOf(*session)) {
        preview->startViewAll(static_cast<int>(channelCount), streamType);
        session->setChannelCount(static_cast<int>(channelCount));
    }
    return 0;
}

std::uint32_t CVELK_DVRCtrl::StopView(std::uint32_t devId, std::uint32_t /*channel*/)
{
    return listedSession(devId) ? 0 : static_cast<std::uint32_t>(-2);
}

std::uint32_t CVELK_DVRCtrl::StopPreviewAll(std::uint32_t devId)
{
    if (!listedSession(devId))
        return 1;
    m_preview.stopPreviewAll();
    return 0;
}

void CVELK_DVRCtrl::ShowChannels(std::uint32_t windowCount)
{
    m_preview.showChannels(windowCount);
}

std::int32_t CVELK_DVRCtrl::SetChannelCnt(std::uint32_t devId, std::uint32_t channelCount)
{
    DeviceSession* session = listedSession(devId);
    if (!session)
        return 1;
    if (channelCount < 1 || channelCount > 16)
        return static_cast<std::int32_t>(kMalformedArgument);
    const bool isLayoutCount = channelCount == 1 || channelCount == 4 || channelCount == 6 ||
                               channelCount == 8 || channelCount == 9 || channelCount == 13 ||
                               channelCount == 16;
    ShowChannels(isLayoutCount ? channelCount : 16);
    session->setChannelCount(static_cast<int>(channelCount));
    m_preview.assignWindows(static_cast<int>(channelCount));
    return 0;
}

void CVELK_DVRCtrl::NextGroupVideos()
{
    m_preview.nextGroup();
}

void CVELK_DVRCtrl::PreviousGoupVides()
{
    m_preview.previousGroup();
}

std::int32_t CVELK_DVRCtrl::GetActiveChannel(std::uint32_t devId)
{
    DeviceSession* session = listedSession(devId);
    if (!session)
        return -2;
    return session->activeChannel();
}

std::uint32_t CVELK_DVRCtrl::SwitchPreviewStreamType(std::uint32_t devId, std::uint16_t streamType)
{
    DeviceSession* session = listedSession(devId);
    if (!session)
        return 1;
    session->switchStreamType(streamType);
    return 0;  // whatever the windows answered
}

void CVELK_DVRCtrl::SetPreviewVideoShapeMode(std::int16_t shapeMode)
{
    const int mode = (shapeMode == 0 || shapeMode == 1) ? shapeMode : 0;
    if (m_preview.isCreated())
        m_preview.setShapeMode(mode);
}

std::uint32_t CVELK_DVRCtrl::SetPreviewSoundState(std::uint32_t devId, std::uint32_t on)
{
    DeviceSession* session = listedSession(devId);
    if (!session)
        return 1;
    CPreviewPanel* preview = previewOf(*session);
    if (!preview)
        return 2;
    preview->setSoundEnabled(on != 0);
    return 0;
}

std::uint32_t CVELK_DVRCtrl::SetVolume(std::uint32_t devId, std::uint32_t /*unused*/, std::uint32_t volume)
{
    DeviceSession* session = listedSession(devId);
    if (!session)
        return 1;
    session->setVolume(volume);
    m_preview.setVolume(volume);
    return 0;
}

std::uint32_t CVELK_DVRCtrl::GetVolume(std::uint32_t devId)
{
    DeviceSession* session = listedSession(devId);
    return session ? session->volume() : 1000;
}

std::uint32_t CVELK_DVRCtrl::StartRecord(std::uint32_t devId, std::uint32_t /*unused*/,
                                         const QString& /*unusedText*/)
{
    DeviceSession* session = listedSession(devId);
    if (!session)
        return 1;
    // A record folder that cannot be used, or a window that could not
    // create its file, is reported (0x8002001f); without a preview panel
    // there is nothing to record.
    const std::int32_t started = session->startLocalRecord();
    return started == 1 ? 0u : static_cast<std::uint32_t>(started);
}

std::uint32_t CVELK_DVRCtrl::StopRecord(std::uint32_t devId, std::uint32_t /*unused*/)
{
    if (!listedSession(devId))
        return 1;
    m_preview.stopLocalRecord();
    return 0;
}

std::uint32_t CVELK_DVRCtrl::CaptureImage(std::uint32_t devId)
{
    DeviceSession* session = listedSession(devId);
    if (!session)
        return 1;
    CPreviewPanel* preview = previewOf(*session);
    if (!preview)
        return 0;
    int channel = -1;
    QString saved;
    const std::int32_t result =
        preview->captureImage(session->settings().snapPath(), session->address(), &saved, &channel);
    // The page is told where the file went, so that it can offer it.
    if (result == 0 && m_snapshotSink)
        m_snapshotSink(saved, channel);
    return static_cast<std::uint32_t>(result);
}
