// SPDX-License-Identifier: GPL-3.0-or-later
// The recording writer's thread: segments by length and type, starting at
// key frames; a write failure that ends a segment cleanly and a retry
// later; recovery at start; retention as segments finish.
#include "RecordingTestSupport.h"

#include "RecordingWriter.h"
#include "SegmentNames.h"
#include "StoredRecordings.h"

#include "proto/RecordFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

using namespace velk::recorder;
using namespace recordingtest;

namespace {

constexpr std::int64_t kT0 = 1796724900000;  // 2026-12-08 10:15:00 UTC

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

RecordingWriterSettings settingsFor(const TempFolder& folder, std::int64_t segmentMs = 2000)
{
    RecordingWriterSettings s;
    s.root = folder.path() / "recordings";
    s.segmentMs = segmentMs;
    s.retryMs = 100;
    s.syncIntervalMs = 50;
    return s;
}

// Frames at 25 a second from startMs, a key frame every second.
void pushFrames(RecordingWriter& writer, std::uint32_t channel, RecordType type, std::int64_t startMs, int count,
                int firstIndex = 0)
{
    for (int i = firstIndex; i < firstIndex + count; ++i) {
        const std::int64_t t = startMs + 40LL * i;
        const bool key = i % 25 == 0;
        ASSERT_TRUE(writer.push(channel, type, t, key, makeFrame(channel, t, key)));
    }
}

std::uint64_t framesWritten(const RecordingWriter& writer, std::uint32_t channel)
{
    const auto status = writer.status();
    const auto it = status.find(channel);
    return it == status.end() ? 0 : it->second.framesWritten;
}

}  // namespace

TEST(RecordingWriter, SegmentsEndByLengthAndTypeAndBeginWithKeyFrames)
{
    for (const std::int64_t segmentMs : {1000, 3000}) {
        TempFolder folder;
        StoredRecordings stored(folder.path());
        RecordingWriter writer(settingsFor(folder, segmentMs), stored.table());
        writer.start();
        ASSERT_TRUE(waitFor([&] { return writer.ready(); }));
        // Starts mid-second: the frames before the first key frame are dropped.
        pushFrames(writer, 1, RecordType::Normal, kT0, 150 - 10, 10);  // 0.4 s .. 6 s
        pushFrames(writer, 1, RecordType::Alarm, kT0, 50, 150);         // 6 s .. 8 s
        ASSERT_TRUE(waitFor([&] { return framesWritten(writer, 1) == 125 + 50; }));
        writer.finish(1);
        writer.stop();

        const auto spans = stored.spans(1, 0, kT0 + 3600000, RecordTypeFilter::All);
        const auto segmentsIn = [&](std::int64_t ms) { return static_cast<std::size_t>((ms + segmentMs - 1) / segmentMs); };
        const auto alarms = stored.spans(1, 0, kT0 + 3600000, RecordTypeFilter::AlarmOnly);
        ASSERT_EQ(spans.size(), segmentsIn(5000) + segmentsIn(2000)) << segmentMs;
        ASSERT_EQ(alarms.size(), segmentsIn(2000));
        EXPECT_EQ(spans.front().startMs, kT0 + 1000);
        for (std::size_t i = 0; i + 1 < spans.size(); ++i) {
            EXPECT_EQ(spans[i].endMs, spans[i + 1].startMs);
            EXPECT_EQ((spans[i].startMs - kT0) % 1000, 0);  // a key frame
            EXPECT_LE(spans[i].endMs - spans[i].startMs, segmentMs);
        }
        EXPECT_EQ(alarms.front().startMs, kT0 + 6000);
        EXPECT_EQ(alarms.back().endMs, kT0 + 8000);
        for (const auto& span : spans) {
            const auto bytes = readAll(stored.folder() / span.fileName);
            EXPECT_EQ(recordfile::parseHeader(bytes).state, recordfile::HeaderState::Valid) << span.fileName;
        }
        EXPECT_EQ(writer.status().at(1).framesDropped, 15u);
    }
}

TEST(RecordingWriter, WriteErrorEndsSegmentCleanlyAndRetriesLater)
{
    for (const int fault : {ENOSPC, EIO}) {
        TempFolder folder;
        StoredRecordings stored(folder.path());
        std::vector<std::string> log;
        std::mutex logLock;
        auto settings = settingsFor(folder, 60000);
        settings.log = [&](const std::string& line) {
            std::lock_guard lock(logLock);
            log.push_back(line);
        };
        RecordingWriter writer(settings, stored.table());
        writer.start();
        pushFrames(writer, 0, RecordType::Normal, kT0, 50);
        ASSERT_TRUE(waitFor([&] {
            const auto spans = stored.spans(0, 0, kT0 + 3600000, RecordTypeFilter::All);
            return !spans.empty() && spans[0].endMs == kT0 + 2000;
        }));

        writer.setFault(fault);
        pushFrames(writer, 0, RecordType::Normal, kT0, 50, 50);
        ASSERT_TRUE(waitFor([&] { return writer.status().at(0).writeErrors > 0 && !writer.status().at(0).recording; }));
        {
            const auto s = writer.status().at(0);
            EXPECT_EQ(s.writeErrors, 1u);
            EXPECT_NE(s.lastError.find(std::strerror(fault)), std::string::npos) << s.lastError;
            std::lock_guard lock(logLock);
            EXPECT_EQ(log.size(), 1u);  // one line, not one per frame
        }
        // What was flushed before stays, finished with a header.
        auto spans = stored.spans(0, 0, kT0 + 3600000, RecordTypeFilter::All);
        ASSERT_EQ(spans.size(), 1u);
        EXPECT_EQ(spans[0].endMs, kT0 + 2000);
        EXPECT_EQ(recordfile::parseHeader(readAll(stored.folder() / spans[0].fileName)).state,
                  recordfile::HeaderState::Valid);
        auto reader = stored.openReader(0, 0, kT0 + 3600000, RecordTypeFilter::All);
        int frames = 0;
        while (reader->next())
            ++frames;
        EXPECT_EQ(frames, 50);

        // Working again: a new segment after the retry time, at a key frame.
        writer.setFault(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));  // past the retry time
        pushFrames(writer, 0, RecordType::Normal, kT0, 50, 100);
        ASSERT_TRUE(waitFor([&] { return stored.spans(0, 0, kT0 + 3600000, RecordTypeFilter::All).size() == 2; }));
        writer.stop();
        spans = stored.spans(0, 0, kT0 + 3600000, RecordTypeFilter::All);
        EXPECT_EQ(spans[1].startMs, kT0 + 4000);
        EXPECT_EQ(writer.status().at(0).writeErrors, 1u);
    }
}

TEST(RecordingWriter, RecoversUnfinishedSegmentsAtStart)
{
    TempFolder folder;
    const auto root = folder.path() / "recordings";
    const std::string path = segmentRelativePath(2, kT0, RecordType::Normal);
    {
        std::string error;
        auto segment = SegmentWriter::create(root, path, 2, RecordType::Normal, nullptr, error);
        ASSERT_TRUE(segment);
        appendFrames(*segment, kT0, 75);
        // A crash: never finished.
    }
    StoredRecordings stored(folder.path());
    RecordingWriter writer(settingsFor(folder), stored.table());
    writer.start();
    ASSERT_TRUE(waitFor([&] { return writer.ready(); }));
    const auto segments = stored.table().channel(2);
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_TRUE(segments[0].finished);
    EXPECT_EQ(segments[0].endMs, kT0 + 3000);
    EXPECT_EQ(recordfile::parseHeader(readAll(root / path)).state, recordfile::HeaderState::Valid);
}

TEST(RecordingWriter, RetentionDeletesOldestAsSegmentsFinish)
{
    TempFolder folder;
    StoredRecordings stored(folder.path());
    auto settings = settingsFor(folder, 1000);
    const std::size_t segmentBytes = 25 * makeFrame(0, kT0, false).size();
    settings.retention.maxBytes = 3 * segmentBytes;  // about two finished segments and the open one
    RecordingWriter writer(settings, stored.table());
    writer.start();
    pushFrames(writer, 0, RecordType::Normal, kT0, 250);
    ASSERT_TRUE(waitFor([&] { return framesWritten(writer, 0) == 250; }));
    writer.stop();
    const auto spans = stored.spans(0, 0, kT0 + 3600000, RecordTypeFilter::All);
    ASSERT_GE(spans.size(), 1u);
    ASSERT_LE(spans.size(), 3u);
    EXPECT_EQ(spans.back().endMs, kT0 + 10000);  // the newest kept
    std::uint64_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(stored.folder()))
        files += entry.is_regular_file() && entry.path().extension() == ".264";
    EXPECT_EQ(files, spans.size());  // deleted from disk, not just forgotten
}
