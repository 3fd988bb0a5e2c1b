// SPDX-License-Identifier: GPL-3.0-or-later
// Recording a camera's frames, whose times are not a steady 25 a second:
// a segment ends where the frames break off (a camera that stalled or came
// back, a clock set back) and the next begins at a key frame, so the
// stretch without pictures shows as a gap and a seek by time lands on the
// right key frame; frames of many megabytes are walked and read back.
#include "RecordingTestSupport.h"

#include "RecordingWriter.h"
#include "SegmentScan.h"
#include "StoredRecordings.h"

#include "proto/RecordFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

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

struct Pushed {
    std::int64_t timeMs;
    bool key;
};

ChannelRecordingStatus statusOf(const RecordingWriter& writer, std::uint32_t channel)
{
    const auto status = writer.status();
    const auto it = status.find(channel);
    return it == status.end() ? ChannelRecordingStatus{} : it->second;
}

}  // namespace

// Frames 2 s apart stay in one segment (a slow camera); 10 s apart, or a
// step back in time, start a new one at the next key frame (a delta right
// after the break is dropped: a segment begins with a key frame).
TEST(CameraRecording, SegmentsEndWhereFramesBreakOff)
{
    TempFolder folder;
    StoredRecordings stored(folder.path());
    RecordingWriterSettings settings;
    settings.root = folder.path() / "recordings";
    settings.syncIntervalMs = 50;
    RecordingWriter writer(settings, stored.table());
    writer.start();
    ASSERT_TRUE(waitFor([&] { return writer.ready(); }));

    const std::vector<Pushed> frames = {
        {kT0, true},           {kT0 + 40, false},     {kT0 + 2040, false},   {kT0 + 4040, true},   // slow: one segment
        {kT0 + 14040, false},  {kT0 + 14080, true},   {kT0 + 14120, false},                         // 10 s later: new
        {kT0 + 9000, true},    {kT0 + 9040, false},                                                 // back in time: new
    };
    for (const Pushed& f : frames)
        ASSERT_TRUE(writer.push(1, RecordType::Normal, f.timeMs, f.key, makeFrame(1, f.timeMs, f.key, 5000)));
    ASSERT_TRUE(waitFor([&] {
        const auto s = statusOf(writer, 1);
        return s.framesWritten + s.framesDropped == frames.size();
    }));
    writer.finish(1);
    writer.stop();
    EXPECT_EQ(statusOf(writer, 1).framesDropped, 1u);

    const auto spans = stored.spans(1, 0, kT0 + 3600000, RecordTypeFilter::All);
    ASSERT_EQ(spans.size(), 3u);
    // In time order, whatever order they were written in.
    EXPECT_EQ(spans[0].startMs, kT0);
    EXPECT_EQ(spans[0].endMs, kT0 + 4040 + 40);
    EXPECT_EQ(spans[1].startMs, kT0 + 9000);
    EXPECT_EQ(spans[1].endMs, kT0 + 9040 + 40);
    EXPECT_EQ(spans[2].startMs, kT0 + 14080);

    // A seek into the slow segment finds the key frame before the time;
    // one into the gap finds the next segment's first key frame.
    auto reader = stored.openReader(1, kT0 - 1000, kT0 + 3600000, RecordTypeFilter::All);
    ASSERT_TRUE(reader);
    ASSERT_TRUE(reader->seek(kT0 + 3000));
    auto frame = reader->next();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->timeMs, kT0);
    ASSERT_TRUE(reader->seek(kT0 + 4100));
    frame = reader->next();
    ASSERT_TRUE(frame);
    EXPECT_TRUE(frame->key);
    EXPECT_GE(frame->timeMs, kT0 + 9000);
}

// A key frame of several megabytes (a high-resolution camera's) is a
// frame like any other to the segment walk, the header scan and readers.
TEST(CameraRecording, FramesOfManyMegabytesAreWalkedAndRead)
{
    for (const std::size_t keyBytes : {std::size_t(3) << 20, std::size_t(6) << 20, std::size_t(12) << 20}) {
        TempFolder folder;
        std::string error;
        auto segment = SegmentWriter::create(folder.path(), "big.264", 0, RecordType::Normal, nullptr, error);
        ASSERT_TRUE(segment) << error;
        std::vector<std::size_t> sizes;
        for (int i = 0; i < 6; ++i) {
            const bool key = i % 3 == 0;
            const auto bytes = makeFrame(0, kT0 + 40 * i, key, key ? keyBytes : 200000);
            sizes.push_back(bytes.size());
            ASSERT_TRUE(segment->append(bytes, kT0 + 40 * i, key, error)) << error;
        }
        ASSERT_TRUE(segment->finish(error)) << error;

        const int fd = ::open((folder.path() / "big.264").c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        DescriptorSource source(fd);
        const SegmentWalk walk = walkSegment(source, source.size(), 0);
        ::close(fd);
        EXPECT_EQ(walk.frames, sizes.size()) << keyBytes;
        EXPECT_EQ(walk.damaged, 0u);
        EXPECT_EQ(walk.index.keys.size(), 2u);
        const auto header = recordfile::parseHeader(readAll(folder.path() / "big.264"));
        EXPECT_EQ(header.state, recordfile::HeaderState::Valid);
    }
}
