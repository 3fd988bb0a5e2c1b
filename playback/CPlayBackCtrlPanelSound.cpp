// SPDX-License-Identifier: GPL-3.0-or-later
// The bar's sound controls: the volume and muted buttons (one shown at a
// time) and the volume slider.
#include "playback/CPlayBackCtrlPanel.h"

void CPlayBackCtrlPanel::toggleMute()
{
    m_session.toggleMute();
    const bool muted = m_session.muted();
    button(kVolumeButton).setVisible(!muted);
    button(kMutedButton).setVisible(muted);
    update();
}

void CPlayBackCtrlPanel::onVolumeSlider(int position)
{
    const bool wasMuted = m_session.muted();
    m_session.setVolume(position);
    if (wasMuted && !m_session.muted()) {
        button(kVolumeButton).setVisible(true);
        button(kMutedButton).setVisible(false);
        update();
    }
}
