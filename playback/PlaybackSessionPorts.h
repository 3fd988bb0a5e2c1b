// SPDX-License-Identifier: GPL-3.0-or-later
// What the remote playback session needs around it, as three small
// interfaces: the two libraries (command texts and the decoder calls), a
// video window of the playback grid, and the control bar that shows the
// session. The bar and the grid's windows implement them for real; tests
// put fakes in their place.
#pragma once

#include "device/CommandEnvelope.h"
#include "platform/DateTime.h"
#include "platform/Window.h"

#include <QString>

#include <cstdint>

namespace playback {

// The network library's command entry point and the decoder calls.
class IPlaybackLibrary {
public:
    virtual ~IPlaybackLibrary() = default;
    // One command text. Any thread (a stop worker sends REMOTEPLAYSTOP).
    virtual CommandResult command(const CommandEnvelope& text, bool wantHandle) = 0;
    // Decoder calls on a decoder handle; 0 on success. UI thread.
    virtual std::int32_t pause(std::uint32_t decoder, std::int32_t pause) = 0;
    virtual std::int32_t setSpeed(std::uint32_t decoder, std::int32_t speed) = 0;
    virtual std::int32_t playFrame(std::uint32_t decoder, std::int32_t count) = 0;
    virtual std::int32_t setSound(std::uint32_t decoder, std::int32_t index, std::int32_t on) = 0;
    // Writes the picture a sub-picture showed last as a BMP file (UTF-8 path).
    virtual std::int32_t capturePicture(std::uint32_t decoder, std::int32_t index, const char* path) = 0;
    // The sound output's volume, 0..100. UI thread.
    virtual void setVolume(std::uint32_t volume) = 0;
};

// The libraries themselves (sendCommand and libMIVU).
IPlaybackLibrary& realPlaybackLibrary();

// One video window of the playback grid, as the session uses it. UI thread.
class IPlaybackWindow {
public:
    virtual ~IPlaybackWindow() = default;
    virtual bool isPlaying() const = 0;
    virtual bool isActive() const = 0;
    virtual void setPlaying(bool playing) = 0;
    virtual void setOccupied(bool occupied) = 0;
    virtual void setActive(bool active) = 0;
    // The picture's size as the stream reports it (0, 0: none).
    virtual void setPictureSize(int width, int height) = 0;
    // 0 stretch, 1 keep proportions; lays the picture out again.
    virtual void setShapeMode(int mode) = 0;
    // The handle of the window the pictures are drawn into.
    virtual platform::WindowHandle viewHandle() const = 0;
    virtual void repaintView() = 0;
};

// The control bar around the session. UI thread.
class IPlaybackBarView {
public:
    virtual ~IPlaybackBarView() = default;
    // The text of a language key.
    virtual QString text(const char* key) = 0;
    virtual void setStatusText(const QString& text) = 0;
    virtual void setProgressText(const QString& text) = 0;
    // Enables and greys the transport buttons for the session's state.
    virtual void updateButtons(bool busy) = 0;
    // The whole bar takes input or not.
    virtual void enableBar(bool enabled) = 0;
    // A free window of the playback grid, now occupied; nullptr when none.
    virtual IPlaybackWindow* allocateWindow() = 0;
    // The timeline's cursor, and the playback time it shows.
    virtual platform::DateTime cursorTime() = 0;
    virtual void setPlayTime(const platform::DateTime& time) = 0;
    // The stream watchdog (the bar's timer 1).
    virtual void startWatchdog(std::uint32_t intervalMs) = 0;
    virtual void killWatchdog() = 0;
    // Sends the bar itself a seek to a time (as the timeline does).
    virtual void seekSelf(const platform::DateTime& time) = 0;
    // The bar's window handle: the stream callback posts to it.
    virtual platform::WindowHandle windowHandle() const = 0;
};

}  // namespace playback
