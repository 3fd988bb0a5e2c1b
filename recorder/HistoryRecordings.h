// SPDX-License-Identifier: GPL-3.0-or-later
// The generated history of `--history-days N`: every channel has recordings
// from local midnight N days before the recorder's start day up to the
// moment it started, never stored on disk. Which spans a channel has on a
// day is a fixed function of (local date, channel), historyDaySpans(), so a
// test computes the same spans; their frames are the channel's main-stream
// loop retimed: frame k of a span has the time startMs + 40 * k and the
// loop's picture k mod 250 (a key picture every 25 frames, as in the loop),
// video only. The loops are the ones handed over at start and are kept for
// good: a later overlay change makes new loops for live streams, never
// for the history, whose sizes are counted over its own loop's frames.
//
// The day's pattern (pseudo-random, seeded by the date and the channel):
// starting 0..119 minutes after midnight, alternately a gap and a span; a
// span is an alarm span of 1..5 minutes one time in four, else a normal
// span of 20..120 minutes; gaps are 5..60 minutes; every boundary is on a
// whole minute of the local day, and the last span ends at the latest at
// the day's end. Runs on the recorder's I/O thread (readers on whichever
// thread uses them, one at a time).
#pragma once

#include "DeviceTime.h"
#include "EncodedLoop.h"
#include "RecordingCatalog.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velk::recorder {

inline constexpr std::int64_t kHistoryFrameMs = 40;
inline constexpr std::size_t kHistoryKeyInterval = 25;

// The spans channel has on date (whole, before the recorder's start time
// cuts anything off), ordered, with their device file names; bytes 0.
std::vector<RecordSpan> historyDaySpans(std::uint32_t channel, const LocalDate& date);

// The spans of a channel's history from local midnight `days` days before
// the day of startMs up to startMs: each day's spans, the one running at
// startMs cut at its last whole frame before it. Bytes 0.
std::vector<RecordSpan> historySpans(std::uint32_t channel, int days, std::int64_t startMs);

// "history/ch03/20261207-081500_N" (A for alarm): channel, local start.
std::string historyFileName(std::uint32_t channel, std::int64_t startMs, RecordType type);

class HistoryRecordings : public RecordingCatalog {
public:
    // loops[c] is channel c's main-stream loop (it may still be filling).
    // A null one: the channel has no generated history at all (a camera
    // channel, whose past is only what was recorded of it; or a recorder
    // that cannot encode, whose spans could show nothing).
    HistoryRecordings(std::vector<std::shared_ptr<const EncodedLoop>> loops, int days, std::int64_t startMs);

    int days() const { return m_days; }
    std::int64_t startMs() const { return m_startMs; }
    std::uint32_t channels() const { return static_cast<std::uint32_t>(m_loops.size()); }

    std::vector<RecordSpan> spans(std::uint32_t channel, std::int64_t fromMs, std::int64_t toMs,
                                  RecordTypeFilter filter) const override;
    std::unique_ptr<FrameReader> openReader(std::uint32_t channel, std::int64_t fromMs, std::int64_t toMs,
                                            RecordTypeFilter filter) const override;

    // A reader of these spans of the channel (a subset of its history, some
    // cut short, each starting on a whole 10 s of its span so its first
    // frame is the loop's first key picture), within [fromMs, toMs).
    std::unique_ptr<FrameReader> openSpansReader(std::uint32_t channel, std::vector<RecordSpan> spans,
                                                 std::int64_t fromMs, std::int64_t toMs) const;
    // The size of the container frames of a span of this many frames; 0
    // while the channel's loop is still being encoded.
    std::uint64_t spanBytes(std::uint32_t channel, std::int64_t frames) const;

private:
    std::vector<std::shared_ptr<const EncodedLoop>> m_loops;
    const int m_days;
    const std::int64_t m_startMs;
    // Per channel, the sizes of the loop's container frames summed up to
    // each picture (filled once the loop is complete). I/O thread.
    mutable std::vector<std::vector<std::uint64_t>> m_prefixBytes;
    // Per channel, its spans (bytes 0), made on first use. I/O thread.
    mutable std::vector<std::optional<std::vector<RecordSpan>>> m_spans;
};

// One frame of a history span: picture index % 250 of the loop, with the
// time item timeMs, as a container frame of the main stream.
std::vector<std::uint8_t> historyFrame(const EncodedLoop& loop, std::size_t index, std::int64_t timeMs);
// The same bytes appended to out (no allocation of their own).
void appendHistoryFrame(const EncodedLoop& loop, std::size_t index, std::int64_t timeMs, std::string& out);
// The sizes of a complete loop's container frames summed up to each
// picture: element i is the bytes of pictures 0..i-1 (frameCount() + 1
// elements).
std::vector<std::uint64_t> loopPrefixBytes(const EncodedLoop& loop);

}  // namespace velk::recorder
