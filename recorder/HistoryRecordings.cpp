// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryRecordings.h"

#include "MediaLibrary.h"

#include "proto/MediaFrame.h"

#include <algorithm>
#include <cstdio>

namespace velk::recorder {

namespace {

constexpr std::int64_t kMinuteMs = 60 * 1000;

// splitmix64: a small, fixed pseudo-random sequence from a seed.
class DayRandom {
public:
    explicit DayRandom(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // lo..hi inclusive
    std::int64_t between(std::int64_t lo, std::int64_t hi)
    {
        return lo + static_cast<std::int64_t>(next() % static_cast<std::uint64_t>(hi - lo + 1));
    }

private:
    std::uint64_t m_state;
};

std::uint64_t containerBytes(const EncodedPicture& picture)
{
    // Header, time item, video info item on key pictures, the picture.
    return media::kHeaderBytes + 12 + (picture.key ? 12 : 0) + picture.annexB.size();
}

class HistoryReader : public FrameReader {
public:
    HistoryReader(std::shared_ptr<const EncodedLoop> loop, std::vector<RecordSpan> spans, std::int64_t fromMs,
                  std::int64_t toMs)
        : m_loop(std::move(loop)), m_spans(std::move(spans)), m_fromMs(fromMs), m_toMs(toMs)
    {
        seek(fromMs);
    }

    bool seek(std::int64_t timeMs) override
    {
        timeMs = std::max(timeMs, m_fromMs);
        for (m_span = 0; m_span < m_spans.size(); ++m_span) {
            const RecordSpan& span = m_spans[m_span];
            if (timeMs < span.startMs) {
                m_frame = 0;
                return span.startMs < m_toMs;
            }
            if (timeMs < span.endMs) {
                m_frame = (timeMs - span.startMs) / kHistoryFrameMs;
                m_frame -= m_frame % static_cast<std::int64_t>(kHistoryKeyInterval);
                return true;
            }
        }
        m_frame = 0;
        return false;
    }

    std::optional<RecordedFrame> next() override
    {
        if (!settle() || !frameReady())
            return std::nullopt;
        const RecordSpan& span = m_spans[m_span];
        const std::int64_t timeMs = span.startMs + m_frame * kHistoryFrameMs;
        const std::size_t index = static_cast<std::size_t>(m_frame) % m_loop->frameCount();
        RecordedFrame frame;
        frame.timeMs = timeMs;
        frame.video = true;
        frame.key = m_loop->picture(index).key;
        frame.bytes = historyFrame(*m_loop, index, timeMs);
        ++m_frame;
        return frame;
    }

    bool frameReady() const override
    {
        if (!m_loop || m_span >= m_spans.size())
            return true;  // next() answers the end at once
        // Past its span's end the next frame is the next span's first,
        // loop picture 0.
        const RecordSpan& span = m_spans[m_span];
        const bool inSpan = span.startMs + m_frame * kHistoryFrameMs < span.endMs;
        const std::size_t index = inSpan ? static_cast<std::size_t>(m_frame) % m_loop->frameCount() : 0;
        return index < m_loop->readyCount() || m_loop->failed();
    }

    std::uint64_t damagedFrames() const override { return 0; }

    std::optional<FrameCount> countBefore(std::int64_t toMs) const override
    {
        FrameCount count;
        if (!m_loop)
            return count;  // no frames at all
        // Until the loop is complete its sizes are not all known (and an
        // encoder that gave up ends the walk early): walk it then.
        if (!m_loop->complete())
            return std::nullopt;
        const std::vector<std::uint64_t> prefix = loopPrefixBytes(*m_loop);
        // The bytes of a span's frames 0..frames-1: whole loops, then part of one.
        const std::uint64_t loopFrames = m_loop->frameCount();
        const auto bytesOf = [&](std::int64_t frames) {
            const auto n = static_cast<std::uint64_t>(frames);
            return (n / loopFrames) * prefix[loopFrames] + prefix[n % loopFrames];
        };
        const std::int64_t limit = std::min(toMs, m_toMs);
        std::int64_t first = m_frame;
        for (std::size_t i = m_span; i < m_spans.size(); ++i, first = 0) {
            const RecordSpan& span = m_spans[i];
            if (span.startMs + first * kHistoryFrameMs >= limit)
                break;
            // Frames k from first on with a time before the span's end and the limit.
            const std::int64_t end = std::min(span.endMs, limit);
            const std::int64_t past = (end - span.startMs + kHistoryFrameMs - 1) / kHistoryFrameMs;
            if (past <= first)
                continue;
            count.frames += static_cast<std::uint64_t>(past - first);
            count.bytes += bytesOf(past) - bytesOf(first);
        }
        return count;
    }

    std::optional<std::int64_t> peekTimeMs() override
    {
        if (!settle())
            return kNoMoreFrames;
        return m_spans[m_span].startMs + m_frame * kHistoryFrameMs;
    }

    AppendResult appendNext(std::int64_t toMs, std::string& out) override
    {
        if (!settle())
            return AppendResult::End;
        if (!frameReady())
            return AppendResult::NotReady;
        const std::int64_t timeMs = m_spans[m_span].startMs + m_frame * kHistoryFrameMs;
        if (timeMs >= toMs)
            return AppendResult::End;
        appendHistoryFrame(*m_loop, static_cast<std::size_t>(m_frame) % m_loop->frameCount(), timeMs, out);
        ++m_frame;
        return AppendResult::Appended;
    }

    AppendResult appendFrames(std::int64_t toMs, std::string& out, std::size_t untilBytes,
                              const FrameFraming& framing, std::uint64_t& frames) override
    {
        for (;;) {
            if (out.size() >= untilBytes)
                return AppendResult::Appended;
            if (!settle())
                return AppendResult::End;
            if (!frameReady())
                return AppendResult::NotReady;
            const std::int64_t timeMs = m_spans[m_span].startMs + m_frame * kHistoryFrameMs;
            if (timeMs >= toMs)
                return AppendResult::End;
            const std::size_t at = out.size();
            out.append(framing.headerBytes, '\0');
            appendHistoryFrame(*m_loop, static_cast<std::size_t>(m_frame) % m_loop->frameCount(), timeMs, out);
            framing.finish(out.data() + at, out.size() - at - framing.headerBytes);
            ++m_frame;
            ++frames;
        }
    }

private:
    // Moves past finished spans; false at the end of the walk (or when the
    // loop can give no pictures).
    bool settle()
    {
        if (!m_loop)
            return false;
        while (m_span < m_spans.size()) {
            const RecordSpan& span = m_spans[m_span];
            const std::int64_t timeMs = span.startMs + m_frame * kHistoryFrameMs;
            if (timeMs >= m_toMs) {
                m_span = m_spans.size();
                break;
            }
            if (timeMs < span.endMs) {
                const std::size_t index = static_cast<std::size_t>(m_frame) % m_loop->frameCount();
                // An encoder that gave up leaves pictures that never come.
                if (index >= m_loop->readyCount() && m_loop->failed()) {
                    m_span = m_spans.size();
                    break;
                }
                return true;
            }
            ++m_span;
            m_frame = 0;
        }
        return false;
    }

    std::shared_ptr<const EncodedLoop> m_loop;
    std::vector<RecordSpan> m_spans;
    const std::int64_t m_fromMs;
    const std::int64_t m_toMs;
    std::size_t m_span = 0;    // the span of the next frame
    std::int64_t m_frame = 0;  // the next frame's index in its span
};

}  // namespace

std::string historyFileName(std::uint32_t channel, std::int64_t startMs, RecordType type)
{
    const LocalDateTime t = toLocal(startMs);
    char text[64];
    std::snprintf(text, sizeof text, "history/ch%02u/%04d%02d%02d-%02d%02d%02d_%c", channel, t.date.year,
                  t.date.month, t.date.day, t.hour, t.minute, t.second, type == RecordType::Alarm ? 'A' : 'N');
    return text;
}

std::vector<RecordSpan> historyDaySpans(std::uint32_t channel, const LocalDate& date)
{
    const TimeRange day = dayRange(date);
    const std::int64_t dayMinutes = (day.endMs - day.startMs) / kMinuteMs;
    const std::uint64_t seed =
        (static_cast<std::uint64_t>(date.year * 10000 + date.month * 100 + date.day) << 8) | (channel & 0xFF);
    DayRandom random(seed);
    std::vector<RecordSpan> spans;
    std::int64_t minute = random.between(0, 119);
    while (minute < dayMinutes) {
        const bool alarm = random.next() % 4 == 0;
        const std::int64_t length = alarm ? random.between(1, 5) : random.between(20, 120);
        const std::int64_t end = std::min(minute + length, dayMinutes);
        RecordSpan span;
        span.channel = channel;
        span.startMs = day.startMs + minute * kMinuteMs;
        span.endMs = day.startMs + end * kMinuteMs;
        span.type = alarm ? RecordType::Alarm : RecordType::Normal;
        span.fileName = historyFileName(channel, span.startMs, span.type);
        spans.push_back(std::move(span));
        minute = end + random.between(5, 60);
    }
    return spans;
}

std::vector<RecordSpan> historySpans(std::uint32_t channel, int days, std::int64_t startMs)
{
    std::vector<RecordSpan> spans;
    if (days <= 0)
        return spans;
    const LocalDate today = toLocal(startMs).date;
    for (int d = -days; d <= 0; ++d) {
        for (RecordSpan& span : historyDaySpans(channel, addDays(today, d))) {
            if (span.startMs >= startMs)
                break;
            if (span.endMs > startMs) {
                const std::int64_t frames = (startMs - span.startMs) / kHistoryFrameMs;
                if (frames == 0)
                    break;
                span.endMs = span.startMs + frames * kHistoryFrameMs;
            }
            spans.push_back(std::move(span));
        }
    }
    return spans;
}

namespace {

media::FrameFields historyFrameFields(const EncodedLoop& loop, const EncodedPicture& picture, std::int64_t timeMs)
{
    media::FrameFields fields;
    fields.kind = picture.key ? media::MediaKind::VideoKey : media::MediaKind::VideoDelta;
    fields.channel = static_cast<std::uint8_t>(loop.channel());
    fields.streamType = 0;
    fields.time = media::FrameTime{static_cast<std::uint32_t>(timeMs / 1000), static_cast<std::uint32_t>(timeMs % 1000)};
    if (picture.key) {
        const StreamProfile& profile = loop.profile();
        fields.video = media::VideoInfo{static_cast<std::uint16_t>(profile.width),
                                        static_cast<std::uint16_t>(profile.height),
                                        static_cast<std::uint8_t>(profile.frameRate)};
    }
    return fields;
}

}  // namespace

std::vector<std::uint8_t> historyFrame(const EncodedLoop& loop, std::size_t index, std::int64_t timeMs)
{
    const EncodedPicture& picture = loop.picture(index);
    return media::buildFrame(historyFrameFields(loop, picture, timeMs), picture.annexB);
}

void appendHistoryFrame(const EncodedLoop& loop, std::size_t index, std::int64_t timeMs, std::string& out)
{
    const EncodedPicture& picture = loop.picture(index);
    media::appendFrame(out, historyFrameFields(loop, picture, timeMs), picture.annexB);
}

std::vector<std::uint64_t> loopPrefixBytes(const EncodedLoop& loop)
{
    std::vector<std::uint64_t> prefix(loop.frameCount() + 1, 0);
    for (std::size_t i = 0; i < loop.frameCount(); ++i)
        prefix[i + 1] = prefix[i] + containerBytes(loop.picture(i));
    return prefix;
}

HistoryRecordings::HistoryRecordings(std::vector<std::shared_ptr<const EncodedLoop>> loops, int days,
                                     std::int64_t startMs)
    : m_loops(std::move(loops)),
      m_days(days),
      m_startMs(startMs),
      m_prefixBytes(m_loops.size()),
      m_spans(m_loops.size())
{
}

std::uint64_t HistoryRecordings::spanBytes(std::uint32_t channel, std::int64_t frames) const
{
    if (channel >= m_loops.size() || !m_loops[channel] || !m_loops[channel]->complete() || frames <= 0)
        return 0;
    const EncodedLoop& loop = *m_loops[channel];
    std::vector<std::uint64_t>& prefix = m_prefixBytes[channel];
    if (prefix.empty())
        prefix = loopPrefixBytes(loop);
    const auto count = static_cast<std::uint64_t>(frames);
    const std::uint64_t loopFrames = loop.frameCount();
    return (count / loopFrames) * prefix[loopFrames] + prefix[count % loopFrames];
}

std::vector<RecordSpan> HistoryRecordings::spans(std::uint32_t channel, std::int64_t fromMs, std::int64_t toMs,
                                                 RecordTypeFilter filter) const
{
    std::vector<RecordSpan> result;
    if (channel >= m_loops.size() || !m_loops[channel])
        return result;
    // The channel's spans never change: made once (their local times and
    // names cost time-zone conversions, and every download's open looks
    // through all of them).
    std::optional<std::vector<RecordSpan>>& all = m_spans[channel];
    if (!all)
        all = historySpans(channel, m_days, m_startMs);
    for (const RecordSpan& span : *all) {
        if (span.endMs <= fromMs || span.startMs >= toMs || !typeMatches(filter, span.type))
            continue;
        result.push_back(span);
        result.back().bytes = spanBytes(channel, (span.endMs - span.startMs) / kHistoryFrameMs);
    }
    return result;
}

std::unique_ptr<FrameReader> HistoryRecordings::openReader(std::uint32_t channel, std::int64_t fromMs,
                                                           std::int64_t toMs, RecordTypeFilter filter) const
{
    if (channel >= m_loops.size())
        return nullptr;
    return openSpansReader(channel, spans(channel, fromMs, toMs, filter), fromMs, toMs);
}

std::unique_ptr<FrameReader> HistoryRecordings::openSpansReader(std::uint32_t channel, std::vector<RecordSpan> spans,
                                                                std::int64_t fromMs, std::int64_t toMs) const
{
    if (channel >= m_loops.size())
        return nullptr;
    return std::make_unique<HistoryReader>(m_loops[channel], std::move(spans), fromMs, toMs);
}

}  // namespace velk::recorder
