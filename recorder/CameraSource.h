// SPDX-License-Identifier: GPL-3.0-or-later
// One source address (a camera's main or sub stream, or a video file) on a
// thread of its own: connects, reads and hands on each access unit
// unchanged but for its framing (Annex B, key frames with their parameter
// sets first), stamped with the recorder's wall clock (FrameClock). A file
// plays in a loop in real time, its timestamps going on across each start
// again. When the source goes (a read error, the end of a network stream,
// nothing for 5 s, or it cannot be opened) the sink hears of the loss once
// and the source connects again after a pause that doubles from 1 s to 16 s,
// back to 1 s after 10 s of good pictures.
//
// Stopping never waits for the network: libavformat's interrupt callback
// sees the stop flag within about 100 ms, and every pause wakes for it.
#pragma once

#include "CameraFeed.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace velk::recorder {

class FrameClock;

// Where a source's frames and losses go. Called on the source's thread.
class CameraSourceSink {
public:
    virtual ~CameraSourceSink() = default;
    virtual void onSourceFrame(const CameraFormat& format, CameraFrame frame) = 0;
    virtual void onSourceLost(const std::string& reason) = 0;
};

struct CameraSourceSettings {
    std::uint32_t channel = 0;
    std::uint32_t streamType = 0;  // 0 main, 1 sub
    std::string address;           // for libavformat, with user and password
    std::string shownAddress;      // for logs and status: password hidden
    int openTimeoutMs = 5000;      // connecting, and reading the stream's format
    int silenceMs = 5000;          // no picture this long: lost
    int firstPauseMs = 1000;       // before connecting again after a loss, doubling...
    int longestPauseMs = 16000;    // ...up to this
    int steadyMs = 10000;          // pictures this long make the next pause the first again
    // One line per connection, loss and new attempt (never with a password).
    std::function<void(const std::string&)> log;
};

class CameraSource {
public:
    enum class State { Waiting, Live, Lost };

    struct Status {
        State state = State::Waiting;
        std::string lostReason;
        std::uint64_t reconnects = 0;  // connections tried again after a loss or a failure
        std::uint64_t frames = 0;
        std::uint64_t keyFrames = 0;
        std::uint64_t bytes = 0;
        CameraFormat format;           // of the last connection that gave pictures
    };

    CameraSource(CameraSourceSettings settings, CameraSourceSink& sink);
    ~CameraSource();
    CameraSource(const CameraSource&) = delete;
    CameraSource& operator=(const CameraSource&) = delete;

    void start();
    // Asks the thread to end without waiting for it.
    void requestStop();
    // Asks and waits for the thread to end.
    void stop();

    const CameraSourceSettings& settings() const { return m_settings; }
    Status status() const;

private:
    void run();
    // One connection: reads until the source is lost (the reason) or the
    // stop flag is set (empty). goodMs: how long it gave pictures.
    std::string connection(FrameClock& clock, std::int64_t& goodMs);
    // Waits until the time or the stop flag; false when stopping.
    bool pauseUntil(std::chrono::steady_clock::time_point until);
    void log(const std::string& line) const;

    const CameraSourceSettings m_settings;
    CameraSourceSink& m_sink;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    // Wakes pauses when stopping; with m_stop.
    std::mutex m_pauseLock;
    std::condition_variable m_wake;
    // Guards m_status: written by the source thread per frame, read by status().
    mutable std::mutex m_statusLock;
    Status m_status;
};

const char* stateName(CameraSource::State state);

}  // namespace velk::recorder
