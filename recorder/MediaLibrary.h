// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's synthetic media: one encoded loop per channel and stream
// type, made the first time a stream of it is opened and kept afterwards,
// and the sound loop. Encoder threads work through the loops being made in
// turn, one picture at a time, newest loop first, so that a new stream's
// first key picture is ready within milliseconds while older loops go on
// filling; every loop is encoded far faster than it is played, so streams
// never catch up with their encoder. Once encoded, streams cost almost
// nothing but copying bytes to sockets.
#pragma once

#include "AudioLoop.h"
#include "EncodedLoop.h"
#include "LoopEncoder.h"

#include <json/value.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace velk::recorder {

class MediaLibrary {
public:
    static constexpr std::size_t kLoopFrames = 250;  // 10 s at 25 frames a second
    static constexpr std::size_t kKeyInterval = 25;  // a key picture every second
    static constexpr std::size_t kPicturesPerTurn = 5;

    explicit MediaLibrary(unsigned encoderThreads = 2);
    ~MediaLibrary();

    MediaLibrary(const MediaLibrary&) = delete;
    MediaLibrary& operator=(const MediaLibrary&) = delete;

    // False when libavcodec cannot encode H.264; streams are then refused.
    bool canEncode() const { return m_canEncode && !m_threads.empty(); }

    // The loop of this channel and stream type, started on first use. Null
    // for an unknown stream type or when nothing can be encoded. I/O thread.
    std::shared_ptr<const EncodedLoop> loop(std::uint32_t channel, std::uint32_t streamType);
    const AudioLoop& audio() const { return m_audio; }

    // Loops made so far with their progress and size, for /sim/status. I/O thread.
    Json::Value status() const;

    // Stops and joins the encoder threads; unfinished loops stay as far as
    // they got and are marked failed. Not from an encoder thread.
    void stop();

private:
    struct Job {
        std::shared_ptr<EncodedLoop> loop;
        std::unique_ptr<LoopEncoder> encoder;  // made on the encoder thread
    };

    // Encoder thread.
    void runEncoder();

    const bool m_canEncode;
    const AudioLoop m_audio;
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::shared_ptr<EncodedLoop>> m_loops;  // I/O thread only

    std::mutex m_jobsLock;  // guards m_jobs and m_stopping
    std::condition_variable m_jobsChanged;
    std::deque<Job> m_jobs;  // loops still being encoded, next in turn first
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

}  // namespace velk::recorder
