// SPDX-License-Identifier: GPL-3.0-or-later
// A real velk-recorder recording to its data folder: by a normal period of
// the schedule, by an alarm in an alarm period (with its notifications),
// through a kill -9, with retention and with a failing disk. What it stored
// is read back in-process through StoredRecordings.
#include "HttpClient.h"
#include "RawDeviceClient.h"
#include "RecorderProcess.h"

#include "SegmentIndex.h"
#include "SegmentNames.h"
#include "SegmentWriter.h"
#include "StoredRecordings.h"

#include "proto/MediaFrame.h"
#include "proto/RecordFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <thread>

using namespace nettest;
using namespace velk::recorder;
namespace fs = std::filesystem;

namespace {

constexpr const char* kAllDayNormal =
    "[[{\"E\":86399,\"S\":0,\"T\":0}],[{\"E\":86399,\"S\":0,\"T\":0}],[{\"E\":86399,\"S\":0,\"T\":0}],"
    "[{\"E\":86399,\"S\":0,\"T\":0}],[{\"E\":86399,\"S\":0,\"T\":0}],[{\"E\":86399,\"S\":0,\"T\":0}],"
    "[{\"E\":86399,\"S\":0,\"T\":0}]]";
constexpr const char* kAllDayAlarm =
    "[[{\"E\":86399,\"S\":0,\"T\":1}],[{\"E\":86399,\"S\":0,\"T\":1}],[{\"E\":86399,\"S\":0,\"T\":1}],"
    "[{\"E\":86399,\"S\":0,\"T\":1}],[{\"E\":86399,\"S\":0,\"T\":1}],[{\"E\":86399,\"S\":0,\"T\":1}],"
    "[{\"E\":86399,\"S\":0,\"T\":1}]]";
constexpr std::int64_t kForever = std::int64_t(1) << 50;

std::int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 20000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class DataFolder {
public:
    DataFolder()
    {
        char pattern[] = "/tmp/velk-recording-test-XXXXXX";
        if (const char* dir = ::mkdtemp(pattern))
            m_path = dir;
    }
    ~DataFolder()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const fs::path& path() const { return m_path; }
    std::string text() const { return m_path.string(); }
    void storeSchedule(std::uint32_t channel, const std::string& text) const
    {
        fs::create_directories(m_path / "schedules");
        std::ofstream(m_path / "schedules" / ("channel-" + std::to_string(channel) + ".json")) << text;
    }

private:
    fs::path m_path;
};

Json::Value recordingOf(const RecorderProcess& recorder, std::uint32_t channel)
{
    return httpGet(recorder.httpPort(), "/sim/status").json["recording"]["channels"][channel];
}

std::vector<std::uint8_t> readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Walk {
    std::vector<std::int64_t> times;
    std::vector<bool> keys;
    std::uint64_t damaged = 0;
};

Walk walk(const StoredRecordings& stored, std::uint32_t channel, std::int64_t from, std::int64_t to,
          RecordTypeFilter filter)
{
    Walk w;
    auto reader = stored.openReader(channel, from, to, filter);
    while (reader) {
        const auto frame = reader->next();
        if (!frame)
            break;
        w.times.push_back(frame->timeMs);
        w.keys.push_back(frame->key);
        const auto view = media::parseFrame(frame->bytes);
        EXPECT_TRUE(view && view->channel == channel && view->streamType == 0);
    }
    if (reader)
        w.damaged = reader->damagedFrames();
    return w;
}

}  // namespace

TEST(RecorderRecording, NormalPeriodRecordsWallClockFramesInSegments)
{
    DataFolder data;
    const std::int64_t before = nowMs();
    std::int64_t after = 0;
    {
        RecorderProcess recorder({"--data", data.text(), "--channels", "3", "--segment-seconds", "2"});
        ASSERT_TRUE(recorder.started()) << recorder.firstLine();
        const auto put = httpRequest(recorder.httpPort(), "PUT", "/api/schedule?channel=1", {}, kAllDayNormal);
        ASSERT_EQ(put.status, 200) << put.body;
        ASSERT_TRUE(waitFor([&] { return recordingOf(recorder, 1)["framesWritten"].asUInt64() >= 130; }));
        const auto status = recordingOf(recorder, 1);
        EXPECT_TRUE(status["recording"].asBool());
        EXPECT_EQ(status["type"].asString(), "N");
        EXPECT_EQ(status["writeErrors"].asUInt64(), 0u);
        EXPECT_FALSE(recordingOf(recorder, 0)["recording"].asBool());
        EXPECT_EQ(recorder.stop(), 0);
        after = nowMs();
    }
    StoredRecordings stored(data.path(), 3);
    stored.load();
    EXPECT_TRUE(stored.spans(0, 0, kForever, RecordTypeFilter::All).empty());
    const auto spans = stored.spans(1, 0, kForever, RecordTypeFilter::All);
    ASSERT_GE(spans.size(), 3u);
    static const std::regex name("ch02/[0-9]{8}/ch02_[0-9]{8}-[0-9]{6}_N\\.264");
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const auto& span = spans[i];
        EXPECT_TRUE(std::regex_match(span.fileName, name)) << span.fileName;
        EXPECT_EQ(span.fileName.substr(5, 8), localDayText(span.startMs));
        EXPECT_EQ(span.type, RecordType::Normal);
        // A segment ends at the first key frame 2 s or more after its start.
        const auto index = readIndexFile(stored.folder() / indexPathOf(span.fileName));
        ASSERT_TRUE(index && !index->keys.empty());
        EXPECT_EQ(index->keys.front().timeMs, span.startMs);
        EXPECT_LT(index->keys.back().timeMs - span.startMs, 2000) << span.fileName;
        if (i + 1 < spans.size()) {
            EXPECT_GE(spans[i + 1].startMs - span.startMs, 2000);
        }
        if (i + 1 < spans.size()) {
            EXPECT_LT(spans[i + 1].startMs - span.endMs, 100) << "segments follow one another";
        }
        const auto bytes = readFile(stored.folder() / span.fileName);
        EXPECT_EQ(recordfile::parseHeader(bytes).state, recordfile::HeaderState::Valid);
        EXPECT_EQ(span.bytes + recordfile::kDataOffset, bytes.size());
        EXPECT_TRUE(fs::exists(stored.folder() / indexPathOf(span.fileName)));
    }
    const Walk w = walk(stored, 1, 0, kForever, RecordTypeFilter::All);
    ASSERT_FALSE(w.times.empty());
    EXPECT_TRUE(w.keys.front());
    EXPECT_EQ(w.damaged, 0u);
    // The time items are the wall clock while it recorded.
    EXPECT_GE(w.times.front(), before);
    EXPECT_LE(w.times.back(), after);
    EXPECT_TRUE(std::is_sorted(w.times.begin(), w.times.end()));
    EXPECT_EQ(w.times.front(), spans.front().startMs);
}

TEST(RecorderRecording, AlarmRecordsWithMarginsAndIsNotified)
{
    DataFolder data;
    data.storeSchedule(0, kAllDayAlarm);
    std::int64_t raisedFrom = 0, raisedTo = 0;
    {
        RecorderProcess recorder({"--data", data.text(), "--channels", "2", "--pre-alarm-seconds", "2",
                                  "--post-alarm-seconds", "1"});
        ASSERT_TRUE(recorder.started()) << recorder.firstLine();
        const std::uint16_t http = recorder.httpPort();
        RawDeviceClient control(recorder.devicePort());
        ASSERT_EQ(control.login("admin", "admin"), 0);

        for (const char* bad : {"/sim/alarm?channel=2&kind=motion&seconds=5", "/sim/alarm?kind=motion&seconds=5",
                                "/sim/alarm?channel=0&kind=smoke&seconds=5", "/sim/alarm?channel=0&seconds=5",
                                "/sim/alarm?channel=0&kind=input&seconds=0",
                                "/sim/alarm?channel=0&kind=input&seconds=3601",
                                "/sim/alarm?channel=0&kind=input"})
            EXPECT_EQ(httpPost(http, bad).status, 400) << bad;
        EXPECT_EQ(httpGet(http, "/sim/alarm?channel=0&kind=input&seconds=5").status, 405);

        // Nothing is recorded in an alarm period without an alarm; the
        // frames of the last seconds are kept meanwhile.
        ASSERT_TRUE(waitFor([&] {
            const auto loops = httpGet(http, "/sim/status").json["loops"];
            return loops.size() == 1 && loops[0]["ready"].asUInt() == loops[0]["frames"].asUInt();
        }));
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // more than the pre-alarm margin
        EXPECT_EQ(recordingOf(recorder, 0)["framesWritten"].asUInt64(), 0u);

        raisedFrom = nowMs();
        const auto raised = httpPost(http, "/sim/alarm?channel=0&kind=motion&seconds=1");
        raisedTo = nowMs();
        ASSERT_EQ(raised.status, 200) << raised.body;
        const auto begun = control.readMessage(10000);
        ASSERT_TRUE(begun);
        EXPECT_EQ(begun->kind, velk::proto::MessageKind::Notify);
        EXPECT_EQ(begun->name, "alarm");
        EXPECT_EQ(begun->body["channel"].asUInt(), 0u);
        EXPECT_EQ(begun->body["kind"].asString(), "motion");
        EXPECT_TRUE(begun->body["active"].asBool());
        const auto alarms = httpGet(http, "/sim/status").json["alarms"];
        ASSERT_GE(alarms.size(), 1u);
        EXPECT_EQ(alarms[0]["channel"].asUInt(), 0u);

        const auto ended = control.readMessage(4000);
        ASSERT_TRUE(ended);
        EXPECT_EQ(ended->name, "alarm");
        EXPECT_EQ(ended->body["kind"].asString(), "motion");
        EXPECT_FALSE(ended->body["active"].asBool());
        // The recording ends after the post-alarm margin.
        ASSERT_TRUE(waitFor([&] {
            const auto s = recordingOf(recorder, 0);
            return s["framesWritten"].asUInt64() > 0 && !s["recording"].asBool();
        }));
        EXPECT_EQ(recorder.stop(), 0);
    }
    StoredRecordings stored(data.path(), 2);
    stored.load();
    EXPECT_TRUE(stored.spans(0, 0, kForever, RecordTypeFilter::NormalOnly).empty());
    const auto spans = stored.spans(0, 0, kForever, RecordTypeFilter::AlarmOnly);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_NE(spans[0].fileName.find("_A.264"), std::string::npos);
    // From a key frame at most the pre-alarm margin before the alarm...
    EXPECT_GE(spans[0].startMs, raisedFrom - 2000 - 40);
    EXPECT_LT(spans[0].startMs, raisedTo);
    // ...to about the post-alarm margin after its end (frames come every
    // 40 ms, so the last one may fall up to a frame short of the margin).
    EXPECT_GE(spans[0].endMs, raisedFrom + 1000 + 1000 - 40);
    EXPECT_LE(spans[0].endMs, raisedTo + 1000 + 1000 + 1000);
    const Walk w = walk(stored, 0, 0, kForever, RecordTypeFilter::AlarmOnly);
    ASSERT_FALSE(w.times.empty());
    EXPECT_TRUE(w.keys.front());
}

TEST(RecorderRecording, KillLosesOnlyTheLastSecondsAndRestartRecovers)
{
    DataFolder data;
    data.storeSchedule(0, kAllDayNormal);
    std::int64_t killedAt = 0;
    std::string segment;
    {
        RecorderProcess recorder({"--data", data.text(), "--channels", "1", "--segment-seconds", "60"});
        ASSERT_TRUE(recorder.started()) << recorder.firstLine();
        ASSERT_TRUE(waitFor([&] { return recordingOf(recorder, 0)["framesWritten"].asUInt64() >= 100; }));
        segment = recordingOf(recorder, 0)["segment"].asString();
        killedAt = nowMs();
        recorder.killHard();
    }
    const fs::path file = data.path() / "recordings" / segment;
    ASSERT_FALSE(segment.empty());
    ASSERT_EQ(recordfile::parseHeader(readFile(file)).state, recordfile::HeaderState::Missing);
    fs::remove(data.path() / "recordings" / indexPathOf(segment));  // even a lost index is made again

    RecorderProcess restarted({"--data", data.text(), "--channels", "1", "--segment-seconds", "60"});
    ASSERT_TRUE(restarted.started()) << restarted.firstLine();
    ASSERT_TRUE(waitFor([&] { return httpGet(restarted.httpPort(), "/sim/status").json["recording"]["ready"].asBool(); }));
    EXPECT_EQ(recordfile::parseHeader(readFile(file)).state, recordfile::HeaderState::Valid);
    const auto index = readIndexFile(data.path() / "recordings" / indexPathOf(segment));
    ASSERT_TRUE(index && index->extent);
    EXPECT_EQ(index->extent->dataEnd, fs::file_size(file));
    EXPECT_GE(index->keys.size(), 4u);
    EXPECT_EQ(restarted.stop(), 0);

    StoredRecordings stored(data.path(), 1);
    stored.load();
    const auto spans = stored.spans(0, 0, kForever, RecordTypeFilter::All);
    ASSERT_GE(spans.size(), 1u);
    EXPECT_EQ(spans[0].fileName, segment);
    EXPECT_GE(spans[0].endMs, killedAt - 2000);
    EXPECT_LE(spans[0].endMs, killedAt + 100);
    const Walk w = walk(stored, 0, spans[0].startMs, spans[0].endMs, RecordTypeFilter::All);
    EXPECT_EQ(w.damaged, 0u);
    ASSERT_FALSE(w.times.empty());
    // Continuous up to the kill: no frame missing between first and last.
    for (std::size_t i = 1; i < w.times.size(); ++i)
        EXPECT_LT(w.times[i] - w.times[i - 1], 1000) << "a hole at frame " << i;
}

TEST(RecorderRecording, RetentionDeletesTheOldestAtStartAndWhileRecording)
{
    DataFolder data;
    const fs::path root = data.path() / "recordings";
    // Two old segments, 200 and 100 hours ago, and a recent one.
    std::vector<std::string> made;
    for (const std::int64_t hoursAgo : {200, 100, 1}) {
        const std::int64_t start = nowMs() - hoursAgo * 3600 * 1000;
        std::string error;
        const std::string path = segmentRelativePath(0, start, RecordType::Normal);
        auto writer = SegmentWriter::create(root, path, 0, RecordType::Normal, nullptr, error);
        ASSERT_TRUE(writer) << error;
        for (int i = 0; i < 25; ++i) {
            media::FrameFields f;
            f.kind = i == 0 ? media::MediaKind::VideoKey : media::MediaKind::VideoDelta;
            const std::int64_t t = start + 40 * i;
            f.time = media::FrameTime{std::uint32_t(t / 1000), std::uint32_t(t % 1000)};
            const std::vector<std::uint8_t> payload(400, 7);
            ASSERT_TRUE(writer->append(media::buildFrame(f, payload), t, i == 0, error));
        }
        ASSERT_TRUE(writer->finish(error)) << error;
        made.push_back(path);
    }
    data.storeSchedule(1, kAllDayNormal);
    RecorderProcess recorder({"--data", data.text(), "--channels", "2", "--segment-seconds", "1", "--retain-hours",
                              "150", "--retain-bytes", "40K"});
    ASSERT_TRUE(recorder.started()) << recorder.firstLine();
    ASSERT_TRUE(waitFor([&] { return httpGet(recorder.httpPort(), "/sim/status").json["recording"]["ready"].asBool(); }));
    EXPECT_FALSE(fs::exists(root / made[0])) << "older than --retain-hours";
    EXPECT_FALSE(fs::exists(root / indexPathOf(made[0])));
    EXPECT_TRUE(fs::exists(root / made[1]));

    // Recording 1-second segments of about 11 KB: the oldest go, by size.
    ASSERT_TRUE(waitFor([&] { return !fs::exists(root / made[1]) && !fs::exists(root / made[2]); }));
    std::string firstRecorded;
    ASSERT_TRUE(waitFor([&] {
        firstRecorded = recordingOf(recorder, 1)["segment"].asString();
        return !firstRecorded.empty();
    }));
    ASSERT_TRUE(waitFor([&] { return !fs::exists(root / firstRecorded); }));
    std::uintmax_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        total += entry.is_regular_file() ? entry.file_size() : 0;
    EXPECT_LE(total, 40u * 1024 + 30u * 1024) << "the limit, and the segment being written";
}

TEST(RecorderRecording, DiskFailureStopsRecordingWithReasonAndKeepsEarlierSegments)
{
    DataFolder data;
    data.storeSchedule(0, kAllDayNormal);
    RecorderProcess recorder({"--data", data.text(), "--channels", "1", "--segment-seconds", "1"});
    ASSERT_TRUE(recorder.started()) << recorder.firstLine();
    const std::uint16_t http = recorder.httpPort();
    EXPECT_EQ(httpPost(http, "/sim/disk?state=melted").status, 400);
    EXPECT_EQ(httpPost(http, "/sim/disk").status, 400);
    ASSERT_TRUE(waitFor([&] { return recordingOf(recorder, 0)["framesWritten"].asUInt64() >= 75; }));

    ASSERT_EQ(httpPost(http, "/sim/disk?state=full").status, 200);
    ASSERT_TRUE(waitFor([&] { return recordingOf(recorder, 0)["writeErrors"].asUInt64() >= 1; }));
    ASSERT_TRUE(waitFor([&] { return !recordingOf(recorder, 0)["recording"].asBool(); }));
    const auto status = recordingOf(recorder, 0);
    EXPECT_NE(status["lastError"].asString().find("No space left on device"), std::string::npos)
        << status["lastError"].asString();
    EXPECT_EQ(status["writeErrors"].asUInt64(), 1u);
    const std::uint64_t written = status["framesWritten"].asUInt64();
    // Nothing more is written (a retry waits 30 s).
    ASSERT_TRUE(waitFor([&] { return recordingOf(recorder, 0)["framesDropped"].asUInt64() >= 50; }));
    EXPECT_EQ(recordingOf(recorder, 0)["framesWritten"].asUInt64(), written);
    EXPECT_TRUE(httpGet(http, "/sim/status").json["recording"]["diskFault"].asBool());
    EXPECT_EQ(recorder.stop(), 0);

    StoredRecordings stored(data.path(), 1);
    stored.load();
    const auto spans = stored.spans(0, 0, kForever, RecordTypeFilter::All);
    ASSERT_GE(spans.size(), 2u);
    for (const auto& span : spans)
        EXPECT_EQ(recordfile::parseHeader(readFile(stored.folder() / span.fileName)).state,
                  recordfile::HeaderState::Valid)
            << span.fileName;
    const Walk w = walk(stored, 0, 0, kForever, RecordTypeFilter::All);
    EXPECT_EQ(w.damaged, 0u);
    EXPECT_EQ(w.times.size(), written) << "every frame written before the failure is kept";
}
