// SPDX-License-Identifier: GPL-3.0-or-later
// What the recorder has recorded, as searches and playback see it: spans of
// recorded video per channel, and readers that walk a channel's recorded
// frames in time order from any time. Two kinds of source stand behind it:
// the recordings the recorder stored on its disk, and the generated history
// of `--history-days` (made from the channel's encoded loop, retimed, never
// stored). Consumers (the search API, playback streams, downloads) use only
// this interface.
//
// Times are milliseconds since 1970-01-01 UTC, the recorder's wall clock,
// which is also what the time item of every recorded frame says.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velk::recorder {

enum class RecordType : std::uint8_t {
    Normal = 0,  // recorded by a normal period of the schedule
    Alarm = 1,   // recorded because an alarm or motion event was active
};

// Which record types a search or a playback takes.
enum class RecordTypeFilter : std::uint8_t {
    NormalOnly = 0,
    AlarmOnly = 1,
    All = 2,
};

inline bool typeMatches(RecordTypeFilter filter, RecordType type)
{
    return filter == RecordTypeFilter::All || (filter == RecordTypeFilter::NormalOnly && type == RecordType::Normal) ||
           (filter == RecordTypeFilter::AlarmOnly && type == RecordType::Alarm);
}

// One stretch of recording of one channel without a gap and of one type.
struct RecordSpan {
    std::uint32_t channel = 0;
    std::int64_t startMs = 0;  // time of its first frame
    std::int64_t endMs = 0;    // time of its last frame plus one frame interval
    RecordType type = RecordType::Normal;
    // The device file name a download names: relative, '/'-separated, never
    // absolute and never with "..".
    std::string fileName;
    std::uint64_t bytes = 0;  // size of its recorded frames
};

// One recorded frame: a whole container frame of the main stream (video,
// or sound when it was recorded), whose time item is the recorded time.
struct RecordedFrame {
    std::int64_t timeMs = 0;
    bool video = false;
    bool key = false;  // a video key frame (SPS, PPS, IDR)
    std::vector<std::uint8_t> bytes;
};

// How much a stretch of recorded frames holds.
struct FrameCount {
    std::uint64_t bytes = 0;  // their container frames' sizes summed
    std::uint64_t frames = 0;
    bool operator==(const FrameCount&) const = default;
};

// What FrameReader::appendNext did.
enum class AppendResult : std::uint8_t {
    Appended,  // the next frame's bytes were appended
    End,       // no frame before the limit: the walk is over
    NotReady,  // as frameReady() false: try again a little later
};

// How a caller wraps each frame a reader appends for it: room for a header
// before the frame, filled in once the frame's length is known.
struct FrameFraming {
    std::size_t headerBytes = 0;
    void (*finish)(char* header, std::size_t frameBytes) = nullptr;
};

// A time peekTimeMs() gives when the reader has no frame left.
inline constexpr std::int64_t kNoMoreFrames = INT64_MAX;

// Walks one channel's recorded frames in time order across its spans, of
// the types its filter takes, within the range it was opened on. Used on
// one thread at a time.
class FrameReader {
public:
    virtual ~FrameReader() = default;
    // Positions at the key frame at or before timeMs within the span that
    // holds timeMs; in a gap or before the first span, at the first key
    // frame after timeMs. False when nothing is recorded at or after it.
    virtual bool seek(std::int64_t timeMs) = 0;
    // The next frame; nothing at the end of the range. A damaged frame is
    // skipped (and counted), the walk goes on at the next good one.
    virtual std::optional<RecordedFrame> next() = 0;
    // False while the next frame's source is still being made (the
    // generated history's loop not encoded that far yet): next() then
    // answers nothing, and the caller tries again a little later rather
    // than wait. Stored recordings are always ready.
    virtual bool frameReady() const { return true; }
    // Frames skipped because they were damaged, since the reader was opened.
    virtual std::uint64_t damagedFrames() const = 0;

    // What next() would give from here on, of the frames before toMs, when
    // the reader can tell without reading them (the generated history once
    // its loop is complete: plain arithmetic); nothing when it cannot (the
    // caller then walks them). Leaves the reader where it is.
    virtual std::optional<FrameCount> countBefore(std::int64_t /*toMs*/) const { return std::nullopt; }
    // The time of the frame next() would give, when the reader knows it
    // without reading the frame (kNoMoreFrames at the end); nothing when it
    // does not.
    virtual std::optional<std::int64_t> peekTimeMs() { return std::nullopt; }
    // Appends the bytes of the frame next() would give to out and moves
    // past it, when it is there and its time is before toMs. A reader that
    // builds its frames builds them straight into out, without a
    // RecordedFrame of their own. After End the walk is over (the reader
    // may have moved past the frame it did not append).
    virtual AppendResult appendNext(std::int64_t toMs, std::string& out)
    {
        if (!frameReady())
            return AppendResult::NotReady;
        const auto frame = next();
        if (!frame || frame->timeMs >= toMs)
            return AppendResult::End;
        out.append(reinterpret_cast<const char*>(frame->bytes.data()), frame->bytes.size());
        return AppendResult::Appended;
    }
    // Appends frames as appendNext() does, one after another, each behind
    // its framing, until out holds at least untilBytes (Appended), or the
    // next frame is not before toMs (End) or not ready (NotReady). frames
    // counts those appended. A reader that builds its frames does so in a
    // tight loop, without a call per frame.
    virtual AppendResult appendFrames(std::int64_t toMs, std::string& out, std::size_t untilBytes,
                                      const FrameFraming& framing, std::uint64_t& frames)
    {
        for (;;) {
            if (out.size() >= untilBytes)
                return AppendResult::Appended;
            const std::size_t at = out.size();
            out.append(framing.headerBytes, '\0');
            const AppendResult result = appendNext(toMs, out);
            if (result != AppendResult::Appended) {
                out.resize(at);
                return result;
            }
            framing.finish(out.data() + at, out.size() - at - framing.headerBytes);
            ++frames;
        }
    }
};

class RecordingCatalog {
public:
    virtual ~RecordingCatalog() = default;
    // The channel's spans that overlap [fromMs, toMs), of the types the
    // filter takes, ordered by start; spans never overlap one another.
    virtual std::vector<RecordSpan> spans(std::uint32_t channel, std::int64_t fromMs, std::int64_t toMs,
                                          RecordTypeFilter filter) const = 0;
    // A reader of the channel's frames within [fromMs, toMs), positioned
    // at the start (as by seek(fromMs)). Null when the channel is unknown.
    virtual std::unique_ptr<FrameReader> openReader(std::uint32_t channel, std::int64_t fromMs, std::int64_t toMs,
                                                    RecordTypeFilter filter) const = 0;
};

}  // namespace velk::recorder
