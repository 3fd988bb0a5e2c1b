// SPDX-License-Identifier: GPL-3.0-or-later
// The remote playback session of the control bar: one play handle for all
// selected channels of one day, opened with REMOTEPLAY at the timeline's
// cursor, steered through the decoder (pause, speed, single frames), kept in
// step with the timeline by the stream's frame times, and watched by a
// 10-second watchdog. The session knows the libraries, the grid's windows
// and the bar only through the interfaces of PlaybackSessionPorts.h.
//
// Threads: everything runs on the UI thread except stopFromWorker() and the
// stream callback. The callback only copies what it is given into a message
// to the bar's window (PlaybackCallbackEvent.h); the bar hands it back to
// onCallback(). A stop worker takes the play handle atomically, so that the
// UI thread and the worker never both close one stream, and posts its
// result to the bar's window for finishStop().
#pragma once

#include "playback/PlaybackCallbackEvent.h"
#include "playback/PlaybackSessionPorts.h"

#include <QString>

#include <array>
#include <atomic>
#include <cstdint>

namespace playback {

enum PlayState : int { kPlaying = 0, kPaused = 1, kStopped = 2, kFast = 3, kSlow = 4, kSingleFrame = 5 };

// Private messages the session's parts post to the bar's window.
enum SessionMessage : std::uint32_t {
    // A stream callback: wParam and lParam from packEvent().
    WM_PLAYBACK_CALLBACK = 0xA11,
    // A stop worker closed a stream: wParam REMOTEPLAYSTOP's result, lParam
    // the play handle it took.
    WM_PLAYBACK_STOPPED = 0xA12,
};

constexpr std::uint32_t kWatchdogTimer = 1;
constexpr std::uint32_t kWatchdogMs = 10000;
// More stream callbacks than this within one watchdog period: the stream lives.
constexpr std::uint64_t kAliveCallbacks = 10;

// The speed ladders: 2, 4, 8, 16, then 2 again; -2 .. -16 for slow play.
int nextFastSpeed(int speed);
int nextSlowSpeed(int speed);

class PlaybackSession {
public:
    static constexpr int kSlots = 16;

    PlaybackSession(IPlaybackLibrary& library, IPlaybackBarView& bar);

    // The stream callback given to REMOTEPLAY; its user data is the bar's
    // window handle with the session's generation. Runs on the network
    // library's thread.
    static std::int32_t streamCallback(std::uint32_t type, void* userData, const std::uint8_t* data,
                                       std::uint32_t length, std::uint32_t code);

    // Settings. UI thread.
    void setDevice(std::uint32_t deviceHandle) { m_deviceHandle = deviceHandle; }
    // Stops first when the selection changes.
    void setChannelMask(std::uint32_t mask);
    // Stops first when the type changes; above 2 counts as 2.
    void setRecordType(std::uint32_t type);
    // A new day: the session stops and the clock goes to the day's start.
    void setDay(const platform::DateTime& day);
    // The bar's window handle, for stop workers to post to. UI thread.
    void setBarHandle(platform::WindowHandle handle) { m_barHandle.store(handle); }

    // Transport actions. UI thread.
    void play();
    void pause();
    void fast();
    void slow();
    void nextFrame();
    void stopPlay();
    // A seek to a time (WM_TIMELINE_SEEK): false when there is no session,
    // so the message gets its default handling.
    bool seek(const platform::DateTime& target);
    // A stream callback, back on the UI thread.
    void onCallback(const CallbackEvent& event);
    // Timer 1 fired.
    void onWatchdog();

    // Takes the play handle, when it is still playHandle (the stream that
    // played when the stop was asked for), and closes the stream, then posts
    // the result to the bar (WM_PLAYBACK_STOPPED). Runs on a stop worker
    // thread.
    void stopFromWorker(std::uint32_t playHandle);
    // The end of a stop: the session's fields after REMOTEPLAYSTOP answered
    // `result` for `playHandle`. UI thread.
    void finishStop(std::int32_t result, std::uint32_t playHandle);

    // Sound. UI thread.
    // Window slot i becomes the one heard.
    void selectSoundWindow(int slot);
    // The mute button: sound off, or on again for the window heard.
    void toggleMute();
    // The volume slider: only while a decoder is known; unmutes.
    void setVolume(int volume);

    IPlaybackLibrary& library() { return m_library; }
    // Fetches the stream's decoder: true when one was given. UI thread.
    bool getDecoder();

    // State. UI thread (playHandle() any thread).
    int playState() const { return m_playState; }
    int speed() const { return m_speed; }
    bool frameDropMode() const { return m_frameDrop; }
    std::uint32_t playHandle() const { return m_playHandle.load(); }
    std::uint32_t sessionDecoder() const { return m_sessionDecoder; }
    std::uint32_t channelMask() const { return m_channelMask; }
    int channelCount() const { return m_channelCount; }
    std::uint32_t recordType() const { return m_recordType; }
    std::uint32_t deviceHandle() const { return m_deviceHandle; }
    bool firstDataArrived() const { return m_firstData; }
    std::uint64_t callbackCount() const { return m_callbackCount; }
    const platform::DateTime& clock() const { return m_clock; }
    int soundWindow() const { return m_soundWindow; }
    int volume() const { return m_volume; }
    bool muted() const { return m_muted; }
    bool singleFrameSilence() const { return m_singleFrameSilence; }
    std::uint32_t generation() const { return m_generation; }
    // The window of a slot (nullptr when the slot is empty or out of range).
    IPlaybackWindow* window(int slot) const;

private:
    void open(const platform::DateTime& start);
    void onFirstData();
    void leaveFrameDropMode();
    // Speed 1 in the decoder; when it refuses, the session stops (false).
    bool backToNormalSpeed();
    // The decoder runs again after a pause or a single frame; when it
    // cannot, the session stops (false).
    bool resumeDecoder();
    void releaseWindows();
    // Sound on (unless muted) for the window heard, with the volume.
    void soundOnForSoundWindow();
    void soundOffForSoundWindow();
    void restoreSoundAfterSingleFrame();
    void sendLose(std::uint32_t value);
    // Status and progress lines: a language key looked up, or a literal.
    void statusKey(const char* key);
    void statusLiteral(const QString& text);
    void progressKey(const char* key);
    void progressClear();
    void restartWatchdog();

    IPlaybackLibrary& m_library;
    IPlaybackBarView& m_bar;
    std::atomic<platform::WindowHandle> m_barHandle{0};

    std::uint32_t m_deviceHandle = 0;
    std::uint32_t m_channelMask = 0;
    int m_channelCount = 0;
    // Taken with exchange() by whoever closes the stream (UI thread or a
    // stop worker), so that only one of them sends REMOTEPLAYSTOP.
    std::atomic<std::uint32_t> m_playHandle{0};
    std::uint32_t m_decoder = 0;
    std::uint32_t m_sessionDecoder = 0;
    std::array<IPlaybackWindow*, kSlots> m_windows{};
    int m_playState = kStopped;
    int m_speed = 1;
    bool m_frameDrop = false;
    std::uint32_t m_streamType = 1;
    std::uint32_t m_recordType = 2;
    bool m_firstData = false;
    // A seek was sent and its first data has not come yet: frame times still
    // queued from before the seek must not move the clock back.
    bool m_seekPending = false;
    // The first frame time since the open or the last seek was written to
    // the debug output.
    bool m_frameTimeReported = false;
    std::uint64_t m_callbackCount = 0;
    bool m_clockSync = true;
    platform::DateTime m_clock;
    // Counts streams opened and closed; a callback of another generation is
    // news of a stream that is gone.
    std::uint32_t m_generation = 0;
    int m_soundWindow = 0;
    int m_volume = 50;
    bool m_muted = false;
    bool m_singleFrameSilence = false;
};

}  // namespace playback
