// SPDX-License-Identifier: GPL-3.0-or-later
// velk-recorder's playback streams and search API against a real recorder
// with two days of generated history, driven by raw device-protocol
// clients; the expected spans come from the same public generator.
#include "HttpClient.h"
#include "RawDeviceClient.h"
#include "RecorderProcess.h"

#include "DeviceTime.h"
#include "HistoryRecordings.h"
#include "PlaybackMessages.h"
#include "PlaybackSender.h"
#include "RecorderOptions.h"

#include "proto/DetailCode.h"
#include "proto/Hello.h"
#include "proto/MediaFrame.h"
#include "proto/StreamMessages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <thread>

using namespace velk::recorder;
using nettest::httpGet;
using nettest::httpPost;
using nettest::RawDeviceClient;
using nettest::RecorderProcess;
namespace proto = velk::proto;

namespace {

constexpr std::uint32_t kChannels = 4;
constexpr int kDays = 2;

struct Received {
    std::optional<proto::Message> message;  // a JSON message, or
    std::optional<media::FrameView> frame;  // a media frame (view into raw)
    std::int64_t timeMs = 0;
    std::string raw;
};

// One frame of the connection, JSON or media; nullopt on timeout or close.
std::optional<Received> receive(RawDeviceClient& client, int timeoutMs = 5000)
{
    auto frame = client.readFrame(timeoutMs);
    if (!frame)
        return std::nullopt;
    Received r;
    if (frame->type == proto::FrameType::Json) {
        r.message = proto::decodeMessage(frame->payload);
        return r;
    }
    r.raw = std::move(frame->payload);
    r.frame = media::parseFrame(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(r.raw.data()), r.raw.size()));
    if (r.frame && r.frame->time)
        r.timeMs = std::int64_t(r.frame->time->seconds) * 1000 + r.frame->time->milliseconds;
    return r;
}

bool isEvent(const Received& r, const char* name)
{
    return r.message && r.message->kind == proto::MessageKind::Notify && r.message->name == name;
}

class RecorderPlayback : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_recorder = std::make_unique<RecorderProcess>(std::vector<std::string>{
            "--channels", std::to_string(kChannels), "--history-days", std::to_string(kDays),
            "--heartbeat-timeout-ms", "120000"});
        if (!s_recorder->started())
            return;
        // The history's loops are encoded at start; sizes are known once
        // they are complete.
        for (int i = 0; i < 600; ++i) {
            const auto status = httpGet(s_recorder->httpPort(), "/sim/status");
            s_startMs = status.json["historyStartMs"].asInt64();
            std::uint32_t complete = 0;
            for (const auto& loop : status.json["loops"])
                complete += loop["ready"] == loop["frames"] ? 1 : 0;
            if (complete == kChannels)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    static void TearDownTestSuite() { s_recorder.reset(); }
    void SetUp() override
    {
        ASSERT_TRUE(s_recorder->started()) << s_recorder->firstLine();
        ASSERT_GT(s_startMs, 0);
        m_control = std::make_unique<RawDeviceClient>(s_recorder->devicePort());
        ASSERT_EQ(m_control->login("admin", "admin"), 0);
    }

    std::uint16_t httpPort() const { return s_recorder->httpPort(); }
    static LocalDate yesterday() { return addDays(toLocal(s_startMs).date, -1); }
    static std::vector<RecordSpan> spansOf(std::uint32_t channel) { return historySpans(channel, kDays, s_startMs); }

    // A media connection with its hello done; null when that failed.
    std::unique_ptr<RawDeviceClient> mediaConnection()
    {
        auto client = std::make_unique<RawDeviceClient>(s_recorder->devicePort());
        proto::ClientHello hello;
        hello.role = proto::kRoleMedia;
        if (!client->sendMessage(proto::makeHello(hello)))
            return nullptr;
        const auto reply = client->readMessage();
        if (!reply || !proto::readServerHello(*reply))
            return nullptr;
        return client;
    }

    Json::Value openParams(const std::vector<std::uint32_t>& channels, const std::string& start, int fileType = 2)
    {
        Json::Value params(Json::objectValue);
        params["session"] = m_control->sessionToken();
        for (const auto channel : channels)
            params["channels"].append(channel);
        params["fileType"] = fileType;
        params["start"] = start;
        return params;
    }

    // Opens a playback; the response (nullopt when the exchange failed).
    std::optional<proto::Message> open(RawDeviceClient& client, const Json::Value& params)
    {
        if (!client.sendMessage(proto::Message::request(1, kMethodOpenPlayback, params)))
            return std::nullopt;
        return client.readMessage();
    }

    static inline std::unique_ptr<RecorderProcess> s_recorder;
    static inline std::int64_t s_startMs = 0;
    std::unique_ptr<RawDeviceClient> m_control;
};

// The span of the channel's history holding t, or the first after it.
std::optional<RecordSpan> spanAtOrAfter(const std::vector<RecordSpan>& spans, std::int64_t t)
{
    for (const RecordSpan& span : spans)
        if (t < span.endMs)
            return span;
    return std::nullopt;
}

// Where a playback of the channel from t starts: the key frame at or
// before t in the span holding it, else the next span's first frame.
std::optional<std::int64_t> expectedFirstFrame(const std::vector<RecordSpan>& spans, std::int64_t t)
{
    const auto span = spanAtOrAfter(spans, t);
    if (!span)
        return std::nullopt;
    if (t < span->startMs)
        return span->startMs;
    const std::int64_t frame = (t - span->startMs) / 40;
    return span->startMs + (frame - frame % 25) * 40;
}

}  // namespace

TEST_F(RecorderPlayback, SearchFindsTheGeneratedDaysAndSpans)
{
    const LocalDate month{toLocal(s_startMs).date.year, toLocal(s_startMs).date.month, 1};
    const auto days = httpGet(httpPort(), "/api/recordings/days?month=" + formatMonth(month));
    ASSERT_EQ(days.status, 200) << days.body;
    const TimeRange monthRange_ = monthRange(month);
    for (std::uint32_t channel = 0; channel < kChannels; ++channel) {
        std::set<int> expected;
        for (const RecordSpan& span : spansOf(channel))
            if (span.startMs >= monthRange_.startMs && span.startMs < monthRange_.endMs)
                expected.insert(toLocal(span.startMs).date.day);
        std::set<int> got;
        for (const auto& day : days.json["days"][std::to_string(channel)])
            got.insert(day.asInt());
        EXPECT_EQ(got, expected) << "channel " << channel;
    }

    // One channel's spans of yesterday, all types and alarms only.
    for (const std::string type : {"all", "alarm"}) {
        const auto reply = httpGet(httpPort(), "/api/recordings?date=" + formatDate(yesterday()) +
                                                   "&channel=2&type=" + type);
        ASSERT_EQ(reply.status, 200) << reply.body;
        EXPECT_EQ(reply.json["channel"].asUInt(), 2u);
        std::vector<RecordSpan> expected;
        for (const RecordSpan& span : historyDaySpans(2, yesterday()))
            if (type == "all" || span.type == RecordType::Alarm)
                expected.push_back(span);
        const Json::Value& spans = reply.json["spans"];
        ASSERT_EQ(spans.size(), expected.size());
        ASSERT_FALSE(expected.empty());
        for (Json::ArrayIndex i = 0; i < spans.size(); ++i) {
            EXPECT_EQ(spans[i]["startMs"].asInt64(), expected[i].startMs);
            EXPECT_EQ(spans[i]["endMs"].asInt64(), expected[i].endMs);
            EXPECT_EQ(spans[i]["start"].asString(), formatDashed(toLocal(expected[i].startMs)));
            EXPECT_EQ(spans[i]["type"].asString(), expected[i].type == RecordType::Alarm ? "alarm" : "normal");
            EXPECT_EQ(spans[i]["file"].asString(), expected[i].fileName);
            EXPECT_GT(spans[i]["size"].asUInt64(), 0u);
        }
    }

    // Every channel at once.
    const auto all = httpGet(httpPort(), "/api/recordings?date=" + formatDate(yesterday()));
    ASSERT_EQ(all.status, 200);
    EXPECT_EQ(all.json["channels"].size(), kChannels);
    EXPECT_EQ(all.json["channels"]["3"].size(), historyDaySpans(3, yesterday()).size());
}

TEST_F(RecorderPlayback, SearchRefusesBadArguments)
{
    for (const std::string target :
         {"/api/recordings/days", "/api/recordings/days?month=2026-13", "/api/recordings/days?month=2026-1",
          "/api/recordings/days?month=2026-12&channel=4", "/api/recordings/days?month=2026-12&channel=-1",
          "/api/recordings/days?month=2026-12&channel=", "/api/recordings/days?month=2026-12&type=motion",
          "/api/recordings?date=2026-02-30", "/api/recordings?date=2026-12-08&channel=x",
          "/api/recordings?date=20261208", "/api/recordings?date=2026-12-08%20"}) {
        const auto reply = httpGet(httpPort(), target);
        EXPECT_EQ(reply.status, 400) << target;
        EXPECT_FALSE(reply.json["error"].asString().empty()) << target;
    }
    EXPECT_EQ(httpPost(httpPort(), "/api/recordings?date=2026-12-08").status, 405);
    EXPECT_EQ(nettest::httpRequest(httpPort(), "DELETE", "/api/recordings/days?month=2026-12").status, 405);
}

TEST_F(RecorderPlayback, TwoChannelsComeMergedInTimeFromTheirKeyFrames)
{
    const std::vector<std::uint32_t> channels{0, 2};
    // A time both channels recorded, 3.5 s after the later start: the key
    // frame before is 3 s in (the time text has whole seconds).
    std::int64_t startMs = 0;
    for (const RecordSpan& a : historyDaySpans(0, yesterday()))
        for (const RecordSpan& b : historyDaySpans(2, yesterday()))
            if (!startMs && std::max(a.startMs, b.startMs) + 60000 < std::min(a.endMs, b.endMs))
                startMs = std::max(a.startMs, b.startMs) + 3500;
    ASSERT_NE(startMs, 0);
    auto client = mediaConnection();
    ASSERT_TRUE(client);
    const auto reply = open(*client, openParams(channels, formatCompact(toLocal(startMs))));
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->code, 0);
    ASSERT_EQ(reply->body["channels"].size(), 2u);
    EXPECT_EQ(reply->body["channels"][1]["channel"].asUInt(), 2u);
    EXPECT_EQ(reply->body["channels"][1]["width"].asUInt(), 704u);
    EXPECT_EQ(reply->body["startMs"].asInt64(), startMs / 1000 * 1000);
    EXPECT_EQ(reply->body["utcOffsetS"].asInt(), utcOffsetSeconds(startMs));

    std::map<std::uint32_t, bool> announced;
    std::map<std::uint32_t, std::int64_t> last;  // per channel, the last frame's time
    std::map<std::uint32_t, int> frames;
    std::int64_t previous = 0;
    for (int i = 0; i < 600; ++i) {
        const auto r = receive(*client);
        ASSERT_TRUE(r);
        if (isEvent(*r, proto::kEventVideoProperty)) {
            announced[r->message->body["channel"].asUInt()] = true;
            continue;
        }
        if (!r->frame)
            continue;
        const std::uint32_t channel = r->frame->channel;
        ASSERT_TRUE(announced[channel]) << "a frame of channel " << channel << " before its video property";
        ASSERT_TRUE(media::isVideo(r->frame->kind));
        ASSERT_GE(r->timeMs, previous) << "frames out of time order";
        previous = r->timeMs;
        const auto spans = spansOf(channel);
        if (!last.count(channel)) {
            EXPECT_EQ(r->frame->kind, media::MediaKind::VideoKey) << "channel " << channel;
            EXPECT_EQ(r->timeMs, expectedFirstFrame(spans, startMs / 1000 * 1000)) << "channel " << channel;
        } else {
            // The next frame of its span, or the first of a later span.
            const auto span = spanAtOrAfter(spans, last[channel] + 40);
            ASSERT_TRUE(span);
            EXPECT_EQ(r->timeMs, std::max(last[channel] + 40, span->startMs));
        }
        last[channel] = r->timeMs;
        ++frames[channel];
    }
    EXPECT_EQ(frames.size(), 2u);
}

TEST_F(RecorderPlayback, SeekLandsOnTheKeyFrameBeforeAndKeyFramesOnlyGivesOnlyThose)
{
    auto client = mediaConnection();
    ASSERT_TRUE(client);
    const auto spans = historyDaySpans(1, yesterday());
    ASSERT_GE(spans.size(), 4u);
    const auto reply = open(*client, openParams({1, 3}, formatCompact(toLocal(spans[0].startMs))));
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->code, 0);

    for (const bool keysOnly : {false, true}) {
        // Seek to 17.72 s into a later span of channel 1 (whole seconds in
        // the text: 17 s), then once more with key frames only.
        const std::int64_t target = (spans[keysOnly ? 3 : 2].startMs + 17720) / 1000 * 1000;
        std::uint32_t id = keysOnly ? 21 : 20;
        if (keysOnly) {
            ASSERT_TRUE(client->sendMessage(proto::Message::request(7, kMethodKeyFramesOnly, [] {
                Json::Value p(Json::objectValue);
                p["on"] = true;
                return p;
            }())));
        }
        Json::Value params(Json::objectValue);
        params["start"] = formatCompact(toLocal(target));
        ASSERT_TRUE(client->sendMessage(proto::Message::request(id, kMethodSeek, params)));
        bool answered = false;
        bool seeked = false;
        std::map<std::uint32_t, std::int64_t> firstAfter;
        int framesAfter = 0;
        for (int i = 0; i < 20000 && framesAfter < 300; ++i) {
            const auto r = receive(*client);
            ASSERT_TRUE(r);
            if (r->message && r->message->kind == proto::MessageKind::Response && r->message->id == id) {
                EXPECT_EQ(r->message->code, 0);
                answered = true;
            } else if (isEvent(*r, kEventSeeked)) {
                ASSERT_TRUE(answered) << "seeked before the seek's answer";
                EXPECT_EQ(r->message->body["id"].asUInt(), id);
                seeked = true;
            } else if (r->frame && seeked) {
                ++framesAfter;
                if (keysOnly) {
                    ASSERT_EQ(r->frame->kind, media::MediaKind::VideoKey);
                }
                if (!firstAfter.count(r->frame->channel))
                    firstAfter[r->frame->channel] = r->timeMs;
            }
        }
        ASSERT_TRUE(seeked);
        ASSERT_TRUE(firstAfter.count(1));
        EXPECT_LE(firstAfter[1], target);
        EXPECT_GT(firstAfter[1], target - 1000);
        EXPECT_EQ(firstAfter[1], expectedFirstFrame(spansOf(1), target));
        if (firstAfter.count(3)) {
            EXPECT_EQ(firstAfter[3], expectedFirstFrame(spansOf(3), target));
        }
    }

    // Every frame again after key frames only.
    Json::Value off(Json::objectValue);
    off["on"] = false;
    ASSERT_TRUE(client->sendMessage(proto::Message::request(30, kMethodKeyFramesOnly, off)));
    Json::Value params(Json::objectValue);
    params["start"] = formatCompact(toLocal(spans[1].startMs));
    ASSERT_TRUE(client->sendMessage(proto::Message::request(31, kMethodSeek, params)));
    bool seeked = false;
    int deltas = 0;
    for (int i = 0; i < 20000 && deltas == 0; ++i) {
        const auto r = receive(*client);
        ASSERT_TRUE(r);
        if (isEvent(*r, kEventSeeked) && r->message->body["id"].asUInt() == 31)
            seeked = true;
        else if (seeked && r->frame && r->frame->kind == media::MediaKind::VideoDelta)
            ++deltas;
    }
    EXPECT_EQ(deltas, 1);
}

TEST_F(RecorderPlayback, TheDayEndsWithPlaybackEnd)
{
    auto client = mediaConnection();
    ASSERT_TRUE(client);
    const TimeRange day = dayRange(yesterday());
    const LocalDateTime late{yesterday(), 23, 59, 50};
    const auto reply = open(*client, openParams({0, 1}, formatCompact(late)));
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->code, 0);
    int frames = 0;
    for (;;) {
        const auto r = receive(*client);
        ASSERT_TRUE(r) << "no playbackEnd after " << frames << " frames";
        if (isEvent(*r, kEventPlaybackEnd))
            break;
        if (r->frame) {
            ++frames;
            EXPECT_LT(r->timeMs, day.endMs);
        }
    }
    EXPECT_LE(frames, 2 * 11 * 25);
    // The connection stays; a seek earlier plays again.
    Json::Value params(Json::objectValue);
    params["start"] = formatCompact(LocalDateTime{yesterday(), 12, 0, 0});
    ASSERT_TRUE(client->sendMessage(proto::Message::request(9, kMethodSeek, params)));
    bool seeked = false;
    for (int i = 0; i < 50; ++i) {
        const auto r = receive(*client);
        ASSERT_TRUE(r);
        if (isEvent(*r, kEventSeeked))
            seeked = true;
        else if (seeked && r->frame)
            break;
    }
    EXPECT_TRUE(seeked);
}

TEST_F(RecorderPlayback, AClientThatDoesNotReadIsNotSentTo)
{
    auto client = mediaConnection();
    ASSERT_TRUE(client);
    const auto reply = open(*client, openParams({0, 1, 2, 3}, formatCompact(LocalDateTime{yesterday(), 0, 0, 0})));
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->code, 0);
    // Sending stops once the socket's buffers and the recorder's queue are full.
    const auto sentBytes = [&] {
        const auto status = httpGet(httpPort(), "/sim/status");
        return status.json["playbacks"].size() == 1 ? status.json["playbacks"][0] : Json::Value();
    };
    std::uint64_t before = 0;
    bool still = false;
    for (int i = 0; i < 100 && !still; ++i) {
        const std::uint64_t now = sentBytes()["bytes"].asUInt64();
        still = now > 0 && now == before;
        before = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(still) << "the recorder kept sending to a client that does not read";
    EXPECT_LE(sentBytes()["queued"].asUInt64(), PlaybackSender::kQueueLimitBytes + 64 * 1024);

    // Reading lets it go on.
    for (int i = 0; i < 3000; ++i)
        ASSERT_TRUE(receive(*client));
    bool more = false;
    for (int i = 0; i < 100 && !more; ++i) {
        more = sentBytes()["bytes"].asUInt64() > before;
        if (!more) {
            ASSERT_TRUE(receive(*client));
        }
    }
    EXPECT_TRUE(more);
}

TEST_F(RecorderPlayback, StallGivesBufferingThenBufferedAndDropCloses)
{
    auto client = mediaConnection();
    ASSERT_TRUE(client);
    const auto reply = open(*client, openParams({2}, formatCompact(LocalDateTime{yesterday(), 6, 0, 0})));
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->code, 0);
    EXPECT_EQ(httpPost(httpPort(), "/sim/playback?action=stall&seconds=0").status, 400);
    EXPECT_EQ(httpPost(httpPort(), "/sim/playback?action=pause").status, 400);
    const auto stall = httpPost(httpPort(), "/sim/playback?action=stall&seconds=1");
    ASSERT_EQ(stall.status, 200);
    EXPECT_EQ(stall.json["stalled"].asUInt(), 1u);
    const auto event = [&](const char* name) {
        for (int i = 0; i < 20000; ++i) {
            const auto r = receive(*client);
            if (!r)
                return false;
            if (isEvent(*r, name))
                return true;
        }
        return false;
    };
    EXPECT_TRUE(event(kEventBuffering));
    EXPECT_TRUE(event(kEventBuffered));

    const auto drop = httpPost(httpPort(), "/sim/playback?action=drop");
    ASSERT_EQ(drop.status, 200);
    EXPECT_EQ(drop.json["dropped"].asUInt(), 1u);
    EXPECT_TRUE(client->closedWithin(3000));
}

TEST_F(RecorderPlayback, AFrozenRecorderSendsNothingAndGoesOnAfter)
{
    auto client = mediaConnection();
    ASSERT_TRUE(client);
    const auto reply = open(*client, openParams({3}, formatCompact(LocalDateTime{yesterday(), 0, 0, 0})));
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->code, 0);
    ASSERT_EQ(httpPost(httpPort(), "/sim/freeze").status, 200);
    // Whatever was on its way arrives; then nothing.
    while (receive(*client, 500)) {
    }
    ASSERT_EQ(httpPost(httpPort(), "/sim/resume").status, 200);
    const auto r = receive(*client);
    EXPECT_TRUE(r && r->frame);
}

TEST_F(RecorderPlayback, TheLoginsEndEndsItsPlaybacks)
{
    auto client = mediaConnection();
    ASSERT_TRUE(client);
    const auto reply = open(*client, openParams({0}, formatCompact(LocalDateTime{yesterday(), 6, 0, 0})));
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->code, 0);
    ASSERT_TRUE(m_control->sendMessage(proto::Message::request(5, proto::kMethodLogout)));
    EXPECT_TRUE(client->closedWithin(3000));
}

TEST_F(RecorderPlayback, RefusesBadOpenRequestsAndBadSeeks)
{
    const std::string good = formatCompact(LocalDateTime{yesterday(), 6, 0, 0});
    struct Case {
        const char* what;
        Json::Value params;
        std::int32_t code;
    };
    std::vector<Case> cases;
    for (const std::string time : {"20261332000000", "20260230120000", "20261208240000", "2026120812000", "x"})
        cases.push_back({"bad time", openParams({0}, time), proto::kDetailBadRequest});
    Json::Value none = openParams({0}, good);
    none["channels"] = Json::arrayValue;
    cases.push_back({"no channels", none, proto::kDetailBadRequest});
    cases.push_back({"duplicate", openParams({1, 1}, good), proto::kDetailBadRequest});
    cases.push_back({"fileType 3", openParams({1}, good, 3), proto::kDetailBadRequest});
    cases.push_back({"channel out of range", openParams({0, kChannels}, good), proto::kDetailNoSuchChannel});
    Json::Value stranger = openParams({0}, good);
    stranger["session"] = "0123456789abcdef";
    cases.push_back({"unknown session", stranger, proto::kDetailNotLoggedIn});
    for (const Case& c : cases) {
        auto client = mediaConnection();
        ASSERT_TRUE(client);
        const auto reply = open(*client, c.params);
        ASSERT_TRUE(reply) << c.what;
        EXPECT_EQ(reply->code, c.code) << c.what;
        EXPECT_TRUE(client->closedWithin(2000)) << c.what;
    }

    // A bad seek is refused; the playback goes on.
    auto client = mediaConnection();
    ASSERT_TRUE(client);
    ASSERT_EQ(open(*client, openParams({0}, good))->code, 0);
    Json::Value params(Json::objectValue);
    params["start"] = "20261208126000";
    ASSERT_TRUE(client->sendMessage(proto::Message::request(3, kMethodSeek, params)));
    bool refused = false;
    for (int i = 0; i < 20000 && !refused; ++i) {
        const auto r = receive(*client);
        ASSERT_TRUE(r);
        if (r->message && r->message->kind == proto::MessageKind::Response && r->message->id == 3) {
            EXPECT_EQ(r->message->code, proto::kDetailBadRequest);
            refused = true;
        }
    }
    EXPECT_TRUE(refused);
    EXPECT_TRUE(receive(*client));
}

TEST(RecorderOptions, HistoryDaysAreZeroToSixty)
{
    for (const auto& [text, days] : std::vector<std::pair<std::string, std::uint32_t>>{{"0", 0}, {"2", 2}, {"60", 60}}) {
        RecorderOptions options;
        std::string message;
        const char* argv[] = {"velk-recorder", "--history-days", text.c_str()};
        ASSERT_EQ(parseOptions(3, argv, options, message), ParseOutcome::Run) << message;
        EXPECT_EQ(options.historyDays, days);
    }
    EXPECT_EQ(RecorderOptions{}.historyDays, 0u);
    for (const char* bad : {"61", "-1", "", "2d"}) {
        RecorderOptions options;
        std::string message;
        const char* argv[] = {"velk-recorder", "--history-days", bad};
        EXPECT_EQ(parseOptions(3, argv, options, message), ParseOutcome::Error) << bad;
        EXPECT_NE(message.find("--history-days"), std::string::npos);
    }
}

TEST(RecorderPlaybackFresh, APlaybackOpenedWhileTheLoopsAreEncodedWaitsForThem)
{
    // Eight channels' loops take a while; the playback of the last one
    // starts before its loop is complete and waits for its pictures.
    RecorderProcess recorder({"--channels", "8", "--history-days", "1", "--heartbeat-timeout-ms", "120000"});
    ASSERT_TRUE(recorder.started()) << recorder.firstLine();
    RawDeviceClient control(recorder.devicePort());
    ASSERT_EQ(control.login("admin", "admin"), 0);
    const auto status = httpGet(recorder.httpPort(), "/sim/status");
    const std::int64_t startMs = status.json["historyStartMs"].asInt64();
    const LocalDate yesterday = addDays(toLocal(startMs).date, -1);
    const RecordSpan span = historyDaySpans(7, yesterday).at(0);

    RawDeviceClient client(recorder.devicePort());
    proto::ClientHello hello;
    hello.role = proto::kRoleMedia;
    ASSERT_TRUE(client.sendMessage(proto::makeHello(hello)));
    ASSERT_TRUE(client.readMessage());
    Json::Value params(Json::objectValue);
    params["session"] = control.sessionToken();
    params["channels"].append(7);
    params["start"] = formatCompact(toLocal(span.startMs));
    ASSERT_TRUE(client.sendMessage(proto::Message::request(1, kMethodOpenPlayback, params)));
    std::int64_t expected = span.startMs;
    for (int frames = 0; frames < 300;) {
        const auto r = receive(client, 10000);
        ASSERT_TRUE(r);
        if (!r->frame)
            continue;
        ASSERT_EQ(r->timeMs, expected);
        EXPECT_EQ(r->frame->kind == media::MediaKind::VideoKey, frames % 25 == 0) << frames;
        expected += 40;
        ++frames;
    }
}

TEST(RecorderPlaybackStored, SearchAndPlaybackTakeStoredRecordingsAfterTheHistory)
{
    // Channel 1 records all day from the start; its history ends there.
    RecorderProcess recorder({"--channels", "2", "--history-days", "1", "--segment-seconds", "2",
                              "--heartbeat-timeout-ms", "120000"});
    ASSERT_TRUE(recorder.started()) << recorder.firstLine();
    std::string allDay = "[";
    for (int day = 0; day < 7; ++day)
        allDay += std::string(day ? "," : "") + "[{\"E\":86399,\"S\":0,\"T\":0}]";
    allDay += "]";
    ASSERT_EQ(nettest::httpRequest(recorder.httpPort(), "PUT", "/api/schedule?channel=1", {}, allDay).status, 200);
    const std::int64_t historyEnd = httpGet(recorder.httpPort(), "/sim/status").json["historyStartMs"].asInt64();
    const LocalDate today = toLocal(historyEnd).date;

    // Wait for two stored segments of today.
    Json::Value spans;
    for (int i = 0; i < 400; ++i) {
        spans = httpGet(recorder.httpPort(), "/api/recordings?channel=1&date=" + formatDate(today)).json["spans"];
        int stored = 0;
        for (const auto& span : spans)
            stored += span["file"].asString().ends_with(".264") ? 1 : 0;
        if (stored >= 2)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::int64_t firstStored = 0;
    std::int64_t previousEnd = 0;
    for (const auto& span : spans) {
        const bool stored = span["file"].asString().ends_with(".264");
        EXPECT_GE(span["startMs"].asInt64(), previousEnd) << "spans overlap";
        previousEnd = span["endMs"].asInt64();
        if (stored && !firstStored)
            firstStored = span["startMs"].asInt64();
        if (!stored) {
            EXPECT_LE(span["endMs"].asInt64(), historyEnd);
        }
        EXPECT_EQ(span["file"].asString().rfind("history/", 0) == 0, !stored);
    }
    ASSERT_GT(firstStored, 0) << "nothing stored";

    // A playback from the first stored second plays the stored frames.
    RawDeviceClient control(recorder.devicePort());
    ASSERT_EQ(control.login("admin", "admin"), 0);
    RawDeviceClient client(recorder.devicePort());
    proto::ClientHello hello;
    hello.role = proto::kRoleMedia;
    ASSERT_TRUE(client.sendMessage(proto::makeHello(hello)));
    ASSERT_TRUE(client.readMessage());
    Json::Value params(Json::objectValue);
    params["session"] = control.sessionToken();
    params["channels"].append(1);
    params["start"] = formatCompact(toLocal(firstStored + 999));
    ASSERT_TRUE(client.sendMessage(proto::Message::request(1, kMethodOpenPlayback, params)));
    std::int64_t previous = 0;
    int frames = 0;
    while (frames < 40) {
        const auto r = receive(client);
        ASSERT_TRUE(r);
        if (!r->frame)
            continue;
        if (frames == 0) {
            EXPECT_EQ(r->frame->kind, media::MediaKind::VideoKey);
            EXPECT_GE(r->timeMs, firstStored);
            EXPECT_LE(r->timeMs, firstStored + 999);
        }
        EXPECT_EQ(r->frame->channel, 1);
        EXPECT_GT(r->timeMs, previous);
        previous = r->timeMs;
        ++frames;
    }
}
