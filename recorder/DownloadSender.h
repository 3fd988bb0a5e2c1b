// SPDX-License-Identifier: GPL-3.0-or-later
// One open clip download on a media connection: the recorded frames of one
// recording (a span, named by its device file name) within a time range,
// from the key frame at or before the range's start, sent unchanged as the
// recorder holds them. It first counts the clip's bytes (the answer to
// openDownload carries the total): by arithmetic where the reader can
// (generated history), else by walking the clip once with a second reader;
// then it sends the frames, built straight into the outgoing batches, as
// fast as the client takes them (under 256 KiB queued, more after each
// write, as playback does; handed to the connection in batches of about
// 64 KiB), then a downloadEnd notification. Faults: a
// slow start (nothing, not even the answer, before a time), a failure once
// half the bytes are sent (downloadError, then the connection closes).
// Runs on the recorder's I/O thread.
#pragma once

#include "RecordingCatalog.h"
#include "StreamSender.h"

#include <boost/asio.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace velk::recorder {

class DownloadSender : public std::enable_shared_from_this<DownloadSender> {
public:
    static constexpr std::size_t kQueueLimitBytes = 256 * 1024;

    // Called once with the clip's size and frame count, before any frame
    // (the caller answers openDownload then).
    using Counted = std::function<void(std::uint64_t bytes, std::uint64_t frames)>;
    // Called when the download fails (the caller closes the connection).
    using Failed = std::function<void()>;

    DownloadSender(boost::asio::any_io_executor executor, const RecordingCatalog& catalog, StreamSink& sink,
                   RecordSpan span, std::int64_t fromMs, std::int64_t toMs);

    // Counts, answers through counted, then sends. Nothing happens before
    // notBefore (the slow-start fault).
    void start(std::chrono::steady_clock::time_point notBefore, Counted counted, Failed failed);
    // Fails once half of the clip's bytes are sent (at once when past that).
    void failMidway();
    // Sends at most this many bytes a second from now on (a slow link, a
    // sim fault); 0 sends as fast as the client reads.
    void setPace(std::uint64_t bytesPerSecond);
    // The connection wrote something: sends more while under the limit.
    void writable();
    // Ends the download: nothing more is sent; the sink is not touched again.
    void stop();

    std::uint32_t channel() const { return m_span.channel; }
    std::uint64_t totalBytes() const { return m_totalBytes; }
    std::uint64_t sentBytes() const { return m_sentBytes; }
    bool counted() const { return m_counted; }
    bool ended() const { return m_endSent; }

private:
    void count();
    // The clip is counted: answers, then sends.
    void counted();
    void pump();
    // True when the reader's next frame belongs to the clip (read into
    // frame); false at its end. nullopt: not ready yet, look again later.
    std::optional<bool> nextFrame(FrameReader& reader, RecordedFrame& frame);
    void retryLater(void (DownloadSender::*step)());
    // True while the paced download has sent all its time allows.
    bool aheadOfPace() const;
    void fail();

    boost::asio::steady_timer m_timer;
    StreamSink* m_sink;  // null once stopped
    const RecordingCatalog& m_catalog;
    const RecordSpan m_span;
    const std::int64_t m_fromMs;
    const std::int64_t m_toMs;  // exclusive
    std::unique_ptr<FrameReader> m_counter;  // while the clip is walked to count it
    bool m_walking = false;
    std::unique_ptr<FrameReader> m_reader;
    Counted m_onCounted;
    Failed m_onFailed;
    bool m_counted = false;
    bool m_endSent = false;
    bool m_failMidway = false;
    bool m_pumping = false;
    bool m_timerSet = false;
    std::uint64_t m_totalBytes = 0;
    std::uint64_t m_totalFrames = 0;
    std::uint64_t m_sentBytes = 0;
    // The pace: bytes a second (0: none), counted from when it was set.
    std::uint64_t m_paceBytesPerSecond = 0;
    std::chrono::steady_clock::time_point m_paceSince;
    std::uint64_t m_sentBeforePace = 0;
};

}  // namespace velk::recorder
