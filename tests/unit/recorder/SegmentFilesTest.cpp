// SPDX-License-Identifier: GPL-3.0-or-later
// Segment files: names, the index format, writing with flushes and
// finishing, and recovering a segment a crash left unfinished.
#include "RecordingTestSupport.h"

#include "SegmentIndex.h"
#include "SegmentNames.h"
#include "SegmentScan.h"
#include "SegmentWriter.h"

#include "proto/RecordFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace velk::recorder;
using namespace recordingtest;

namespace {

// 2026-12-08 10:15:00 UTC
constexpr std::int64_t kStartMs = 1796724900000;

class LocalZone {
public:
    explicit LocalZone(const char* tz)
    {
        const char* old = std::getenv("TZ");
        m_old = old ? old : "";
        m_had = old != nullptr;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~LocalZone()
    {
        if (m_had)
            ::setenv("TZ", m_old.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::string m_old;
    bool m_had = false;
};

}  // namespace

TEST(SegmentNames, LocalDayAndTimeOneBasedChannelAndType)
{
    {
        LocalZone zone("UTC0");
        EXPECT_EQ(segmentRelativePath(2, kStartMs, RecordType::Normal), "ch03/20261208/ch03_20261208-101500_N.264");
        EXPECT_EQ(segmentRelativePath(0, kStartMs + 999, RecordType::Alarm, 2),
                  "ch01/20261208/ch01_20261208-101500_A_2.264");
        EXPECT_EQ(localDayText(kStartMs), "20261208");
    }
    {
        // Fifteen hours east of UTC the same moment is already the next day.
        LocalZone zone("XYZ-15");
        EXPECT_EQ(segmentRelativePath(15, kStartMs, RecordType::Normal), "ch16/20261209/ch16_20261209-011500_N.264");
        EXPECT_EQ(localDayText(kStartMs), "20261209");
    }
}

TEST(SegmentNames, ParsesOnlyItsOwnForm)
{
    const auto name = parseSegmentRelativePath("ch03/20261208/ch03_20261208-101500_A_2.264");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->channel, 2u);
    EXPECT_EQ(name->type, RecordType::Alarm);
    EXPECT_EQ(name->day, "20261208");
    EXPECT_EQ(indexPathOf("ch03/20261208/ch03_20261208-101500_A_2.264"), "ch03/20261208/ch03_20261208-101500_A_2.idx");
    for (const char* bad : {"", "ch03_20261208-101500_N.264", "/ch03/20261208/ch03_20261208-101500_N.264",
                            "../ch03/20261208/ch03_20261208-101500_N.264", "ch03/../ch03_20261208-101500_N.264",
                            "ch03/20261208/ch04_20261208-101500_N.264", "ch03/20261208/ch03_20261209-101500_N.264",
                            "ch03/20261208/ch03_20261208-101500_X.264", "ch03/20261208/ch03_20261208-101500_N.idx",
                            "ch00/20261208/ch00_20261208-101500_N.264", "ch03/20261208/x/ch03_20261208-101500_N.264",
                            "ch03/20261208/ch03_20261208-101500_N_.264"})
        EXPECT_FALSE(parseSegmentRelativePath(bad)) << bad;
}

TEST(SegmentIndex, RoundTripKeepsLastExtentAndIgnoresTornRecord)
{
    auto bytes = indexMagic();
    for (const auto& r : {encodeKey({kStartMs, 1024}), encodeExtent({kStartMs + 40, 2000}),
                          encodeKey({kStartMs + 1000, 30000}), encodeExtent({kStartMs + 1040, 31000})})
        bytes.insert(bytes.end(), r.begin(), r.end());
    bytes.insert(bytes.end(), 10, 0xAB);  // half a record: a crash while appending
    const auto content = decodeIndex(bytes);
    ASSERT_TRUE(content);
    EXPECT_EQ(content->keys, (std::vector<IndexKey>{{kStartMs, 1024}, {kStartMs + 1000, 30000}}));
    EXPECT_EQ(content->extent, (IndexExtent{kStartMs + 1040, 31000}));

    bytes[0] = 'X';
    EXPECT_FALSE(decodeIndex(bytes));
}

TEST(SegmentWriter, IndexFollowsOnlyFlushedDataAndFinishWritesHeader)
{
    TempFolder folder;
    std::string error;
    const std::string path = "ch02/20261208/ch02_20261208-101500_N.264";
    auto writer = SegmentWriter::create(folder.path(), path, 1, RecordType::Normal, nullptr, error);
    ASSERT_TRUE(writer) << error;
    appendFrames(*writer, kStartMs, 50);

    // Nothing flushed yet: the index holds no record.
    auto index = readIndexFile(folder.path() / indexPathOf(path));
    ASSERT_TRUE(index);
    EXPECT_TRUE(index->keys.empty());
    EXPECT_FALSE(index->extent);

    ASSERT_TRUE(writer->sync(error)) << error;
    index = readIndexFile(folder.path() / indexPathOf(path));
    ASSERT_TRUE(index && index->extent);
    ASSERT_EQ(index->keys.size(), 2u);
    EXPECT_EQ(index->keys[0], (IndexKey{kStartMs, recordfile::kDataOffset}));
    EXPECT_EQ(index->keys[1].timeMs, kStartMs + 1000);
    EXPECT_EQ(index->extent->dataEnd, writer->dataEnd());
    EXPECT_EQ(index->extent->endMs, kStartMs + 50 * 40);

    appendFrames(*writer, kStartMs + 2000, 30);
    ASSERT_TRUE(writer->finish(error)) << error;
    const auto bytes = readAll(folder.path() / path);
    const auto header = recordfile::parseHeader(bytes);
    EXPECT_EQ(header.state, recordfile::HeaderState::Valid);
    EXPECT_EQ(header.channel, 1);
    EXPECT_EQ(header.firstTime.seconds, kStartMs / 1000);
    index = readIndexFile(folder.path() / indexPathOf(path));
    ASSERT_TRUE(index && index->extent);
    EXPECT_EQ(index->keys.size(), 4u);
    EXPECT_EQ(index->extent->dataEnd, bytes.size());
    EXPECT_EQ(index->extent->endMs, kStartMs + 2000 + 30 * 40);
}

TEST(SegmentWriter, SegmentWithoutFramesIsDeletedAndAnExistingNameRefused)
{
    TempFolder folder;
    std::string error;
    const std::string path = "ch01/20261208/ch01_20261208-101500_A.264";
    auto writer = SegmentWriter::create(folder.path(), path, 0, RecordType::Alarm, nullptr, error);
    ASSERT_TRUE(writer) << error;
    EXPECT_FALSE(SegmentWriter::create(folder.path(), path, 0, RecordType::Alarm, nullptr, error));
    EXPECT_TRUE(writer->finish(error));
    EXPECT_FALSE(std::filesystem::exists(folder.path() / path));
    EXPECT_FALSE(std::filesystem::exists(folder.path() / indexPathOf(path)));
}

TEST(SegmentWriter, FailedWriteKeepsEveryWholeFrameAndFinishesCleanly)
{
    for (const int fault : {ENOSPC, EIO}) {
        TempFolder folder;
        WriteFault injected{0};
        std::string error;
        const std::string path = "ch01/20261208/ch01_20261208-101500_N.264";
        auto writer = SegmentWriter::create(folder.path(), path, 0, RecordType::Normal, &injected, error);
        ASSERT_TRUE(writer) << error;
        appendFrames(*writer, kStartMs, 30);
        ASSERT_TRUE(writer->sync(error)) << error;
        appendFrames(*writer, kStartMs + 1200, 5);
        const std::uint64_t written = writer->dataEnd();

        injected = fault;
        EXPECT_FALSE(writer->append(makeFrame(0, kStartMs + 1400, false), kStartMs + 1400, false, error));
        EXPECT_NE(error.find(std::strerror(fault)), std::string::npos) << error;
        EXPECT_TRUE(writer->finish(error)) << error;
        EXPECT_FALSE(SegmentWriter::create(folder.path(), "ch01/20261208/ch01_20261208-101501_N.264", 0,
                                           RecordType::Normal, &injected, error));
        injected = 0;
        const std::uint64_t flushed = written;

        // The file ends at the last whole frame written, with a header and
        // an index that covers it all.
        const auto bytes = readAll(folder.path() / path);
        EXPECT_EQ(bytes.size(), flushed);
        EXPECT_EQ(recordfile::parseHeader(bytes).state, recordfile::HeaderState::Valid);
        const auto index = readIndexFile(folder.path() / indexPathOf(path));
        ASSERT_TRUE(index && index->extent);
        EXPECT_EQ(index->extent->dataEnd, flushed);
        EXPECT_EQ(writer->syncedEnd(), flushed);
        EXPECT_EQ(index->keys.size(), 3u);
        EXPECT_EQ(index->extent->endMs, kStartMs + 1400);
    }
}

TEST(SegmentRecovery, CutsTornFrameRebuildsIndexWritesHeader)
{
    for (const std::size_t tornBytes : {std::size_t(5), std::size_t(200)}) {
        TempFolder folder;
        std::string error;
        const std::string path = "ch05/20261208/ch05_20261208-101500_N.264";
        {
            auto writer = SegmentWriter::create(folder.path(), path, 4, RecordType::Normal, nullptr, error);
            ASSERT_TRUE(writer) << error;
            appendFrames(*writer, kStartMs, 60);
            ASSERT_TRUE(writer->sync(error));
            // Dropped unfinished, as a crash leaves it.
        }
        auto bytes = readAll(folder.path() / path);
        const std::size_t whole = bytes.size();
        const auto torn = makeFrame(4, kStartMs + 60 * 40, false);
        bytes.insert(bytes.end(), torn.begin(), torn.begin() + static_cast<std::ptrdiff_t>(tornBytes));
        writeAll(folder.path() / path, bytes);
        std::filesystem::remove(folder.path() / indexPathOf(path));

        const Recovery recovery = recoverSegment(folder.path() / path, 4);
        ASSERT_TRUE(recovery.ok) << recovery.message;
        EXPECT_EQ(recovery.walk.frames, 60u);
        const auto after = readAll(folder.path() / path);
        EXPECT_EQ(after.size(), whole);
        const auto header = recordfile::parseHeader(after);
        EXPECT_EQ(header.state, recordfile::HeaderState::Valid);
        EXPECT_EQ(header.channel, 4);
        const auto index = readIndexFile(folder.path() / indexPathOf(path));
        ASSERT_TRUE(index && index->extent);
        EXPECT_EQ(index->keys.size(), 3u);
        EXPECT_EQ(index->extent->dataEnd, whole);
        EXPECT_EQ(index->extent->endMs, kStartMs + 60 * 40);
    }
}

TEST(SegmentRecovery, SegmentWithoutAWholeFrameIsReportedEmpty)
{
    TempFolder folder;
    std::string error;
    const std::string path = "ch01/20261208/ch01_20261208-101500_N.264";
    {
        auto writer = SegmentWriter::create(folder.path(), path, 0, RecordType::Normal, nullptr, error);
        ASSERT_TRUE(writer);
    }
    auto bytes = readAll(folder.path() / path);
    const auto frame = makeFrame(0, kStartMs, true);
    bytes.insert(bytes.end(), frame.begin(), frame.begin() + 20);
    writeAll(folder.path() / path, bytes);
    const Recovery recovery = recoverSegment(folder.path() / path, 0);
    EXPECT_TRUE(recovery.empty);
}

TEST(SegmentScan, DamagedStretchIsSkippedToTheNextGoodFrame)
{
    TempFolder folder;
    std::string error;
    const std::string path = "ch01/20261208/ch01_20261208-101500_N.264";
    auto writer = SegmentWriter::create(folder.path(), path, 0, RecordType::Normal, nullptr, error);
    ASSERT_TRUE(writer);
    appendFrames(*writer, kStartMs, 40);
    ASSERT_TRUE(writer->finish(error));
    auto bytes = readAll(folder.path() / path);
    // Frame 10's magic and length damaged.
    const std::size_t frameBytes = makeFrame(0, kStartMs + 40, false).size();
    const std::size_t keyBytes = makeFrame(0, kStartMs, true).size();
    const std::size_t at = recordfile::kDataOffset + keyBytes + 9 * frameBytes;
    bytes[at + 1] = 'X';
    bytes[at + 9] = 0xFF;
    writeAll(folder.path() / path, bytes);
    recordfile::MemorySource source(bytes);
    const SegmentWalk walk = walkSegment(source, bytes.size(), 0);
    EXPECT_EQ(walk.frames, 39u);
    EXPECT_EQ(walk.damaged, 1u);
    EXPECT_EQ(walk.goodEnd, bytes.size());
    // Frames of another channel are not taken for this one's.
    const SegmentWalk other = walkSegment(source, bytes.size(), 1);
    EXPECT_EQ(other.frames, 0u);
}
