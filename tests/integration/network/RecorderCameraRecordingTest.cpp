// SPDX-License-Identifier: GPL-3.0-or-later
// Recording camera channels on a recorder in this process whose feeds the
// test fills: a recording across a loss and a return a minute later makes
// two segments with a gap, both of which play back (decoded) and download
// frame for frame, and the day's search shows them as two spans; a camera
// channel has no generated history; big frames at full rate are all
// recorded.
#include "CameraRecorder.h"
#include "HttpClient.h"
#include "RawDeviceClient.h"

#include "DeviceTime.h"
#include "OverlaySettings.h"
#include "RecordingScheduler.h"
#include "PlaybackMessages.h"
#include "StoredRecordings.h"

#include "proto/Hello.h"
#include "proto/MediaFrame.h"
#include "proto/StreamMessages.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

using namespace nettest;
using namespace velk::recorder;
namespace proto = velk::proto;

namespace {

constexpr std::uint32_t kCamera = 2;
constexpr std::int64_t kForever = std::int64_t(1) << 50;
constexpr const char* kAllDayNormal =
    "[[{\"E\":86399,\"S\":0,\"T\":0}],[{\"E\":86399,\"S\":0,\"T\":0}],[{\"E\":86399,\"S\":0,\"T\":0}],"
    "[{\"E\":86399,\"S\":0,\"T\":0}],[{\"E\":86399,\"S\":0,\"T\":0}],[{\"E\":86399,\"S\":0,\"T\":0}],"
    "[{\"E\":86399,\"S\":0,\"T\":0}]]";

void storeSchedule(const std::filesystem::path& data, std::uint32_t channel, const std::string& text)
{
    std::filesystem::create_directories(data / "schedules");
    std::ofstream(data / "schedules" / ("channel-" + std::to_string(channel) + ".json")) << text;
}

struct Published {
    std::int64_t timeMs = 0;
    bool key = false;
    std::vector<std::uint8_t> annexB;
};

ChannelRecordingStatus recordingOf(CameraRecorder& recorder, std::uint32_t channel)
{
    const auto status = recorder.recorder().recordingWriter()->status();
    const auto it = status.find(channel);
    return it == status.end() ? ChannelRecordingStatus{} : it->second;
}

std::vector<RecordSpan> storedSpans(CameraRecorder& recorder, std::uint32_t channel)
{
    return recorder.onIo(
        [&] { return recorder.recorder().storedRecordings()->spans(channel, -kForever, kForever, RecordTypeFilter::All); });
}

std::optional<media::FrameView> viewOf(const std::string& bytes)
{
    return media::parseFrame(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::unique_ptr<RawDeviceClient> mediaConnection(std::uint16_t port)
{
    auto client = std::make_unique<RawDeviceClient>(port);
    proto::ClientHello hello;
    hello.role = proto::kRoleMedia;
    if (!client->sendMessage(proto::makeHello(hello)))
        return nullptr;
    const auto reply = client->readMessage();
    if (!reply || !proto::readServerHello(*reply))
        return nullptr;
    return client;
}

struct RecordingCase {
    media::VideoCodec codec;
    int width;
    int height;
    int frameRate;
    int keyInterval;
    const char* name;
};

class CameraRecording : public ::testing::TestWithParam<RecordingCase> {};

// Two stretches of a camera with a loss between them and a minute without
// pictures: two segments, two spans in the day's search, played back and
// downloaded as they were recorded.
TEST_P(CameraRecording, ALossSplitsTheRecordingAndBothPartsPlayBack)
{
    const RecordingCase& c = GetParam();
    const CameraEncoding encoding{c.codec, c.width, c.height, c.frameRate, c.keyInterval, 0};
    auto encoder = std::make_unique<CameraEncoder>(encoding);
    if (!encoder->ready())
        GTEST_SKIP() << "this libavcodec has no encoder for " << c.name;
    const CameraFormat format{c.codec, static_cast<std::uint16_t>(c.width), static_cast<std::uint16_t>(c.height),
                              static_cast<std::uint8_t>(c.frameRate)};
    TestDataFolder data;
    storeSchedule(data.path(), kCamera, kAllDayNormal);
    storeSchedule(data.path(), 0, "[[],[],[],[],[],[],[]]");
    CameraRecorder recorder({{kCamera, false}}, data.path().string(), 1);
    ASSERT_TRUE(waitUntil([&] { return recorder.recorder().recordingWriter()->ready(); }));

    // Before anything was recorded the camera channel has no past at all,
    // while a synthetic channel has its generated history.
    EXPECT_TRUE(recorder.onIo([&] {
        return recorder.recorder().recordings().spans(kCamera, -kForever, kForever, RecordTypeFilter::All);
    }).empty());
    EXPECT_FALSE(recorder.onIo([&] {
        return recorder.recorder().recordings().spans(0, -kForever, kForever, RecordTypeFilter::All);
    }).empty());

    // The first stretch lies two minutes back, the second one a minute
    // after it ended (a camera that came back).
    const int perStretch = 2 * c.keyInterval + 3;
    const std::int64_t step = 1000 / c.frameRate;
    const std::int64_t firstStart = systemNowMs() - 120000;
    const std::int64_t secondStart = firstStart + perStretch * step + 60000;
    std::vector<Published> published;
    for (const std::int64_t start : {firstStart, secondStart}) {
        int sent = 0;
        while (sent < perStretch) {
            for (CameraPicture& picture : encoder->encode(1)) {
                const std::int64_t t = start + sent * step;
                published.push_back({t, picture.key, picture.annexB});
                recorder.publish(kCamera, 0, format, picture.key, std::move(picture.annexB), t);
                ++sent;
            }
        }
        recorder.markLost(kCamera, 0);
        // The camera comes back with a new stream, from a key frame.
        encoder = std::make_unique<CameraEncoder>(encoding);
    }
    ASSERT_TRUE(waitUntil([&] {
        const auto s = recordingOf(recorder, kCamera);
        return s.framesWritten == published.size() && !s.recording;
    })) << recordingOf(recorder, kCamera).framesWritten;
    EXPECT_EQ(recordingOf(recorder, kCamera).framesDropped, 0u);

    const auto spans = storedSpans(recorder, kCamera);
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[0].startMs, firstStart);
    EXPECT_EQ(spans[1].startMs, secondStart);
    EXPECT_LT(spans[0].endMs, secondStart - 50000) << "the minute without pictures is a gap";

    // The day's search shows the two.
    const std::string date = formatDate(toLocal(firstStart).date);
    const HttpReply search = httpGet(recorder.httpPort(), "/api/recordings?date=" + date + "&channel=2");
    ASSERT_EQ(search.status, 200) << search.body;
    const Json::Value& found = search.json["spans"];
    ASSERT_EQ(found.size(), 2u) << search.body;
    EXPECT_EQ(found[0]["startMs"].asInt64(), firstStart);
    EXPECT_EQ(found[1]["startMs"].asInt64(), secondStart);

    // Played back: every frame as recorded, the gap skipped, decodable.
    RawDeviceClient control(recorder.devicePort());
    ASSERT_EQ(control.login("admin", "admin"), 0);
    auto playback = mediaConnection(recorder.devicePort());
    ASSERT_TRUE(playback);
    Json::Value params(Json::objectValue);
    params["session"] = control.sessionToken();
    params["channels"].append(kCamera);
    params["fileType"] = 2;
    params["start"] = formatCompact(toLocal(firstStart));
    ASSERT_TRUE(playback->sendMessage(proto::Message::request(1, kMethodOpenPlayback, params)));
    const auto opened = playback->readMessage();
    ASSERT_TRUE(opened);
    ASSERT_EQ(opened->code, 0);
    // The answer and the video property give the camera's format, not the
    // synthetic picture's.
    const Json::Value& answered = opened->body["channels"][0];
    EXPECT_EQ(answered["width"].asInt(), c.width);
    EXPECT_EQ(answered["height"].asInt(), c.height);
    EXPECT_EQ(answered["codec"].asString(), c.codec == media::VideoCodec::H265 ? "h265" : "h264");
    CameraDecoder decoder(c.codec);
    std::size_t index = 0;
    Json::Value property;
    while (index < published.size()) {
        auto frame = playback->readFrame(5000);
        ASSERT_TRUE(frame) << index;
        if (frame->type == proto::FrameType::Json) {
            const auto message = proto::decodeMessage(frame->payload);
            if (message && message->name == proto::kEventVideoProperty)
                property = message->body;
            continue;
        }
        if (frame->type != proto::FrameType::Media)
            continue;
        const auto view = viewOf(frame->payload);
        ASSERT_TRUE(view && view->time);
        const std::int64_t t = std::int64_t(view->time->seconds) * 1000 + view->time->milliseconds;
        if (t < firstStart)
            continue;  // the second before the start (playback starts at a whole second)
        ASSERT_EQ(t, published[index].timeMs) << index;
        EXPECT_EQ(view->kind == media::MediaKind::VideoKey, published[index].key) << index;
        EXPECT_TRUE(std::equal(view->payload.begin(), view->payload.end(), published[index].annexB.begin(),
                               published[index].annexB.end()))
            << index;
        if (view->video) {
            EXPECT_EQ(view->video->width, c.width);
            EXPECT_EQ(view->video->height, c.height);
            EXPECT_EQ(view->video->codec, c.codec);
            EXPECT_EQ(property["width"].asInt(), c.width) << index;
            EXPECT_EQ(property["codec"].asString(), c.codec == media::VideoCodec::H265 ? "h265" : "h264");
        }
        decoder.decode(view->payload);
        ++index;
    }
    EXPECT_EQ(decoder.errors(), 0);
    EXPECT_EQ(decoder.pictures(), static_cast<int>(published.size()));

    // The second segment downloaded whole.
    auto download = mediaConnection(recorder.devicePort());
    ASSERT_TRUE(download);
    Json::Value request(Json::objectValue);
    request["session"] = control.sessionToken();
    request["file"] = spans[1].fileName;
    request["start"] = formatCompact(toLocal(spans[1].startMs));
    request["end"] = formatCompact(toLocal(spans[1].endMs));
    ASSERT_TRUE(download->sendMessage(proto::Message::request(1, proto::kMethodOpenDownload, request)));
    const auto answer = download->readMessage();
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->code, 0) << proto::encodeMessage(*answer);
    EXPECT_EQ(answer->body["frames"].asUInt(), static_cast<unsigned>(perStretch));
    std::size_t got = 0;
    while (auto frame = download->readFrame(5000)) {
        if (frame->type != proto::FrameType::Media)
            break;  // downloadEnd
        const auto view = viewOf(frame->payload);
        ASSERT_TRUE(view);
        const Published& expected = published[perStretch + got];
        EXPECT_TRUE(std::equal(view->payload.begin(), view->payload.end(), expected.annexB.begin(),
                               expected.annexB.end()))
            << got;
        ++got;
    }
    EXPECT_EQ(got, static_cast<std::size_t>(perStretch));
}

INSTANTIATE_TEST_SUITE_P(Codecs, CameraRecording,
                         ::testing::Values(RecordingCase{media::VideoCodec::H264, 320, 240, 25, 10, "h264_320x240_25"},
                                           RecordingCase{media::VideoCodec::H265, 352, 288, 12, 6, "h265_352x288_12"}),
                         [](const ::testing::TestParamInfo<RecordingCase>& info) {
                             return std::string(info.param.name);
                         });

// Motion alarms come from the synthetic picture's moving square; a camera
// channel's picture has none, so its motion cells raise nothing (while a
// synthetic channel with the same cells has its alarm).
TEST(CameraRecordingAlarms, CameraChannelsHaveNoMotionAlarms)
{
    TestDataFolder data;
    CameraRecorder recorder({{kCamera, false}}, data.path().string());
    OverlaySettings overlay;
    overlay.motion.set();
    for (const std::uint32_t channel : {0u, kCamera}) {
        std::string error;
        ASSERT_TRUE(recorder.onIo([&] { return recorder.recorder().applyOverlay(channel, overlay, error); })) << error;
    }
    const auto alarmed = [&](std::uint32_t channel) {
        const Json::Value alarms = recorder.onIo([&] { return recorder.recorder().recording()->alarmStatus(); });
        for (const Json::Value& alarm : alarms)
            if (alarm["channel"].asUInt() == channel && alarm["active"].asBool())
                return true;
        return false;
    };
    ASSERT_TRUE(waitUntil([&] { return alarmed(0); }));
    EXPECT_FALSE(alarmed(kCamera));
}

constexpr const char* kAllDayAlarm =
    "[[{\"E\":86399,\"S\":0,\"T\":1}],[{\"E\":86399,\"S\":0,\"T\":1}],[{\"E\":86399,\"S\":0,\"T\":1}],"
    "[{\"E\":86399,\"S\":0,\"T\":1}],[{\"E\":86399,\"S\":0,\"T\":1}],[{\"E\":86399,\"S\":0,\"T\":1}],"
    "[{\"E\":86399,\"S\":0,\"T\":1}]]";

// An alarm recording of a camera channel begins with the frames kept from
// before the alarm: those of the last pre-alarm seconds by their own times,
// from the first key frame among them.
TEST(CameraRecordingAlarms, AlarmRecordingBeginsWithTheKeptFrames)
{
    struct Case {
        int secondsBefore;  // of frames before the alarm
        int frameRate;
        int keyInterval;
    };
    for (const Case c : {Case{3, 25, 25}, Case{8, 25, 25}, Case{9, 10, 30}}) {
        TestDataFolder data;
        storeSchedule(data.path(), kCamera, kAllDayAlarm);
        CameraRecorder recorder({{kCamera, false}}, data.path().string());
        ASSERT_TRUE(waitUntil([&] { return recorder.recorder().recordingWriter()->ready(); }));
        const CameraFormat format{media::VideoCodec::H264, 1920, 1080, static_cast<std::uint8_t>(c.frameRate)};
        const std::int64_t step = 1000 / c.frameRate;
        const int before = c.secondsBefore * c.frameRate;
        const std::int64_t t0 = systemNowMs() - c.secondsBefore * 1000;
        const auto publishFrame = [&](int i) {
            std::vector<std::uint8_t> bytes(2000, 0x42);
            bytes[0] = bytes[1] = bytes[2] = 0;
            bytes[3] = 1;
            recorder.publish(kCamera, 0, format, i % c.keyInterval == 0, std::move(bytes), t0 + i * step);
        };
        for (int i = 0; i < before; ++i)
            publishFrame(i);
        recorder.onIo([&] { recorder.recorder().recording()->raiseAlarm(kCamera, AlarmKind::Input, 1); });
        for (int i = before; i < before + 5; ++i)
            publishFrame(i);
        recorder.markLost(kCamera, 0);
        ASSERT_TRUE(waitUntil([&] { return storedSpans(recorder, kCamera).size() == 1 &&
                                           !recordingOf(recorder, kCamera).recording; }));
        // The kept frames: from the first key frame no older than 5 s
        // before the newest frame when the alarm came.
        const std::int64_t newest = t0 + before * step;
        int firstKept = 0;
        while (t0 + firstKept * step < newest - 5000 || firstKept % c.keyInterval != 0)
            ++firstKept;
        const auto spans = storedSpans(recorder, kCamera);
        EXPECT_EQ(spans[0].startMs, t0 + firstKept * step) << c.secondsBefore;
        EXPECT_EQ(spans[0].type, RecordType::Alarm);
        EXPECT_EQ(recordingOf(recorder, kCamera).framesWritten, static_cast<std::uint64_t>(before + 5 - firstKept));
    }
}

struct BigCase {
    std::size_t keyBytes;
    std::size_t deltaBytes;
    int frameRate;
    int frames;
    bool jitter;  // intervals vary around the nominal one
    const char* name;
};

class CameraBigFrames : public ::testing::TestWithParam<BigCase> {};

// A camera of many megapixels at its full rate: every frame is recorded
// (none dropped for a full queue) and read back whole.
TEST_P(CameraBigFrames, AreAllRecorded)
{
    const BigCase& c = GetParam();
    TestDataFolder data;
    storeSchedule(data.path(), kCamera, kAllDayNormal);
    CameraRecorder recorder({{kCamera, false}}, data.path().string());
    ASSERT_TRUE(waitUntil([&] { return recorder.recorder().recordingWriter()->ready(); }));
    const CameraFormat format{media::VideoCodec::H265, 2688, 1520, static_cast<std::uint8_t>(c.frameRate)};
    std::mt19937 random(7);
    std::vector<std::size_t> sizes;
    const std::int64_t start = systemNowMs();
    std::int64_t t = start;
    const auto pace = std::chrono::steady_clock::now();
    for (int i = 0; i < c.frames; ++i) {
        const bool key = i % c.frameRate == 0;
        std::vector<std::uint8_t> bytes(key ? c.keyBytes : c.deltaBytes);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(random() | 1);  // no start codes inside
        bytes[0] = bytes[1] = bytes[2] = 0;
        bytes[3] = 1;
        sizes.push_back(bytes.size());
        recorder.publish(kCamera, 0, format, key, std::move(bytes), t);
        const std::int64_t interval = 1000 / c.frameRate + (c.jitter ? std::int64_t(random() % 21) - 10 : 0);
        t += interval;
        // At the camera's pace, as a source hands frames over.
        std::this_thread::sleep_until(pace + std::chrono::milliseconds(t - start));
    }
    recorder.markLost(kCamera, 0);
    ASSERT_TRUE(waitUntil([&] {
        const auto s = recordingOf(recorder, kCamera);
        return s.framesWritten + s.framesDropped >= sizes.size() && !s.recording;
    }));
    const auto status = recordingOf(recorder, kCamera);
    EXPECT_EQ(status.framesDropped, 0u);
    EXPECT_EQ(status.framesWritten, sizes.size());

    auto reader = recorder.onIo(
        [&] { return recorder.recorder().recordings().openReader(kCamera, start - 1000, kForever, RecordTypeFilter::All); });
    ASSERT_TRUE(reader);
    std::size_t index = 0;
    while (auto frame = reader->next()) {
        ASSERT_LT(index, sizes.size());
        const auto view = media::parseFrame(frame->bytes);
        ASSERT_TRUE(view);
        EXPECT_EQ(view->payload.size(), sizes[index]) << index;
        ++index;
    }
    EXPECT_EQ(index, sizes.size());
    EXPECT_EQ(reader->damagedFrames(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CameraBigFrames,
                         ::testing::Values(BigCase{1 << 20, 1 << 20, 25, 50, false, "one_megabyte_every_frame_25"},
                                           BigCase{5 << 20, 120 << 10, 30, 60, true, "five_megabyte_keys_30_jitter"},
                                           BigCase{600 << 10, 40 << 10, 8, 20, true, "slow_camera_8"}),
                         [](const ::testing::TestParamInfo<BigCase>& info) { return std::string(info.param.name); });

}  // namespace
