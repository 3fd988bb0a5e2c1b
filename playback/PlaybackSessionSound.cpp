// SPDX-License-Identifier: GPL-3.0-or-later
// The session's sound: which window is heard, mute and volume.
#include "playback/PlaybackSession.h"

#include <algorithm>

namespace playback {

void PlaybackSession::selectSoundWindow(int slot)
{
    if (slot < 0 || slot >= kSlots || slot == m_soundWindow || m_sessionDecoder == 0)
        return;
    if (IPlaybackWindow* old = window(m_soundWindow); old && old->isPlaying())
        m_library.setSound(m_sessionDecoder, m_soundWindow, 0);
    m_soundWindow = slot;
    if (!m_muted && !m_singleFrameSilence)
        soundOnForSoundWindow();
}

void PlaybackSession::toggleMute()
{
    if (m_muted) {
        m_muted = false;
        soundOnForSoundWindow();
    } else {
        m_muted = true;
        soundOffForSoundWindow();
    }
}

void PlaybackSession::setVolume(int volume)
{
    if (m_sessionDecoder == 0)
        return;
    m_volume = std::clamp(volume, 0, 100);
    m_library.setVolume(static_cast<std::uint32_t>(m_volume));
    if (m_muted)
        toggleMute();
}

void PlaybackSession::soundOnForSoundWindow()
{
    if (m_sessionDecoder == 0)
        return;
    IPlaybackWindow* w = window(m_soundWindow);
    if (!w || !w->isPlaying())
        return;
    m_library.setSound(m_sessionDecoder, m_soundWindow, 1);
    m_library.setVolume(static_cast<std::uint32_t>(m_volume));
}

void PlaybackSession::soundOffForSoundWindow()
{
    if (m_sessionDecoder == 0)
        return;
    IPlaybackWindow* w = window(m_soundWindow);
    if (w && w->isPlaying())
        m_library.setSound(m_sessionDecoder, m_soundWindow, 0);
}

void PlaybackSession::restoreSoundAfterSingleFrame()
{
    if (!m_singleFrameSilence || m_muted)
        return;
    m_singleFrameSilence = false;
    soundOnForSoundWindow();
}

}  // namespace playback
