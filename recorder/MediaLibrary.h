// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's synthetic media: one encoded loop per channel and stream
// type, made the first time a stream of it is opened and kept afterwards,
// and the sound loop. Encoder threads work through the loops being made in
// turn, one picture at a time, newest loop first, so that a new stream's
// first key picture is ready within milliseconds while older loops go on
// filling; every loop is encoded far faster than it is played, so streams
// never catch up with their encoder. Once encoded, streams cost almost
// nothing but copying bytes to sockets.
//
// A loop's pictures show its channel's overlay (masks, texts). When the
// overlay changes, the loops of that channel made so far are encoded again
// in the background, taking their turns with every other loop being made
// (so other channels' loops never wait for them), and each is swapped in
// when complete: loop() then gives the new one, and streams move over at
// their next key picture (StreamSender). Changes that come while a
// channel's loops are being encoded again coalesce into one more encoding
// with the newest overlay; nothing else queues up. Whoever still holds an
// old loop (the generated history, a stream until its next key picture)
// keeps it unchanged.
#pragma once

#include "AudioLoop.h"
#include "EncodedLoop.h"
#include "LoopEncoder.h"
#include "OverlaySettings.h"

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

    // The loop of this channel and stream type, started on first use with
    // the channel's overlay; the newest complete one once the overlay
    // changed. Null for an unknown stream type or when nothing can be
    // encoded. Any thread but the encoder threads (takes m_jobsLock briefly).
    std::shared_ptr<const EncodedLoop> loop(std::uint32_t channel, std::uint32_t streamType);

    // The channel's overlay for loops made from now on. When its masks or
    // texts differ from the last one, the channel's loops made so far are
    // encoded again (coalesced, see above); returns whether that happens.
    // The motion cells do not change pictures. Any thread but the encoder
    // threads.
    bool setOverlay(std::uint32_t channel, const OverlaySettings& overlay);
    const AudioLoop& audio() const { return m_audio; }

    // Loops made so far with their progress and size, whether one is being
    // encoded again and how many replacements were swapped in, for
    // /sim/status. Any thread but the encoder threads.
    Json::Value status() const;

    // Stops and joins the encoder threads; unfinished loops stay as far as
    // they got and are marked failed. Not from an encoder thread.
    void stop();

private:
    using Key = std::pair<std::uint32_t, std::uint32_t>;  // channel, stream type

    struct Job {
        Key key;
        std::shared_ptr<EncodedLoop> loop;
        OverlaySettings overlay;               // what its pictures show
        bool replacement = false;              // swapped in for the slot's loop when complete
        std::unique_ptr<LoopEncoder> encoder;  // made on the encoder thread
    };
    // One (channel, stream type): the loop streams play, and the one being
    // encoded again after an overlay change.
    struct Slot {
        std::shared_ptr<EncodedLoop> current;
        std::shared_ptr<EncodedLoop> next;
        bool again = false;         // the overlay changed again while next was encoded
        std::uint64_t reencodes = 0;  // replacements swapped in
    };

    // Encoder thread.
    void runEncoder();
    // Under m_jobsLock: starts encoding the slot's loop again.
    void startReplacement(const Key& key, Slot& slot);
    // Under m_jobsLock: a replacement finished (or failed).
    void finishReplacement(const Key& key, const std::shared_ptr<EncodedLoop>& loop);
    // Under m_jobsLock.
    OverlaySettings overlayOf(std::uint32_t channel) const;

    const bool m_canEncode;
    const AudioLoop m_audio;

    // Guards m_slots, m_overlays, m_jobs and m_stopping; held only to look
    // up or change them, never while encoding.
    mutable std::mutex m_jobsLock;
    std::condition_variable m_jobsChanged;
    std::map<Key, Slot> m_slots;
    std::map<std::uint32_t, OverlaySettings> m_overlays;  // channels whose overlay was set
    std::deque<Job> m_jobs;  // loops still being encoded, next in turn first
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

}  // namespace velk::recorder
