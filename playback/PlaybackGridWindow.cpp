// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/PlaybackGridWindow.h"

#include "preview/CChannelEX.h"

namespace playback {

bool PlaybackGridWindow::isPlaying() const
{
    return m_window && m_window->isPlaying();
}

bool PlaybackGridWindow::isActive() const
{
    return m_window && m_window->isActive();
}

void PlaybackGridWindow::setPlaying(bool playing)
{
    if (m_window)
        m_window->setPlaying(playing);
}

void PlaybackGridWindow::setOccupied(bool occupied)
{
    if (m_window)
        m_window->setOccupied(occupied);
}

void PlaybackGridWindow::setActive(bool active)
{
    if (m_window)
        m_window->SetActive(active);
}

void PlaybackGridWindow::setPictureSize(int width, int height)
{
    if (m_window)
        m_window->setPictureSize(width, height);
}

void PlaybackGridWindow::setShapeMode(int mode)
{
    if (m_window)
        m_window->setShapeMode(mode);
}

platform::WindowHandle PlaybackGridWindow::viewHandle() const
{
    return m_window ? m_window->view().postHandle() : 0;
}

void PlaybackGridWindow::repaintView()
{
    if (m_window)
        m_window->view().update();
}

}  // namespace playback
