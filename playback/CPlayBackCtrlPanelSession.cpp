// SPDX-License-Identifier: GPL-3.0-or-later
// The bar's side of the remote playback session: texts, the bar's input,
// windows from the playback grid, the timeline's cursor and play time, the
// watchdog timer and seeks to itself.
#include "playback/CPlayBackCtrlPanel.h"

#include "platform/Messages.h"
#include "preview/CChannelPanel.h"
#include "widgets/LanguageTable.h"

void CPlayBackCtrlPanel::setGrid(CChannelPanel* grid)
{
    m_grid = grid;
    for (int i = 0; i < 16; ++i)
        m_gridWindows[static_cast<std::size_t>(i)].attach(grid ? grid->window(i) : nullptr);
}

void CPlayBackCtrlPanel::setDevice(std::uint32_t deviceHandle, const QString& address, std::uint32_t port)
{
    m_session.setDevice(deviceHandle);
    m_deviceAddress = address;
    m_devicePort = port;
    refreshToolTips();
}

QString CPlayBackCtrlPanel::text(const char* key)
{
    return m_language ? m_language->lookup(QString::fromLatin1(key)) : QString::fromLatin1(key);
}

void CPlayBackCtrlPanel::enableBar(bool enabled)
{
    setEnabled(enabled);
}

playback::IPlaybackWindow* CPlayBackCtrlPanel::allocateWindow()
{
    if (!m_grid)
        return nullptr;
    CChannelEX* window = m_grid->AllocateWindow();
    if (!window)
        return nullptr;
    return &m_gridWindows[static_cast<std::size_t>(window->windowIndex())];
}

platform::DateTime CPlayBackCtrlPanel::cursorTime()
{
    return m_timeline.GetCursorTime();
}

void CPlayBackCtrlPanel::setPlayTime(const platform::DateTime& time)
{
    m_timeline.SetPlayTime(time);
}

void CPlayBackCtrlPanel::startWatchdog(std::uint32_t intervalMs)
{
    setTimerById(playback::kWatchdogTimer, intervalMs);
}

void CPlayBackCtrlPanel::killWatchdog()
{
    killTimerById(playback::kWatchdogTimer);
}

void CPlayBackCtrlPanel::onTimer(std::uint32_t id)
{
    if (id == playback::kWatchdogTimer)
        m_session.onWatchdog();
}

void CPlayBackCtrlPanel::seekSelf(const platform::DateTime& time)
{
    platform::SystemTime target = time.toSystemTime();
    platform::sendMessage(handle(), platform::WM_TIMELINE_SEEK, reinterpret_cast<platform::WPARAM>(&target), 0);
}
