// SPDX-License-Identifier: GPL-3.0-or-later
// What a video window asks of the device view that owns it (the preview
// panel, or later the playback panel) when it builds its context menu.
#pragma once

class IChannelDevice {
public:
    virtual ~IChannelDevice() = default;
    // UI thread.
    virtual bool isPreviewFullScreen() const = 0;
    // All of the device's channels are open (the open mask + 1 is 2 to the
    // power of the channel count). UI thread.
    virtual bool allChannelsOpen() const = 0;
    // No channel is open (the open mask is 0). UI thread.
    virtual bool noChannelOpen() const = 0;
};
