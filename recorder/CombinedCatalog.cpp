// SPDX-License-Identifier: GPL-3.0-or-later
#include "CombinedCatalog.h"

#include "MediaLibrary.h"

#include <algorithm>
#include <limits>

namespace velk::recorder {

namespace {

// A loop's worth of frames: a piece starting on such a boundary of its
// span shows the loop from its first (key) picture.
constexpr std::int64_t kLoopMs = kHistoryFrameMs * static_cast<std::int64_t>(MediaLibrary::kLoopFrames);

std::int64_t roundUp(std::int64_t value, std::int64_t origin, std::int64_t step)
{
    const std::int64_t offset = value - origin;
    return origin + (offset + step - 1) / step * step;
}

// Walks two readers of disjoint stretches of time together, earliest
// frame first.
class MergedReader : public FrameReader {
public:
    MergedReader(std::unique_ptr<FrameReader> first, std::unique_ptr<FrameReader> second)
    {
        m_sources[0].reader = std::move(first);
        m_sources[1].reader = std::move(second);
    }

    bool seek(std::int64_t timeMs) override
    {
        bool any = false;
        for (Source& source : m_sources) {
            source.pending.reset();
            source.ended = false;
            if (source.reader)
                any = source.reader->seek(timeMs) || any;
        }
        return any;
    }

    std::optional<RecordedFrame> next() override
    {
        if (!frameReady())
            return std::nullopt;
        Source* earliest = nullptr;
        for (Source& source : m_sources) {
            fill(source);
            if (source.pending && (!earliest || source.pending->timeMs < earliest->pending->timeMs))
                earliest = &source;
        }
        if (!earliest)
            return std::nullopt;
        std::optional<RecordedFrame> frame = std::move(earliest->pending);
        earliest->pending.reset();
        return frame;
    }

    bool frameReady() const override
    {
        for (const Source& source : m_sources)
            if (source.reader && !source.pending && !source.ended && !source.reader->frameReady())
                return false;
        return true;
    }

    std::uint64_t damagedFrames() const override
    {
        std::uint64_t damaged = 0;
        for (const Source& source : m_sources)
            damaged += source.reader ? source.reader->damagedFrames() : 0;
        return damaged;
    }

    std::optional<FrameCount> countBefore(std::int64_t toMs) const override
    {
        // The two stretches are disjoint: their counts add up.
        FrameCount count;
        for (const Source& source : m_sources) {
            if (source.pending)
                return std::nullopt;
            if (source.ended || !source.reader)
                continue;
            const auto part = source.reader->countBefore(toMs);
            if (!part)
                return std::nullopt;
            count.bytes += part->bytes;
            count.frames += part->frames;
        }
        return count;
    }

    AppendResult appendNext(std::int64_t toMs, std::string& out) override
    {
        if (!frameReady())
            return AppendResult::NotReady;
        // As next(): the earliest of the two (the first on a tie), but a
        // source that knows its next frame's time is not read ahead, so its
        // frame is built straight into out.
        Source* earliest = nullptr;
        std::int64_t earliestMs = 0;
        for (Source& source : m_sources) {
            std::int64_t timeMs = 0;
            if (!timeOf(source, timeMs))
                continue;
            if (!earliest || timeMs < earliestMs) {
                earliest = &source;
                earliestMs = timeMs;
            }
        }
        if (!earliest || earliestMs >= toMs)
            return AppendResult::End;
        if (!earliest->pending)
            return earliest->reader->appendNext(toMs, out);
        const std::vector<std::uint8_t>& bytes = earliest->pending->bytes;
        out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        earliest->pending.reset();
        return AppendResult::Appended;
    }

    AppendResult appendFrames(std::int64_t toMs, std::string& out, std::size_t untilBytes,
                              const FrameFraming& framing, std::uint64_t& frames) override
    {
        for (;;) {
            if (out.size() >= untilBytes)
                return AppendResult::Appended;
            if (!frameReady())
                return AppendResult::NotReady;
            std::int64_t times[2] = {kNoMoreFrames, kNoMoreFrames};
            for (int i = 0; i < 2; ++i)
                if (!timeOf(m_sources[i], times[i]))
                    times[i] = kNoMoreFrames;
            // As next(): the first source wins a tie.
            const int first = times[0] <= times[1] ? 0 : 1;
            Source& earliest = m_sources[first];
            if (times[first] == kNoMoreFrames || times[first] >= toMs)
                return AppendResult::End;
            if (earliest.pending) {
                const std::size_t at = out.size();
                out.append(framing.headerBytes, '\0');
                const std::vector<std::uint8_t>& bytes = earliest.pending->bytes;
                out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
                framing.finish(out.data() + at, bytes.size());
                earliest.pending.reset();
                ++frames;
                continue;
            }
            // A source that knows its times (and so does not read ahead):
            // its frames in one go, up to the other's next frame.
            const std::int64_t other = times[1 - first];
            const std::int64_t limit =
                std::min(toMs, first == 0 && other != kNoMoreFrames ? other + 1 : other);
            const AppendResult result = earliest.reader->appendFrames(limit, out, untilBytes, framing, frames);
            if (result != AppendResult::End)
                return result;
        }
    }

private:
    struct Source {
        std::unique_ptr<FrameReader> reader;
        std::optional<RecordedFrame> pending;  // read, not yet given out
        bool ended = false;
    };

    // The time of the source's next frame; false when it has none.
    static bool timeOf(Source& source, std::int64_t& timeMs)
    {
        if (!source.pending && !source.ended && source.reader) {
            if (const auto peeked = source.reader->peekTimeMs()) {
                if (*peeked == kNoMoreFrames) {
                    source.ended = true;
                    return false;
                }
                timeMs = *peeked;
                return true;
            }
        }
        fill(source);
        if (!source.pending)
            return false;
        timeMs = source.pending->timeMs;
        return true;
    }

    static void fill(Source& source)
    {
        if (source.pending || source.ended || !source.reader)
            return;
        source.pending = source.reader->next();
        source.ended = !source.pending;
    }

    Source m_sources[2];
};

}  // namespace

std::vector<RecordSpan> cutAround(const RecordSpan& history, const std::vector<RecordSpan>& covered)
{
    std::vector<RecordSpan> pieces;
    std::int64_t from = history.startMs;
    const auto addPiece = [&](std::int64_t start, std::int64_t end) {
        start = roundUp(start, history.startMs, kLoopMs);
        end = history.startMs + (end - history.startMs) / kHistoryFrameMs * kHistoryFrameMs;
        if (end <= start)
            return;
        RecordSpan piece = history;
        piece.startMs = start;
        piece.endMs = end;
        piece.bytes = 0;
        pieces.push_back(std::move(piece));
    };
    for (const RecordSpan& stored : covered) {
        if (stored.endMs <= from || stored.startMs >= history.endMs)
            continue;
        if (stored.startMs > from)
            addPiece(from, stored.startMs);
        from = std::max(from, stored.endMs);
    }
    if (from < history.endMs)
        addPiece(from, history.endMs);
    return pieces;
}

std::vector<RecordSpan> CombinedCatalog::historyPieces(std::uint32_t channel, std::int64_t fromMs, std::int64_t toMs,
                                                       RecordTypeFilter filter) const
{
    std::vector<RecordSpan> pieces;
    if (!m_history)
        return pieces;
    const std::vector<RecordSpan> history = m_history->spans(channel, fromMs, toMs, filter);
    if (history.empty())
        return history;
    std::vector<RecordSpan> covered;
    if (m_stored)
        covered = m_stored->spans(channel, history.front().startMs, history.back().endMs, RecordTypeFilter::All);
    for (const RecordSpan& span : history) {
        for (RecordSpan& piece : cutAround(span, covered)) {
            if (piece.endMs <= fromMs || piece.startMs >= toMs)
                continue;
            piece.bytes = m_history->spanBytes(channel, (piece.endMs - piece.startMs) / kHistoryFrameMs);
            pieces.push_back(std::move(piece));
        }
    }
    return pieces;
}

std::vector<RecordSpan> CombinedCatalog::spans(std::uint32_t channel, std::int64_t fromMs, std::int64_t toMs,
                                               RecordTypeFilter filter) const
{
    std::vector<RecordSpan> result = historyPieces(channel, fromMs, toMs, filter);
    if (m_stored) {
        std::vector<RecordSpan> stored = m_stored->spans(channel, fromMs, toMs, filter);
        result.insert(result.end(), std::make_move_iterator(stored.begin()), std::make_move_iterator(stored.end()));
    }
    std::stable_sort(result.begin(), result.end(),
                     [](const RecordSpan& a, const RecordSpan& b) { return a.startMs < b.startMs; });
    return result;
}

std::unique_ptr<FrameReader> CombinedCatalog::openReader(std::uint32_t channel, std::int64_t fromMs,
                                                         std::int64_t toMs, RecordTypeFilter filter) const
{
    std::unique_ptr<FrameReader> stored = m_stored ? m_stored->openReader(channel, fromMs, toMs, filter) : nullptr;
    std::unique_ptr<FrameReader> history;
    if (m_history && channel < m_history->channels())
        history = m_history->openSpansReader(channel, historyPieces(channel, fromMs, toMs, filter), fromMs, toMs);
    if (!stored && !history)
        return nullptr;
    if (!history)
        return stored;
    if (!stored)
        return history;
    auto merged = std::make_unique<MergedReader>(std::move(stored), std::move(history));
    merged->seek(fromMs);
    return merged;
}

}  // namespace velk::recorder
