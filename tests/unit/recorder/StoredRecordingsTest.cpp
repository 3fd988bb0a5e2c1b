// SPDX-License-Identifier: GPL-3.0-or-later
// The stored recordings as a catalog: spans of segments, readers that find
// their key frame by the index and walk across segments, damaged frames,
// a segment still being written, and loading what a crash left.
#include "RecordingTestSupport.h"

#include "SegmentIndex.h"
#include "SegmentNames.h"
#include "SegmentWriter.h"
#include "StoredRecordings.h"

#include "proto/RecordFile.h"

#include <gtest/gtest.h>

using namespace velk::recorder;
using namespace recordingtest;

namespace {

constexpr std::int64_t kT0 = 1796724900000;  // 2026-12-08 10:15:00 UTC

// Writes a finished segment of count frames from startMs under <data>/recordings.
std::string writeSegment(const std::filesystem::path& data, std::uint32_t channel, std::int64_t startMs, int count,
                         RecordType type)
{
    std::string error;
    const std::string path = segmentRelativePath(channel, startMs, type);
    auto writer = SegmentWriter::create(data / "recordings", path, channel, type, nullptr, error);
    EXPECT_TRUE(writer) << error;
    if (!writer)
        return path;
    appendFrames(*writer, startMs, count);
    EXPECT_TRUE(writer->finish(error)) << error;
    return path;
}

std::vector<std::int64_t> readTimes(FrameReader& reader, std::size_t limit = 100000)
{
    std::vector<std::int64_t> times;
    while (times.size() < limit) {
        const auto frame = reader.next();
        if (!frame)
            break;
        times.push_back(frame->timeMs);
    }
    return times;
}

class StoredRecordingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Channel 2: normal 0..4 s, alarm 4..6 s right after, normal again
        // from 60 s after a gap. Channel 0: one normal segment.
        normalA = writeSegment(folder.path(), 2, kT0, 100, RecordType::Normal);
        alarm = writeSegment(folder.path(), 2, kT0 + 4000, 50, RecordType::Alarm);
        normalB = writeSegment(folder.path(), 2, kT0 + 60000, 50, RecordType::Normal);
        writeSegment(folder.path(), 0, kT0, 25, RecordType::Normal);
        stored.load();
    }

    TempFolder folder;
    StoredRecordings stored{folder.path(), 16};
    std::string normalA, alarm, normalB;
};

}  // namespace

TEST_F(StoredRecordingsTest, SpansPerSegmentByTypeAndRange)
{
    const auto all = stored.spans(2, 0, kT0 + 3600000, RecordTypeFilter::All);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].startMs, kT0);
    EXPECT_EQ(all[0].endMs, kT0 + 4000);
    EXPECT_EQ(all[0].type, RecordType::Normal);
    EXPECT_EQ(all[0].fileName, normalA);
    EXPECT_EQ(all[0].bytes, std::filesystem::file_size(stored.folder() / normalA) - recordfile::kDataOffset);
    EXPECT_EQ(all[1].startMs, kT0 + 4000);
    EXPECT_EQ(all[1].endMs, kT0 + 6000);
    EXPECT_EQ(all[1].type, RecordType::Alarm);
    EXPECT_EQ(all[2].startMs, kT0 + 60000);

    const auto alarms = stored.spans(2, 0, kT0 + 3600000, RecordTypeFilter::AlarmOnly);
    ASSERT_EQ(alarms.size(), 1u);
    EXPECT_EQ(alarms[0].fileName, alarm);
    EXPECT_EQ(stored.spans(2, 0, kT0 + 3600000, RecordTypeFilter::NormalOnly).size(), 2u);
    // [from, to): a span that ends at from is not in it, one that starts at to neither.
    EXPECT_EQ(stored.spans(2, kT0 + 4000, kT0 + 60000, RecordTypeFilter::All).size(), 1u);
    EXPECT_EQ(stored.spans(2, kT0 + 3999, kT0 + 60001, RecordTypeFilter::All).size(), 3u);
    EXPECT_TRUE(stored.spans(7, 0, kT0 + 3600000, RecordTypeFilter::All).empty());
}

TEST_F(StoredRecordingsTest, ReaderStartsAtKeyFrameAtOrBeforeAndWalksAcrossSegments)
{
    auto reader = stored.openReader(2, kT0 + 2500, kT0 + 3600000, RecordTypeFilter::All);
    ASSERT_TRUE(reader);
    const auto first = reader->next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->timeMs, kT0 + 2000);
    EXPECT_TRUE(first->key);
    EXPECT_TRUE(first->video);
    const auto rest = readTimes(*reader);
    // 2.04..3.96 s of the first, all 50 of the alarm, all 50 after the gap.
    ASSERT_EQ(rest.size(), 49u + 50u + 50u);
    EXPECT_EQ(rest[49], kT0 + 4000);
    EXPECT_EQ(rest[99], kT0 + 60000);
    EXPECT_TRUE(std::is_sorted(rest.begin(), rest.end()));
    EXPECT_EQ(reader->damagedFrames(), 0u);

    // Normal only: the alarm segment is left out.
    reader = stored.openReader(2, kT0 + 3000, kT0 + 3600000, RecordTypeFilter::NormalOnly);
    const auto normal = readTimes(*reader);
    ASSERT_EQ(normal.size(), 25u + 50u);
    EXPECT_EQ(normal[25], kT0 + 60000);

    // In a gap: the next segment's first key frame; after everything: nothing.
    EXPECT_TRUE(reader->seek(kT0 + 30000));
    EXPECT_EQ(reader->next()->timeMs, kT0 + 60000);
    EXPECT_FALSE(reader->seek(kT0 + 62000));
    EXPECT_FALSE(reader->next());

    // The range's end stops the walk.
    reader = stored.openReader(2, kT0, kT0 + 1000, RecordTypeFilter::All);
    EXPECT_EQ(readTimes(*reader).size(), 25u);
    EXPECT_FALSE(stored.openReader(16, kT0, kT0 + 1000, RecordTypeFilter::All));
}

TEST_F(StoredRecordingsTest, DamagedFrameInTheMiddleIsSkippedAndCounted)
{
    auto bytes = readAll(stored.folder() / normalA);
    const std::size_t keyBytes = makeFrame(2, kT0, true).size();
    const std::size_t frameBytes = makeFrame(2, kT0 + 40, false).size();
    const std::size_t at = recordfile::kDataOffset + keyBytes + 4 * frameBytes;  // the 6th frame
    bytes[at + 2] ^= 0xFF;
    writeAll(stored.folder() / normalA, bytes);

    auto reader = stored.openReader(2, kT0, kT0 + 4000, RecordTypeFilter::All);
    const auto times = readTimes(*reader);
    EXPECT_EQ(times.size(), 99u);
    EXPECT_EQ(std::count(times.begin(), times.end(), kT0 + 5 * 40), 0);
    EXPECT_EQ(reader->damagedFrames(), 1u);
}

TEST(StoredRecordingsLive, SegmentBeingWrittenIsReadUpToWhatWasFlushed)
{
    TempFolder folder;
    StoredRecordings stored(folder.path());
    std::string error;
    const std::string path = segmentRelativePath(1, kT0, RecordType::Normal);
    auto writer = SegmentWriter::create(stored.folder(), path, 1, RecordType::Normal, nullptr, error);
    ASSERT_TRUE(writer);
    const auto publish = [&] {
        SegmentSummary s;
        s.channel = 1;
        s.path = path;
        s.startMs = writer->startMs();
        s.endMs = writer->syncedEndMs();
        s.dataEnd = writer->syncedEnd();
        stored.table().publish(s);
    };
    appendFrames(*writer, kT0, 50);
    ASSERT_TRUE(writer->sync(error));
    publish();
    appendFrames(*writer, kT0 + 2000, 30);  // written, not flushed yet

    auto reader = stored.openReader(1, kT0, kT0 + 3600000, RecordTypeFilter::All);
    EXPECT_EQ(readTimes(*reader).size(), 50u);
    EXPECT_EQ(stored.spans(1, 0, kT0 + 3600000, RecordTypeFilter::All).at(0).endMs, kT0 + 2000);

    ASSERT_TRUE(writer->sync(error));
    publish();
    // The same reader goes on where it stopped.
    EXPECT_EQ(readTimes(*reader).size(), 30u);
    EXPECT_EQ(reader->damagedFrames(), 0u);
}

TEST(StoredRecordingsScan, LoadLeavesDiskAloneRecoveryRepairs)
{
    TempFolder folder;
    std::string error;
    const std::string path = segmentRelativePath(3, kT0, RecordType::Alarm);
    const auto root = folder.path() / "recordings";
    {
        auto writer = SegmentWriter::create(root, path, 3, RecordType::Alarm, nullptr, error);
        ASSERT_TRUE(writer);
        appendFrames(*writer, kT0, 60);
        ASSERT_TRUE(writer->sync(error));
    }
    // Not a segment name, or outside the layout: ignored.
    std::filesystem::create_directories(root / "ch04");
    writeAll(root / "ch04" / "stray.264", makeFrame(3, kT0, true));

    StoredRecordings stored(folder.path());
    stored.load();
    const auto spans = stored.spans(3, 0, kT0 + 3600000, RecordTypeFilter::AlarmOnly);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(spans[0].endMs, kT0 + 60 * 40);
    EXPECT_EQ(recordfile::parseHeader(readAll(root / path)).state, recordfile::HeaderState::Missing);

    std::vector<std::string> lines;
    const auto recovered = scanRecordings(root, true, [&](const std::string& line) { lines.push_back(line); });
    ASSERT_EQ(recovered.size(), 1u);
    EXPECT_TRUE(recovered[0].finished);
    EXPECT_EQ(recovered[0].endMs, kT0 + 60 * 40);
    EXPECT_EQ(lines.size(), 1u);
    EXPECT_EQ(recordfile::parseHeader(readAll(root / path)).state, recordfile::HeaderState::Valid);
}
