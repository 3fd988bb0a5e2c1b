// SPDX-License-Identifier: GPL-3.0-or-later
// One open playback on a media connection: the recorded frames of its
// channels from a start time to the end of the start's local day, merged
// in time order (one FrameReader per channel), sent as fast as the client
// takes them. It keeps under 256 KiB queued on the connection and sends
// more each time a write completes (TCP back-pressure, never a fixed
// rate): pacing is the player's job. When every channel's frames of the day
// are sent, a playbackEnd notification; a seek starts everything again from
// another time (after a `seeked` marker); key frames only on request (fast
// play). While a reader's source is still being made (the history's loop
// not encoded that far) it looks again on a short timer. Runs on the
// recorder's I/O thread.
#pragma once

#include "RecordingCatalog.h"
#include "StreamSender.h"

#include <boost/asio.hpp>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace velk::recorder {

struct PlaybackCounters {
    std::uint64_t framesSent = 0;
    std::uint64_t keyFrames = 0;
    std::uint64_t bytes = 0;
    std::int64_t positionMs = 0;  // time of the last frame sent (0: none yet)
    std::uint64_t seeks = 0;
    std::uint64_t waits = 0;  // looks again later: a source not ready yet
};

class PlaybackSender : public std::enable_shared_from_this<PlaybackSender> {
public:
    // What the playback keeps queued on its connection at most (plus the
    // frame that crossed it).
    static constexpr std::size_t kQueueLimitBytes = 256 * 1024;

    // formats: what each channel's pictures are expected to be (the open
    // answer's), in the order of channels.
    PlaybackSender(boost::asio::any_io_executor executor, const RecordingCatalog* catalog, StreamSink& sink,
                   std::vector<std::uint32_t> channels, std::vector<proto::StreamInfo> formats,
                   RecordTypeFilter filter, std::int64_t startMs);

    // Sends the channels' video properties, then frames. A key frame whose
    // video info says another size or codec than the channel's last video
    // property (a camera's recordings, a camera replaced) gets a new video
    // property first.
    void start();
    // Starts again from timeMs: `seeked` {id: requestId} first, then frames
    // of the new time (or playbackEnd when the day has none after it).
    void seek(std::int64_t timeMs, std::uint32_t requestId);
    void setKeyFramesOnly(bool on);
    // Sends nothing for this long: `buffering` now, `buffered` after.
    void stall(std::chrono::milliseconds duration);
    // The connection wrote something: sends more while under the limit.
    void writable();
    // Ends the playback: nothing more is sent; the sink is not touched again.
    void stop();

    const std::vector<std::uint32_t>& channels() const;
    const PlaybackCounters& counters() const { return m_counters; }
    bool ended() const { return m_endSent; }
    bool stalled() const { return m_stalled; }

private:
    struct Lane {
        std::uint32_t channel = 0;
        std::unique_ptr<FrameReader> reader;  // null: nothing recorded
        proto::StreamInfo announced;          // the last video property sent
        std::optional<RecordedFrame> pending;  // read, not yet sent
        bool ended = false;
    };

    void pump();
    // Reads the lane's next frame (a key frame when only those are sent);
    // false when its reader is not ready yet.
    bool fill(Lane& lane);
    void sendFrame(Lane& lane);
    // Before a key frame: a video property when its format is new to the lane.
    void announceFormat(Lane& lane, const RecordedFrame& frame);
    void retryLater();
    void onStallEnd();

    boost::asio::steady_timer m_retryTimer;
    boost::asio::steady_timer m_stallTimer;
    bool m_retryScheduled = false;
    StreamSink* m_sink;  // null once stopped
    const RecordingCatalog* m_catalog;
    std::vector<std::uint32_t> m_channels;
    std::vector<proto::StreamInfo> m_formats;
    const RecordTypeFilter m_filter;
    std::int64_t m_startMs;
    std::int64_t m_dayEndMs = 0;  // the end of the start's local day
    std::vector<Lane> m_lanes;
    bool m_keyFramesOnly = false;
    bool m_stalled = false;
    std::chrono::steady_clock::time_point m_stalledUntil;
    bool m_endSent = false;
    bool m_pumping = false;  // pump() is on the stack
    std::uint16_t m_sequence = 0;
    PlaybackCounters m_counters;
};

}  // namespace velk::recorder
