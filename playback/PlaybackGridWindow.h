// SPDX-License-Identifier: GPL-3.0-or-later
// A video window of the playback grid (CChannelEX) as the playback session
// sees it. UI thread.
#pragma once

#include "playback/PlaybackSessionPorts.h"

class CChannelEX;

namespace playback {

class PlaybackGridWindow final : public IPlaybackWindow {
public:
    void attach(CChannelEX* window) { m_window = window; }
    CChannelEX* channelWindow() const { return m_window; }

    bool isPlaying() const override;
    bool isActive() const override;
    void setPlaying(bool playing) override;
    void setOccupied(bool occupied) override;
    void setActive(bool active) override;
    void setPictureSize(int width, int height) override;
    void setShapeMode(int mode) override;
    platform::WindowHandle viewHandle() const override;
    void repaintView() override;

private:
    CChannelEX* m_window = nullptr;
};

}  // namespace playback
