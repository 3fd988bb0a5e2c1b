// SPDX-License-Identifier: GPL-3.0-or-later
// The generated history (its day pattern and its readers) and the combined
// catalog of stored recordings and history, with small fake loops and a
// fake stored catalog; the search API's arguments and answers over them.
#include "CombinedCatalog.h"
#include "DeviceTime.h"
#include "HistoryRecordings.h"
#include "SearchRoutes.h"
#include "StoredRecordings.h"

#include "proto/MediaFrame.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

using namespace velk::recorder;

namespace {

constexpr std::int64_t kMinuteMs = 60000;

// A complete main-stream loop of 250 small pictures (a key every 25th),
// picture i holding the byte i % 256 so that tests can tell them apart.
std::shared_ptr<const EncodedLoop> fakeLoop(std::uint32_t channel, std::size_t ready = 250)
{
    auto loop = std::make_shared<EncodedLoop>(channel, *streamProfile(0), 250);
    for (std::size_t i = 0; i < ready; ++i)
        loop->append(EncodedPicture{i % 25 == 0, std::vector<std::uint8_t>(i % 25 == 0 ? 40 : 10,
                                                                           static_cast<std::uint8_t>(i))});
    return loop;
}

std::vector<std::shared_ptr<const EncodedLoop>> fakeLoops(std::uint32_t channels)
{
    std::vector<std::shared_ptr<const EncodedLoop>> loops;
    for (std::uint32_t c = 0; c < channels; ++c)
        loops.push_back(fakeLoop(c));
    return loops;
}

// The loop picture a history frame carries.
int pictureOf(const RecordedFrame& frame)
{
    const auto view = media::parseFrame(frame.bytes);
    return view && !view->payload.empty() ? view->payload[0] : -1;
}

// Stored recordings of one frame every 40 ms from each span's start, a key
// frame every second; damaged frames none.
class FakeStored : public RecordingCatalog {
public:
    std::vector<RecordSpan> stored;

    std::vector<RecordSpan> spans(std::uint32_t channel, std::int64_t fromMs, std::int64_t toMs,
                                  RecordTypeFilter filter) const override
    {
        std::vector<RecordSpan> result;
        for (const RecordSpan& span : stored)
            if (span.channel == channel && span.endMs > fromMs && span.startMs < toMs && typeMatches(filter, span.type))
                result.push_back(span);
        return result;
    }

    std::unique_ptr<FrameReader> openReader(std::uint32_t channel, std::int64_t fromMs, std::int64_t toMs,
                                            RecordTypeFilter filter) const override
    {
        return std::make_unique<Reader>(spans(channel, fromMs, toMs, filter), toMs);
    }

private:
    class Reader : public FrameReader {
    public:
        Reader(std::vector<RecordSpan> spans, std::int64_t toMs) : m_spans(std::move(spans)), m_toMs(toMs) {}
        bool seek(std::int64_t t) override
        {
            for (m_span = 0; m_span < m_spans.size(); ++m_span) {
                if (t < m_spans[m_span].startMs) {
                    m_time = m_spans[m_span].startMs;
                    return true;
                }
                if (t < m_spans[m_span].endMs) {
                    m_time = m_spans[m_span].startMs + (t - m_spans[m_span].startMs) / 1000 * 1000;
                    return true;
                }
            }
            return false;
        }
        std::optional<RecordedFrame> next() override
        {
            while (m_span < m_spans.size() && m_time >= m_spans[m_span].endMs) {
                if (++m_span < m_spans.size())
                    m_time = m_spans[m_span].startMs;
            }
            if (m_span >= m_spans.size() || m_time >= m_toMs)
                return std::nullopt;
            RecordedFrame frame;
            frame.timeMs = m_time;
            frame.video = true;
            frame.key = (m_time - m_spans[m_span].startMs) % 1000 == 0;
            frame.bytes.assign(20, 0xEE);  // not a history frame
            m_time += 40;
            return frame;
        }
        std::uint64_t damagedFrames() const override { return 0; }

    private:
        std::vector<RecordSpan> m_spans;
        std::int64_t m_toMs;
        std::size_t m_span = 0;
        std::int64_t m_time = 0;
    };
};

class RecordingCatalogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("TZ"))
            m_oldZone = old;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override
    {
        if (m_oldZone)
            setenv("TZ", m_oldZone->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

    static std::int64_t at(int day, int hour, int minute, int second = 0)
    {
        return toMs(LocalDateTime{{2026, 12, day}, hour, minute, second});
    }

private:
    std::optional<std::string> m_oldZone;
};

RecordSpan storedSpan(std::uint32_t channel, std::int64_t start, std::int64_t end, RecordType type)
{
    RecordSpan span;
    span.channel = channel;
    span.startMs = start;
    span.endMs = end;
    span.type = type;
    span.fileName = "stored";
    span.bytes = 1;
    return span;
}


// A complete loop whose pictures all differ in size, so that a count that
// takes the wrong pictures comes out wrong.
std::shared_ptr<const EncodedLoop> unevenLoop(std::uint32_t channel)
{
    auto loop = std::make_shared<EncodedLoop>(channel, *streamProfile(0), 250);
    for (std::size_t i = 0; i < 250; ++i)
        loop->append(EncodedPicture{i % 25 == 0, std::vector<std::uint8_t>(1 + (i * 37) % 211 + (i % 25 == 0 ? 300 : 0),
                                                                           static_cast<std::uint8_t>(i))});
    return loop;
}

// What a download of the reader's frames before toMs sends, walked frame by
// frame with next(): the bytes and the count.
std::pair<std::string, FrameCount> walkBefore(FrameReader& reader, std::int64_t toMs)
{
    std::string bytes;
    FrameCount count;
    while (auto frame = reader.next()) {
        if (frame->timeMs >= toMs)
            break;
        bytes.append(frame->bytes.begin(), frame->bytes.end());
        count.bytes += frame->bytes.size();
        ++count.frames;
    }
    return {bytes, count};
}

// The same built in batches with appendFrames(), each frame behind a 4-byte
// length (checked, then dropped), batches of about budget bytes.
std::string framedBefore(FrameReader& reader, std::int64_t toMs, std::size_t budget)
{
    const FrameFraming framing{4, [](char* header, std::size_t frameBytes) {
                                   const auto n = static_cast<std::uint32_t>(frameBytes);
                                   std::memcpy(header, &n, 4);
                               }};
    std::string bytes;
    AppendResult result;
    do {
        std::string batch = "x";  // whatever the batch already holds stays
        std::uint64_t frames = 0;
        result = reader.appendFrames(toMs, batch, batch.size() + budget, framing, frames);
        EXPECT_NE(result, AppendResult::NotReady);
        EXPECT_EQ(batch.front(), 'x');
        std::size_t at = 1;
        std::uint64_t seen = 0;
        while (at < batch.size()) {
            std::uint32_t n = 0;
            std::memcpy(&n, batch.data() + at, 4);
            bytes.append(batch, at + 4, n);
            at += 4 + n;
            ++seen;
        }
        EXPECT_EQ(at, batch.size());
        EXPECT_EQ(seen, frames);
    } while (result == AppendResult::Appended);
    EXPECT_EQ(result, AppendResult::End);
    return bytes;
}

// The same built in place with appendNext().
std::string appendBefore(FrameReader& reader, std::int64_t toMs)
{
    std::string bytes;
    AppendResult result;
    while ((result = reader.appendNext(toMs, bytes)) == AppendResult::Appended) {
    }
    EXPECT_EQ(result, AppendResult::End);
    return bytes;
}

}  // namespace

TEST_F(RecordingCatalogTest, TheDayPatternIsFixedAndKeepsItsShape)
{
    for (const LocalDate date : {LocalDate{2026, 12, 7}, LocalDate{2024, 2, 29}, LocalDate{2031, 6, 15}}) {
        const TimeRange day = dayRange(date);
        int alarms = 0;
        for (std::uint32_t channel : {0u, 5u, 63u}) {
            const auto spans = historyDaySpans(channel, date);
            ASSERT_GE(spans.size(), 5u);
            // The same again, and another channel's differs.
            const auto again = historyDaySpans(channel, date);
            ASSERT_EQ(again.size(), spans.size());
            EXPECT_EQ(again.front().startMs, spans.front().startMs);
            EXPECT_NE(historyDaySpans(channel + 1, date).front().startMs +
                          historyDaySpans(channel + 1, date).back().startMs,
                      spans.front().startMs + spans.back().startMs);
            std::int64_t previousEnd = day.startMs;
            for (const RecordSpan& span : spans) {
                EXPECT_EQ(span.channel, channel);
                EXPECT_GE(span.startMs, day.startMs);
                EXPECT_LE(span.endMs, day.endMs);
                EXPECT_EQ((span.startMs - day.startMs) % kMinuteMs, 0);
                EXPECT_EQ((span.endMs - day.startMs) % kMinuteMs, 0);
                if (span.startMs != spans.front().startMs) {
                    EXPECT_GE(span.startMs - previousEnd, 5 * kMinuteMs);
                    EXPECT_LE(span.startMs - previousEnd, 60 * kMinuteMs);
                }
                const std::int64_t minutes = (span.endMs - span.startMs) / kMinuteMs;
                if (span.type == RecordType::Alarm) {
                    ++alarms;
                    EXPECT_TRUE(minutes >= 1 && minutes <= 5);
                } else if (span.endMs != day.endMs) {
                    EXPECT_TRUE(minutes >= 20 && minutes <= 120) << minutes;
                }
                EXPECT_EQ(span.fileName, historyFileName(channel, span.startMs, span.type));
                previousEnd = span.endMs;
            }
        }
        EXPECT_GT(alarms, 0);
    }
    EXPECT_EQ(historyFileName(3, at(7, 8, 15), RecordType::Normal), "history/ch03/20261207-081500_N");
    EXPECT_EQ(historyFileName(12, at(7, 23, 1, 5), RecordType::Alarm), "history/ch12/20261207-230105_A");
}

TEST_F(RecordingCatalogTest, HistoryRunsFromMidnightDaysAgoUpToTheStart)
{
    const std::int64_t start = at(8, 14, 0, 7) + 13;
    for (const int days : {1, 3}) {
        const auto spans = historySpans(2, days, start);
        ASSERT_FALSE(spans.empty());
        EXPECT_EQ(dayOf(spans.front().startMs).startMs, dayRange(LocalDate{2026, 12, 8 - days}).startMs);
        EXPECT_LE(spans.back().endMs, start);
        EXPECT_EQ((spans.back().endMs - spans.back().startMs) % 40, 0);
        std::size_t expected = 0;
        for (int d = -days; d <= 0; ++d)
            for (const RecordSpan& span : historyDaySpans(2, LocalDate{2026, 12, 8 + d}))
                expected += span.startMs < start ? 1 : 0;
        EXPECT_EQ(spans.size(), expected);
    }
    EXPECT_TRUE(historySpans(2, 0, start).empty());

    // The catalog: ranges, types, sizes of whole frames.
    const HistoryRecordings history(fakeLoops(4), 1, start);
    const TimeRange yesterday = dayRange(LocalDate{2026, 12, 7});
    const auto all = history.spans(1, yesterday.startMs, yesterday.endMs, RecordTypeFilter::All);
    EXPECT_EQ(all.size(), historyDaySpans(1, LocalDate{2026, 12, 7}).size());
    const auto alarms = history.spans(1, yesterday.startMs, yesterday.endMs, RecordTypeFilter::AlarmOnly);
    const auto normals = history.spans(1, yesterday.startMs, yesterday.endMs, RecordTypeFilter::NormalOnly);
    EXPECT_EQ(alarms.size() + normals.size(), all.size());
    for (const RecordSpan& span : alarms)
        EXPECT_EQ(span.type, RecordType::Alarm);
    // A minute: 1500 frames, 60 of them key frames (header, time item,
    // video item on keys, picture).
    const RecordSpan& alarm = alarms.front();
    const std::int64_t frames = (alarm.endMs - alarm.startMs) / 40;
    EXPECT_EQ(alarm.bytes, std::uint64_t(frames / 25) * (24 + 12 + 40) + std::uint64_t(frames - frames / 25) * (24 + 10));
    EXPECT_TRUE(history.spans(4, yesterday.startMs, yesterday.endMs, RecordTypeFilter::All).empty());
    EXPECT_FALSE(history.openReader(4, yesterday.startMs, yesterday.endMs, RecordTypeFilter::All));
}

TEST_F(RecordingCatalogTest, HistoryReaderSeeksToKeyFramesAndWalksSpans)
{
    const std::int64_t start = at(8, 12, 0);
    const HistoryRecordings history(fakeLoops(2), 1, start);
    const TimeRange day = dayRange(LocalDate{2026, 12, 7});
    const auto spans = history.spans(0, day.startMs, day.endMs, RecordTypeFilter::All);
    auto reader = history.openReader(0, day.startMs, day.endMs, RecordTypeFilter::All);
    ASSERT_TRUE(reader);

    // From the day's start: the first span's first frame, a key.
    auto frame = reader->next();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->timeMs, spans[0].startMs);
    EXPECT_TRUE(frame->key);
    EXPECT_EQ(pictureOf(*frame), 0);

    // Inside a span: the key at or before; frame k shows picture k % 250.
    const std::int64_t target = spans[1].startMs + 12 * 1000 + 880;  // frame 322
    ASSERT_TRUE(reader->seek(target));
    frame = reader->next();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->timeMs, spans[1].startMs + 12 * 1000);  // frame 300
    EXPECT_TRUE(frame->key);
    EXPECT_EQ(pictureOf(*frame), 50);
    const auto view = media::parseFrame(frame->bytes);
    ASSERT_TRUE(view && view->time && view->video);
    EXPECT_EQ(std::int64_t(view->time->seconds) * 1000 + view->time->milliseconds, frame->timeMs);
    EXPECT_EQ(view->channel, 0);
    EXPECT_EQ(view->video->width, 704);
    frame = reader->next();
    EXPECT_EQ(frame->timeMs, spans[1].startMs + 12 * 1000 + 40);
    EXPECT_FALSE(frame->key);

    // The last frame of a span, then the next span's first.
    ASSERT_TRUE(reader->seek(spans[1].endMs - 1));
    std::int64_t last = 0;
    for (;;) {
        frame = reader->next();
        ASSERT_TRUE(frame);
        if (frame->timeMs >= spans[2].startMs)
            break;
        last = frame->timeMs;
    }
    EXPECT_EQ(last, spans[1].endMs - 40);
    EXPECT_EQ(frame->timeMs, spans[2].startMs);

    // In a gap: the next span's start. After the last: nothing.
    ASSERT_TRUE(reader->seek(spans[2].endMs + 1000));
    EXPECT_EQ(reader->next()->timeMs, spans[3].startMs);
    EXPECT_FALSE(reader->seek(spans.back().endMs));
    EXPECT_FALSE(reader->next());

    // Alarm only: the reader skips the normal spans.
    auto alarms = history.openReader(0, day.startMs, day.endMs, RecordTypeFilter::AlarmOnly);
    const auto alarmSpans = history.spans(0, day.startMs, day.endMs, RecordTypeFilter::AlarmOnly);
    ASSERT_FALSE(alarmSpans.empty());
    EXPECT_EQ(alarms->next()->timeMs, alarmSpans.front().startMs);
}

TEST_F(RecordingCatalogTest, HistoryReaderWaitsForItsLoop)
{
    auto loop = std::make_shared<EncodedLoop>(0, *streamProfile(0), 250);
    const HistoryRecordings history({loop}, 1, at(8, 12, 0));
    const TimeRange day = dayRange(LocalDate{2026, 12, 7});
    const auto spans = history.spans(0, day.startMs, day.endMs, RecordTypeFilter::All);
    EXPECT_EQ(spans.front().bytes, 0u);  // unknown while encoding
    auto reader = history.openReader(0, day.startMs, day.endMs, RecordTypeFilter::All);
    EXPECT_FALSE(reader->frameReady());
    EXPECT_FALSE(reader->next());
    for (std::size_t i = 0; i < 30; ++i)
        loop->append(EncodedPicture{i % 25 == 0, {1}});
    ASSERT_TRUE(reader->frameReady());
    EXPECT_EQ(reader->next()->timeMs, spans.front().startMs);
    // Frame 255: from the key frame 250, picture 0, up to picture 30,
    // which is not there yet.
    reader->seek(spans.front().startMs + 255 * 40);
    EXPECT_TRUE(reader->frameReady());
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(reader->next());
    EXPECT_FALSE(reader->frameReady());
    // After a piece of 30 frames (cut short by a stored recording) the
    // next frame is the next piece's first, picture 0, which is ready.
    RecordSpan shortPiece = spans[0];
    shortPiece.endMs = shortPiece.startMs + 30 * 40;
    auto pieces = history.openSpansReader(0, {shortPiece, spans[1]}, day.startMs, day.endMs);
    for (int k = 0; k < 30; ++k)
        ASSERT_TRUE(pieces->next()) << k;
    EXPECT_TRUE(pieces->frameReady());
    EXPECT_EQ(pieces->next()->timeMs, spans[1].startMs);
    // An encoder that gave up ends the walk instead of waiting for ever.
    loop->markFailed();
    EXPECT_TRUE(reader->frameReady());
    EXPECT_FALSE(reader->next());
}

TEST_F(RecordingCatalogTest, StoredRecordingsWinOverTheHistoryTheyOverlap)
{
    const HistoryRecordings history(fakeLoops(2), 1, at(8, 12, 0));
    const TimeRange day = dayRange(LocalDate{2026, 12, 7});
    const auto spans = history.spans(0, day.startMs, day.endMs, RecordTypeFilter::All);
    const RecordSpan& h = spans[1];
    ASSERT_GE(h.endMs - h.startMs, 20 * kMinuteMs);

    FakeStored stored;
    // One inside the history span (cutting it in two), one across its end,
    // one of the other channel (no effect on channel 0).
    stored.stored.push_back(storedSpan(0, h.startMs + 5 * kMinuteMs + 1234, h.startMs + 7 * kMinuteMs + 5, RecordType::Alarm));
    stored.stored.push_back(storedSpan(0, h.endMs - 3 * kMinuteMs - 7, h.endMs + 2 * kMinuteMs, RecordType::Normal));
    stored.stored.push_back(storedSpan(1, day.startMs, day.endMs, RecordType::Normal));
    const CombinedCatalog combined(&stored, &history);

    const auto result = combined.spans(0, h.startMs, h.endMs, RecordTypeFilter::All);
    ASSERT_EQ(result.size(), 4u);
    // History up to the first stored span, cut on a whole frame.
    EXPECT_EQ(result[0].startMs, h.startMs);
    EXPECT_EQ(result[0].endMs, h.startMs + 5 * kMinuteMs + 1200);
    EXPECT_EQ(result[0].fileName, h.fileName);
    EXPECT_GT(result[0].bytes, 0u);
    EXPECT_EQ(result[1].fileName, "stored");
    // History again from the first whole 10 s of its span after the stored
    // one (its first loop picture, a key).
    EXPECT_EQ(result[2].startMs, h.startMs + 7 * kMinuteMs + 10000);
    EXPECT_EQ(result[2].endMs, h.endMs - 3 * kMinuteMs - 40);
    EXPECT_EQ(result[3].fileName, "stored");
    for (std::size_t i = 1; i < result.size(); ++i)
        EXPECT_LE(result[i - 1].endMs, result[i].startMs);
    // The stored spans cut history of every type; the filter picks the types.
    const auto alarms = combined.spans(0, h.startMs, h.endMs, RecordTypeFilter::AlarmOnly);
    ASSERT_EQ(alarms.size(), 1u);
    EXPECT_EQ(alarms[0].fileName, "stored");
    // Channel 1 is all stored.
    const auto other = combined.spans(1, day.startMs, day.endMs, RecordTypeFilter::All);
    ASSERT_EQ(other.size(), 1u);
    EXPECT_EQ(other[0].fileName, "stored");

    // Without stored recordings the history shows through unchanged.
    const CombinedCatalog historyOnly(nullptr, &history);
    EXPECT_EQ(historyOnly.spans(0, day.startMs, day.endMs, RecordTypeFilter::All).size(), spans.size());
    const CombinedCatalog nothing(nullptr, nullptr);
    EXPECT_TRUE(nothing.spans(0, day.startMs, day.endMs, RecordTypeFilter::All).empty());
    EXPECT_FALSE(nothing.openReader(0, day.startMs, day.endMs, RecordTypeFilter::All));
}

TEST_F(RecordingCatalogTest, TheCombinedReaderWalksBothInTimeOrder)
{
    const HistoryRecordings history(fakeLoops(1), 1, at(8, 12, 0));
    const TimeRange day = dayRange(LocalDate{2026, 12, 7});
    const RecordSpan h = history.spans(0, day.startMs, day.endMs, RecordTypeFilter::All)[1];
    FakeStored stored;
    const std::int64_t storedStart = h.startMs + 2 * kMinuteMs + 500;
    const std::int64_t storedEnd = h.startMs + 3 * kMinuteMs + 20;
    stored.stored.push_back(storedSpan(0, storedStart, storedEnd, RecordType::Alarm));
    const CombinedCatalog combined(&stored, &history);
    auto reader = combined.openReader(0, day.startMs, day.endMs, RecordTypeFilter::All);
    ASSERT_TRUE(reader);

    // From 10 s before the stored span: history up to it, the stored span,
    // history again from its next whole 10 s, on a key picture 0.
    ASSERT_TRUE(reader->seek(storedStart - 10000));
    std::int64_t previous = 0;
    std::map<std::string, int> counts;
    std::optional<RecordedFrame> firstHistoryAfter;
    for (;;) {
        auto frame = reader->next();
        ASSERT_TRUE(frame);
        ASSERT_GT(frame->timeMs, previous);
        previous = frame->timeMs;
        const bool fromStored = frame->bytes.front() == 0xEE;
        if (frame->timeMs < storedStart) {
            EXPECT_FALSE(fromStored);
        } else if (frame->timeMs < storedEnd) {
            EXPECT_TRUE(fromStored) << frame->timeMs - storedStart;
        } else {
            EXPECT_FALSE(fromStored);
            firstHistoryAfter = frame;
            break;
        }
        ++counts[fromStored ? "stored" : "history"];
    }
    // From the key frame 10.5 s before the stored span up to the last
    // whole frame before it.
    EXPECT_EQ(counts["history"], 262);
    EXPECT_EQ(counts["stored"], (storedEnd - storedStart + 39) / 40);
    EXPECT_EQ(firstHistoryAfter->timeMs, h.startMs + 3 * kMinuteMs + 10000);
    EXPECT_TRUE(firstHistoryAfter->key);
    EXPECT_EQ(pictureOf(*firstHistoryAfter), 0);

    // A seek into the stored span lands on its key frame at or before.
    ASSERT_TRUE(reader->seek(storedStart + 1700));
    const auto frame = reader->next();
    EXPECT_EQ(frame->timeMs, storedStart + 1000);
    EXPECT_EQ(frame->bytes.front(), 0xEE);
}

TEST_F(RecordingCatalogTest, ClipCountsAndInPlaceFramesMatchAFrameByFrameWalk)
{
    const HistoryRecordings history({unevenLoop(0)}, 1, at(8, 12, 0));
    const TimeRange day = dayRange(LocalDate{2026, 12, 7});
    const auto spans = history.spans(0, day.startMs, day.endMs, RecordTypeFilter::All);
    ASSERT_GE(spans.size(), 3u);
    const RecordSpan& s = spans[1];
    const std::int64_t loopMs = 250 * 40;
    struct Range {
        const char* what;
        std::int64_t fromMs, toMs;  // the reader is seeked to fromMs; frames before toMs
        std::int64_t openFrom, openTo;  // the reader's own range
    };
    const std::vector<Range> ranges = {
        {"the whole span", s.startMs, s.endMs, s.startMs, s.endMs},
        {"mid-loop to mid-loop, across many loops", s.startMs + 3 * loopMs + 7 * 40 + 13, s.startMs + 40 * loopMs + 123 * 40 + 1,
         s.startMs, s.endMs},
        {"one frame (a key)", s.startMs + 25 * 40, s.startMs + 25 * 40 + 1, s.startMs, s.endMs},
        {"one second inside a loop", s.startMs + 1000, s.startMs + 2000, s.startMs, s.endMs},
        {"up to the span's last frame", s.endMs - 5 * loopMs - 3, s.endMs - 40 + 1, s.startMs, s.endMs},
        {"past the span's end", s.endMs - 3000, s.endMs + 60000, s.startMs, s.endMs},
        {"before the span's start", s.startMs - 60000, s.startMs + 4321, s.startMs, s.endMs},
        {"the end beyond the reader's own", s.startMs + 100, s.endMs + 1000, s.startMs, s.startMs + 2 * loopMs + 80},
        {"several spans with gaps", spans[0].startMs + 555, spans[2].startMs + 77 * 40, day.startMs, day.endMs},
        {"nothing: the end before the first frame", s.startMs + 2000, s.startMs + 500, s.startMs, s.endMs},
        {"nothing: after the last span", spans.back().endMs, day.endMs, day.startMs, day.endMs},
    };
    // The history alone, and beside stored recordings that have nothing in
    // the range (a recorder's own store).
    const StoredRecordings noneStored(std::filesystem::temp_directory_path() / "velk-no-recordings", 16);
    const CombinedCatalog alone(nullptr, &history);
    const CombinedCatalog beside(&noneStored, &history);
    for (const RecordingCatalog* catalog : {static_cast<const RecordingCatalog*>(&history),
                                             static_cast<const RecordingCatalog*>(&alone),
                                             static_cast<const RecordingCatalog*>(&beside)}) {
        for (const Range& range : ranges) {
            SCOPED_TRACE(range.what);
            auto counter = catalog->openReader(0, range.openFrom, range.openTo, RecordTypeFilter::All);
            auto walker = catalog->openReader(0, range.openFrom, range.openTo, RecordTypeFilter::All);
            auto builder = catalog->openReader(0, range.openFrom, range.openTo, RecordTypeFilter::All);
            ASSERT_TRUE(counter && walker && builder);
            counter->seek(range.fromMs);
            walker->seek(range.fromMs);
            builder->seek(range.fromMs);
            const auto counted = counter->countBefore(range.toMs);
            const auto [walkedBytes, walked] = walkBefore(*walker, range.toMs);
            ASSERT_TRUE(counted);
            EXPECT_EQ(counted->frames, walked.frames);
            EXPECT_EQ(counted->bytes, walked.bytes);
            EXPECT_EQ(counted->bytes, walkedBytes.size());
            // Counting leaves the reader where it was: it builds the same,
            // frame by frame or in batches of any size.
            const std::string built = appendBefore(*counter, range.toMs);
            EXPECT_EQ(built, walkedBytes);
            for (const std::size_t budget : {std::size_t(1), std::size_t(5000), std::size_t(1) << 28}) {
                auto batcher = catalog->openReader(0, range.openFrom, range.openTo, RecordTypeFilter::All);
                batcher->seek(range.fromMs);
                EXPECT_EQ(framedBefore(*batcher, range.toMs, budget), walkedBytes) << budget;
            }
            // Mixed: a few frames by next(), the rest built in place.
            std::uint64_t taken = 0;
            std::string takenBytes;
            for (int i = 0; i < 3; ++i) {
                const auto frame = builder->next();
                if (!frame || frame->timeMs >= range.toMs)
                    break;
                takenBytes.append(frame->bytes.begin(), frame->bytes.end());
                ++taken;
            }
            const auto rest = builder->countBefore(range.toMs);
            ASSERT_TRUE(rest);
            EXPECT_EQ(rest->frames, walked.frames - taken);
            EXPECT_EQ(takenBytes + appendBefore(*builder, range.toMs), walkedBytes);
        }
    }
    const auto whole = history.openReader(0, s.startMs, s.endMs, RecordTypeFilter::All);
    EXPECT_EQ(whole->countBefore(s.endMs)->bytes, s.bytes);
}

TEST_F(RecordingCatalogTest, ClipCountsWalkWhereTheyCannotBeComputed)
{
    // A loop still being encoded: the sizes are not all known yet.
    auto loop = std::make_shared<EncodedLoop>(0, *streamProfile(0), 250);
    for (std::size_t i = 0; i < 30; ++i)
        loop->append(EncodedPicture{i % 25 == 0, {1, 2, 3}});
    const HistoryRecordings encoding({loop}, 1, at(8, 12, 0));
    const TimeRange day = dayRange(LocalDate{2026, 12, 7});
    auto reader = encoding.openReader(0, day.startMs, day.endMs, RecordTypeFilter::All);
    EXPECT_FALSE(reader->countBefore(day.endMs));
    // Building in place waits for the loop as next() does.
    std::string out;
    for (int i = 0; i < 30; ++i)
        ASSERT_EQ(reader->appendNext(day.endMs, out), AppendResult::Appended) << i;
    EXPECT_EQ(reader->appendNext(day.endMs, out), AppendResult::NotReady);

    // Stored frames in the range: the combined reader cannot count them
    // without reading, but builds the same bytes in the same order as next().
    const HistoryRecordings history({unevenLoop(0)}, 1, at(8, 12, 0));
    const RecordSpan h = history.spans(0, day.startMs, day.endMs, RecordTypeFilter::All)[1];
    FakeStored stored;
    stored.stored.push_back(storedSpan(0, h.startMs + 2 * kMinuteMs + 500, h.startMs + 3 * kMinuteMs + 20, RecordType::Alarm));
    const CombinedCatalog combined(&stored, &history);
    const std::int64_t from = h.startMs + kMinuteMs + 3;
    const std::int64_t to = h.startMs + 5 * kMinuteMs + 7;
    auto counter = combined.openReader(0, day.startMs, day.endMs, RecordTypeFilter::All);
    auto walker = combined.openReader(0, day.startMs, day.endMs, RecordTypeFilter::All);
    counter->seek(from);
    walker->seek(from);
    EXPECT_FALSE(counter->countBefore(to));
    const auto [walkedBytes, walked] = walkBefore(*walker, to);
    const std::string built = appendBefore(*counter, to);
    EXPECT_EQ(built.size(), walked.bytes);
    EXPECT_EQ(built, walkedBytes);
    for (const std::size_t budget : {std::size_t(1), std::size_t(3000), std::size_t(1) << 28}) {
        auto batcher = combined.openReader(0, day.startMs, day.endMs, RecordTypeFilter::All);
        batcher->seek(from);
        EXPECT_EQ(framedBefore(*batcher, to, budget), walkedBytes) << budget;
    }
    EXPECT_NE(built.find(std::string(20, '\xEE')), std::string::npos);
}

TEST_F(RecordingCatalogTest, SearchArgumentsAreCheckedStrictly)
{
    std::string error;
    const auto days = readSearchArguments("month=2026-12&channel=3&type=alarm", true, 4, error);
    ASSERT_TRUE(days) << error;
    EXPECT_EQ(days->date, (LocalDate{2026, 12, 1}));
    EXPECT_EQ(days->channel, 3u);
    EXPECT_EQ(days->filter, RecordTypeFilter::AlarmOnly);
    const auto date = readSearchArguments("type=normal&date=2026-12-%30%38", false, 4, error);
    ASSERT_TRUE(date) << error;
    EXPECT_EQ(date->date, (LocalDate{2026, 12, 8}));
    EXPECT_FALSE(date->channel);
    EXPECT_EQ(date->filter, RecordTypeFilter::NormalOnly);

    struct Case {
        const char* query;
        bool month;
        const char* errorPart;
    };
    for (const Case& c : {Case{"", true, "month"}, Case{"month=2026-13", true, "month"},
                          Case{"month=2026-12-01", true, "month"}, Case{"date=2026-12", true, "month"},
                          Case{"month=2026-12&channel=4", true, "channel"}, Case{"month=2026-12&channel=03x", true, "channel"},
                          Case{"month=2026-12&channel=", true, "channel"}, Case{"month=2026-12&channel=%ZZ", true, "channel"},
                          Case{"month=2026-12&channel=4294967296", true, "channel"},
                          Case{"month=2026-12&type=All", true, "type"}, Case{"date=2026-02-30", false, "date"},
                          Case{"date=2026-12-08 ", false, "date"}, Case{"month=2026-12", false, "date"},
                          Case{"date=1969-12-31", false, "date"}}) {
        error.clear();
        EXPECT_FALSE(readSearchArguments(c.query, c.month, 4, error)) << c.query;
        EXPECT_NE(error.find(c.errorPart), std::string::npos) << c.query << ": " << error;
    }
}

TEST_F(RecordingCatalogTest, SearchAnswersListDaysAndSpans)
{
    FakeStored stored;
    // Channel 1: one span across the midnight into December 3rd, one on the
    // last day of November (not in December), one into January.
    stored.stored.push_back(storedSpan(1, at(2, 23, 50), at(3, 0, 10), RecordType::Normal));
    stored.stored.push_back(storedSpan(1, toMs(LocalDateTime{{2026, 11, 30}, 10, 0, 0}),
                                       toMs(LocalDateTime{{2026, 11, 30}, 11, 0, 0}), RecordType::Normal));
    stored.stored.push_back(storedSpan(1, at(31, 23, 0), toMs(LocalDateTime{{2027, 1, 1}, 1, 0, 0}), RecordType::Alarm));
    stored.stored.push_back(storedSpan(3, at(9, 8, 15), at(9, 8, 20), RecordType::Alarm));
    const CombinedCatalog catalog(&stored, nullptr);

    std::string error;
    const auto month = readSearchArguments("month=2026-12", true, 4, error);
    Json::Value days = daysAnswer(catalog, 4, *month);
    EXPECT_EQ(days["month"].asString(), "2026-12");
    EXPECT_FALSE(days["days"].isMember("0"));
    ASSERT_EQ(days["days"]["1"].size(), 3u);
    EXPECT_EQ(days["days"]["1"][0].asInt(), 2);
    EXPECT_EQ(days["days"]["1"][1].asInt(), 3);
    EXPECT_EQ(days["days"]["1"][2].asInt(), 31);
    EXPECT_EQ(days["days"]["3"][0].asInt(), 9);
    const auto normal = readSearchArguments("month=2026-12&type=normal&channel=1", true, 4, error);
    days = daysAnswer(catalog, 4, *normal);
    EXPECT_EQ(days["days"].size(), 1u);
    EXPECT_EQ(days["days"]["1"].size(), 2u);

    const auto one = readSearchArguments("date=2026-12-09&channel=3", false, 4, error);
    const Json::Value spans = spansAnswer(catalog, 4, *one);
    EXPECT_EQ(spans["date"].asString(), "2026-12-09");
    EXPECT_EQ(spans["channel"].asUInt(), 3u);
    ASSERT_EQ(spans["spans"].size(), 1u);
    EXPECT_EQ(spans["spans"][0]["start"].asString(), "2026-12-09 08:15:00");
    EXPECT_EQ(spans["spans"][0]["end"].asString(), "2026-12-09 08:20:00");
    EXPECT_EQ(spans["spans"][0]["startMs"].asInt64(), at(9, 8, 15));
    EXPECT_EQ(spans["spans"][0]["type"].asString(), "alarm");
    EXPECT_EQ(spans["spans"][0]["file"].asString(), "stored");
    EXPECT_EQ(spans["spans"][0]["size"].asUInt64(), 1u);
    const auto all = readSearchArguments("date=2026-12-03", false, 4, error);
    const Json::Value every = spansAnswer(catalog, 4, *all);
    EXPECT_EQ(every["channels"].size(), 4u);
    EXPECT_EQ(every["channels"]["1"].size(), 1u);
    EXPECT_EQ(every["channels"]["0"].size(), 0u);
}
