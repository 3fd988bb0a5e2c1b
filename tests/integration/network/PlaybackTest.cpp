// SPDX-License-Identifier: GPL-3.0-or-later
// Playback through libTOVR's entry point against a real velk-recorder with
// generated history: REMOTEPLAY of several channels into one decoder in
// step, FRAMEINFO times, seeks, key frames only, the end of the day,
// back-pressure, buffering, drops, stopping, and malformed commands.
#include "CommandTexts.h"
#include "HttpClient.h"
#include "RecorderProcess.h"
#include "StreamCallbackLog.h"

#include "MIVUStream.h"
#include "TOVR.h"

#include "proto/JsonText.h"
#include "proto/MediaFrame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

using nettest::call;
using nettest::httpGet;
using nettest::httpPost;
using nettest::RecorderProcess;
using nettest::StreamCall;
using Clock = std::chrono::steady_clock;

namespace {

// The recorder's (and these tests') time zone: two hours ahead of UTC, so
// that local texts and UTC frame times differ.
constexpr const char* kTimeZone = "<+02>-2";
constexpr std::int64_t kUtcOffsetMs = 2 * 3600 * 1000;

std::string localText(std::int64_t utcMs)
{
    const std::time_t local = static_cast<std::time_t>(utcMs / 1000) + kUtcOffsetMs / 1000;
    std::tm t{};
    gmtime_r(&local, &t);
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                  t.tm_min, t.tm_sec);
    return text;
}

// "YYYY-MM-DD" of the local day daysBack days before today.
std::string localDate(int daysBack)
{
    const auto nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    const std::string text = localText(nowMs - std::int64_t(daysBack) * 86'400'000);
    return text.substr(0, 4) + "-" + text.substr(4, 2) + "-" + text.substr(6, 2);
}

std::int64_t textToUtcMs(const std::string& text)
{
    std::tm t{};
    t.tm_year = std::stoi(text.substr(0, 4)) - 1900;
    t.tm_mon = std::stoi(text.substr(4, 2)) - 1;
    t.tm_mday = std::stoi(text.substr(6, 2));
    t.tm_hour = std::stoi(text.substr(8, 2));
    t.tm_min = std::stoi(text.substr(10, 2));
    t.tm_sec = std::stoi(text.substr(12, 2));
    return std::int64_t(timegm(&t)) * 1000 - kUtcOffsetMs;
}

std::string remotePlayText(std::uint32_t device, std::uint32_t mask, const Json::Value& windows,
                           const std::string& start, std::uintptr_t userData, std::uint32_t fileType = 2)
{
    Json::Value root;
    root["KEY"] = "REMOTEPLAY";
    Json::Value& p = root["PARAM"];
    p["HDEV"] = device;
    p["CHANNEL"] = mask;
    p["STREAMTYPE"] = 1;
    p["FILETYPE"] = fileType;
    p["CALLBACK"] = Json::UInt64(reinterpret_cast<std::uintptr_t>(&testStreamCallback));
    p["USERDATA"] = Json::UInt64(userData);
    p["HWND"] = windows;
    p["STARTTIME"] = start;
    return velk::proto::writeJson(root);
}

std::string seekText(std::uint32_t play, const std::string& start)
{
    Json::Value root;
    root["KEY"] = "REMOTEPLAYSEEK";
    root["PARAM"]["HPLAY"] = play;
    root["PARAM"]["STARTTIME"] = start;
    return velk::proto::writeJson(root);
}

std::string loseText(std::uint32_t play, std::uint32_t value)
{
    Json::Value root;
    root["KEY"] = "REMOTEPLAYLOSE";
    root["PARAM"]["HPLAY"] = play;
    root["PARAM"]["VAL"] = value;
    return velk::proto::writeJson(root);
}

// Windows nobody registered: the decoder decodes without showing.
Json::Value windowsFor(std::uint32_t mask)
{
    Json::Value windows(Json::arrayValue);
    for (int i = 0; i < std::popcount(mask); ++i)
        windows.append(0x6000 + i);
    return windows;
}

std::vector<StreamCall> ofType(const std::vector<StreamCall>& calls, std::uint32_t type, std::size_t skip = 0)
{
    std::vector<StreamCall> out;
    for (std::size_t i = skip; i < calls.size(); ++i)
        if (calls[i].type == type)
            out.push_back(calls[i]);
    return out;
}

// The TIME texts of the FRAMEINFO callbacks after the first skip calls.
std::vector<std::string> frameInfoTimes(const std::vector<StreamCall>& calls, std::size_t skip = 0)
{
    std::vector<std::string> times;
    for (const auto& c : ofType(calls, TOVR_STREAM_VIDEOPROPERTY, skip)) {
        Json::Value root;
        if (velk::proto::parseJsonObject(c.data, root) && root["KEY"] == "FRAMEINFO")
            times.push_back(root["PARAM"]["TIME"].asString());
    }
    return times;
}

std::vector<std::string> frameInfoTimes(std::uintptr_t user, std::size_t skip = 0)
{
    return frameInfoTimes(nettest::streamCalls(user), skip);
}

bool waitForFrameInfos(std::uintptr_t user, std::size_t count, int timeoutMs, std::size_t skip = 0)
{
    return nettest::waitForStreamCalls(
        user,
        [&](const std::vector<StreamCall>& calls) { return frameInfoTimes(calls, skip).size() >= count; },
        timeoutMs);
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

Json::Value statistics(std::uint32_t playHandle)
{
    char response[1000] = {};
    const std::string text = nettest::handleText("STREAMSTATISTICS", playHandle);
    if (TOVR_JsonCommand(text.c_str(), nullptr, response, sizeof response, nullptr) != 0)
        return Json::Value();
    Json::Value root;
    velk::proto::parseJsonObject(response, root);
    return root["RESPONSE"];
}

MIVU_Statistics decoderStatistics(std::uint32_t decoder, int slot)
{
    MIVU_Statistics s{};
    EXPECT_EQ(MIVU_GetStatistics(decoder, slot, &s), MIVU_OK);
    return s;
}

std::uint64_t playbackTime(std::uint32_t decoder)
{
    std::uint64_t time = 0;
    EXPECT_EQ(MIVU_GetPlaybackTime(decoder, &time), MIVU_OK);
    return time;
}

struct CommonTime {
    std::uint32_t mask = 0;     // two channels
    std::int64_t startMs = 0;   // both record from a minute before to ten minutes after
};

// Two channels that both recorded for a while on the day before yesterday
// (whole, whatever the time now), from the search API.
std::optional<CommonTime> findCommonTime(std::uint16_t httpPort)
{
    const auto reply = httpGet(httpPort, "/api/recordings?date=" + localDate(2));
    const Json::Value& channels = reply.json["channels"];
    constexpr std::int64_t kBefore = 60'000;
    constexpr std::int64_t kAfter = 600'000;
    for (std::uint32_t a = 0; a < 4; ++a) {
        for (std::uint32_t b = a + 1; b < 4; ++b) {
            for (const auto& sa : channels[std::to_string(a)]) {
                for (const auto& sb : channels[std::to_string(b)]) {
                    const std::int64_t from = std::max(sa["startMs"].asInt64(), sb["startMs"].asInt64());
                    const std::int64_t to = std::min(sa["endMs"].asInt64(), sb["endMs"].asInt64());
                    if (to - from >= kBefore + kAfter)
                        return CommonTime{(1u << a) | (1u << b), from + kBefore + 500};  // mid-second
                }
            }
        }
    }
    return std::nullopt;
}

// A logged-in device and the playbacks the test opened on it.
class Device {
public:
    explicit Device(std::uint16_t port) { EXPECT_EQ(call(nettest::loginText(port, "admin", "admin", 950), &m_handle), 0); }
    ~Device()
    {
        for (const auto handle : m_plays)
            call(nettest::handleText("REMOTEPLAYSTOP", handle));
        if (m_handle)
            call(nettest::logoutText(m_handle));
    }
    std::uint32_t handle() const { return m_handle; }
    std::uint32_t play(std::uint32_t mask, const std::string& start, std::uintptr_t user, std::int32_t* result = nullptr,
                       std::uint32_t* detail = nullptr)
    {
        std::uint32_t handle = 0;
        std::uint32_t d = 0;
        const auto r = call(remotePlayText(m_handle, mask, windowsFor(mask), start, user), &handle, &d);
        if (result)
            *result = r;
        if (detail)
            *detail = d;
        if (r == 0 && handle)
            m_plays.push_back(handle);
        return r == 0 ? handle : 0;
    }
    std::int32_t stop(std::uint32_t play)
    {
        std::erase(m_plays, play);
        return call(nettest::handleText("REMOTEPLAYSTOP", play));
    }

private:
    std::uint32_t m_handle = 0;
    std::vector<std::uint32_t> m_plays;
};

std::uint32_t decoderOf(std::uint32_t play)
{
    std::uint32_t decoder = 0;
    EXPECT_EQ(call(nettest::handleText("GETDECODER", play), &decoder), 0);
    return decoder;
}

}  // namespace

class Playback : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ::setenv("TZ", kTimeZone, 1);
        ::tzset();
        s_recorder = std::make_unique<RecorderProcess>(
            std::vector<std::string>{"--user", "admin:admin", "--heartbeat-ms", "200", "--history-days", "3"});
    }
    static void TearDownTestSuite() { s_recorder.reset(); }
    void SetUp() override
    {
        ASSERT_TRUE(s_recorder->started()) << s_recorder->firstLine();
        const auto common = findCommonTime(httpPort());
        ASSERT_TRUE(common) << "no two channels recorded together";
        m_common = *common;
    }

    std::uint16_t port() const { return s_recorder->devicePort(); }
    std::uint16_t httpPort() const { return s_recorder->httpPort(); }

    CommonTime m_common;
    static inline std::unique_ptr<RecorderProcess> s_recorder;
};

TEST_F(Playback, TwoChannelsPlayInStepWithFrameInfoFromTheStart)
{
    Device device(port());
    const std::uintptr_t user = 0x7f0000002000;
    const std::string start = localText(m_common.startMs);
    const std::uint32_t play = device.play(m_common.mask, start, user);
    ASSERT_NE(play, 0u);
    const std::uint32_t decoder = decoderOf(play);
    ASSERT_NE(decoder, 0u);

    // Both sub-pictures, sampled while they play: never more than a frame apart.
    std::uint64_t worst = 0;
    std::uint64_t samples = 0;
    ASSERT_TRUE(waitUntil(
        [&] {
            // A pair read while the second did not change is a true snapshot.
            const auto second = decoderStatistics(decoder, 1).shownFrameTimeMs;
            const auto first = decoderStatistics(decoder, 0).shownFrameTimeMs;
            if (first != 0 && second != 0 && decoderStatistics(decoder, 1).shownFrameTimeMs == second) {
                ++samples;
                worst = std::max(worst, first > second ? first - second : second - first);
            }
            return frameInfoTimes(user).size() >= 3;
        },
        10000));
    EXPECT_GT(samples, 10u);
    EXPECT_LE(worst, 40u);

    const auto calls = nettest::streamCalls(user);
    // The first frame once, as data.
    const auto data = ofType(calls, TOVR_STREAM_DATA);
    ASSERT_EQ(data.size(), 1u);
    const auto frame = media::parseFrame(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(data[0].data.data()), data[0].data.size()));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->kind, media::MediaKind::VideoKey);
    // The picture format of each slot (not of each channel number).
    std::vector<std::string> properties;
    for (const auto& c : ofType(calls, TOVR_STREAM_VIDEOPROPERTY))
        if (c.data.find("VIDEOPROPERTY") != std::string::npos)
            properties.push_back(c.data);
    std::sort(properties.begin(), properties.end());
    EXPECT_EQ(properties, (std::vector<std::string>{
                              R"({"KEY":"VIDEOPROPERTY","PARAM":{"CHANNEL":0,"HEIGHT":576,"WIDTH":704}})",
                              R"({"KEY":"VIDEOPROPERTY","PARAM":{"CHANNEL":1,"HEIGHT":576,"WIDTH":704}})"}));
    // FRAMEINFO: local time, from the key frame at or before the start on,
    // a new second each time.
    const auto times = frameInfoTimes(user);
    ASSERT_GE(times.size(), 3u);
    // From the key frame at or before the start: the whole second before it.
    EXPECT_EQ(times[0], localText(m_common.startMs / 1000 * 1000));
    for (std::size_t i = 1; i < times.size(); ++i)
        EXPECT_GT(times[i], times[i - 1]);
    const std::uint64_t shown = playbackTime(decoder);
    EXPECT_GE(shown, std::uint64_t(textToUtcMs(times.back())));
    EXPECT_EQ(decoderStatistics(decoder, 0).framesDropped, 0u);
    EXPECT_EQ(decoderStatistics(decoder, 1).framesDropped, 0u);
    EXPECT_EQ(statistics(play)["STREAMTYPE"].asUInt(), 0u);
    EXPECT_EQ(device.stop(play), 0);
}

TEST_F(Playback, SeekLandsAtTheKeyFrameAtOrBeforeTheTime)
{
    Device device(port());
    const std::uintptr_t user = 0x3001;
    const std::uint32_t play = device.play(m_common.mask, localText(m_common.startMs), user);
    ASSERT_NE(play, 0u);
    const std::uint32_t decoder = decoderOf(play);
    ASSERT_TRUE(waitForFrameInfos(user, 1, 5000));

    // Five minutes on (and back again), half a second past a whole second.
    for (const std::int64_t target : {m_common.startMs + 300'000, m_common.startMs + 120'000}) {
        const std::size_t before = nettest::streamCalls(user).size();
        ASSERT_EQ(call(seekText(play, localText(target))), 0);
        ASSERT_TRUE(waitForFrameInfos(user, 1, 5000, before));
        const auto after = nettest::streamCalls(user);
        // First data again, before the first FRAMEINFO of the new time.
        EXPECT_EQ(ofType(after, TOVR_STREAM_DATA, before).size(), 1u);
        // The history has a key frame on every whole second: the target is
        // half a second past one, where the pictures start.
        const std::int64_t second = (target / 1000) * 1000;
        EXPECT_EQ(frameInfoTimes(user, before).front(), localText(second));
        EXPECT_GE(std::int64_t(playbackTime(decoder)), second);
        EXPECT_LT(std::int64_t(playbackTime(decoder)), second + 5000);
    }
    // A bad time or handle.
    EXPECT_EQ(call(seekText(play, "20261301000000")), 1);
    EXPECT_EQ(call(seekText(play, "2026120100000")), 1);
    EXPECT_EQ(call(seekText(play + 1000, localText(m_common.startMs))), 1);
    EXPECT_EQ(call(seekText(device.handle(), localText(m_common.startMs))), 1);
}

TEST_F(Playback, KeyFramesOnlyWhileLoseIsOn)
{
    Device device(port());
    const std::uintptr_t user = 0x3101;
    const std::uint32_t play = device.play(m_common.mask, localText(m_common.startMs), user);
    ASSERT_NE(play, 0u);
    const std::uint32_t decoder = decoderOf(play);
    ASSERT_EQ(MIVU_SetSpeed(decoder, 16), MIVU_OK);
    ASSERT_TRUE(waitForFrameInfos(user, 1, 5000));

    // The control switches key frames only on and seeks to where it is.
    EXPECT_EQ(call(loseText(play, 1)), 0);
    ASSERT_EQ(call(seekText(play, localText(m_common.startMs + 60'000))), 0);
    const auto keysAt = [&] { return statistics(play)["KEYFRAMES"].asUInt64(); };
    const auto deltasAt = [&] {
        const auto s = statistics(play);
        return s["FRAMES"].asUInt64() - s["KEYFRAMES"].asUInt64();
    };
    // Frames still on their way from before the seek are dropped; after it
    // only key frames come, for both slots.
    ASSERT_TRUE(waitUntil([&] { return decoderStatistics(decoder, 0).picturesDecoded > 0; }, 5000));
    const std::uint64_t keys = keysAt();
    const std::uint64_t deltas = deltasAt();
    const std::uint64_t decoded0 = decoderStatistics(decoder, 0).framesQueued;
    ASSERT_TRUE(waitUntil([&] { return keysAt() >= keys + 10; }, 10000));
    EXPECT_EQ(deltasAt(), deltas);
    EXPECT_GT(decoderStatistics(decoder, 0).framesQueued, decoded0);
    EXPECT_GT(decoderStatistics(decoder, 1).framesQueued, 0u);

    // Off again: the whole stream.
    EXPECT_EQ(call(loseText(play, 0)), 0);
    ASSERT_TRUE(waitUntil([&] { return deltasAt() > deltas + 25; }, 10000));
    EXPECT_EQ(call(loseText(play, 2)), 1);
    EXPECT_EQ(call(loseText(play + 1000, 1)), 1);
}

TEST_F(Playback, ThePausedDecoderHoldsTheRecorderBackWithoutLosingFrames)
{
    Device device(port());
    const std::uintptr_t user = 0x3201;
    const std::uint32_t play = device.play(m_common.mask, localText(m_common.startMs), user);
    ASSERT_NE(play, 0u);
    const std::uint32_t decoder = decoderOf(play);
    ASSERT_TRUE(waitForFrameInfos(user, 1, 5000));
    ASSERT_EQ(MIVU_Pause(decoder, 1), MIVU_OK);
    // The queue fills and the decoder refuses: the frame is held and offered
    // again, for longer than the buffering time, without a word of buffering.
    // (Generous waits: a loaded machine under the address sanitizer offers
    // the frame again only every few tens of milliseconds.)
    ASSERT_TRUE(waitUntil([&] { return statistics(play)["DECODERREFUSED"].asUInt64() > 100; }, 30000));
    const std::uint64_t frames = statistics(play)["FRAMES"].asUInt64();
    ASSERT_TRUE(waitUntil([&] { return statistics(play)["DECODERREFUSED"].asUInt64() > 200; }, 30000));
    EXPECT_EQ(statistics(play)["FRAMES"].asUInt64(), frames);  // nothing more read meanwhile
    EXPECT_TRUE(ofType(nettest::streamCalls(user), TOVR_STREAM_BUFFERING).empty());

    const std::size_t before = nettest::streamCalls(user).size();
    const std::string paused = frameInfoTimes(user).back();
    ASSERT_EQ(MIVU_Pause(decoder, 0), MIVU_OK);
    ASSERT_TRUE(waitForFrameInfos(user, 2, 5000, before));
    EXPECT_GT(frameInfoTimes(user, before).back(), paused);
    EXPECT_GT(statistics(play)["FRAMES"].asUInt64(), frames);
    EXPECT_EQ(decoderStatistics(decoder, 0).framesDropped, 0u);
    EXPECT_EQ(decoderStatistics(decoder, 1).framesDropped, 0u);
    EXPECT_EQ(statistics(play)["MALFORMED"].asUInt64(), 0u);
}

TEST_F(Playback, TheEndOfTheDayIsReported)
{
    Device device(port());
    const std::uintptr_t user = 0x3301;
    const std::string date = localDate(2);
    const std::string start = date.substr(0, 4) + date.substr(5, 2) + date.substr(8, 2) + "235950";
    const std::uint32_t play = device.play(m_common.mask, start, user);
    ASSERT_NE(play, 0u);
    ASSERT_EQ(MIVU_SetSpeed(decoderOf(play), 16), MIVU_OK);
    ASSERT_TRUE(nettest::waitForStreamCallType(user, TOVR_STREAM_ERROR, 15000));
    const auto errors = ofType(nettest::streamCalls(user), TOVR_STREAM_ERROR);
    EXPECT_EQ(errors.front().kind, unsigned(TOVR_STREAM_ERROR_PLAYBACK_END));
    // The connection stays: a seek plays again.
    const std::size_t before = nettest::streamCalls(user).size();
    ASSERT_EQ(call(seekText(play, localText(m_common.startMs))), 0);
    ASSERT_TRUE(waitForFrameInfos(user, 1, 5000, before));
}

TEST_F(Playback, StallsAreBufferingAndDropsAreLosses)
{
    Device device(port());
    const std::uintptr_t user = 0x3401;
    const std::uint32_t play = device.play(m_common.mask, localText(m_common.startMs), user);
    ASSERT_NE(play, 0u);
    ASSERT_TRUE(waitForFrameInfos(user, 1, 5000));
    // The recorder's notifications come in line with the frames: played
    // fast, the frames already on their way before them are soon through.
    ASSERT_EQ(MIVU_SetSpeed(decoderOf(play), 16), MIVU_OK);
    ASSERT_EQ(httpPost(httpPort(), "/sim/playback?action=stall&seconds=1").status, 200);
    ASSERT_TRUE(nettest::waitForStreamCallType(user, TOVR_STREAM_BUFFERED, 15000));
    {
        const auto calls = nettest::streamCalls(user);
        const auto buffering = std::find_if(calls.begin(), calls.end(),
                                            [](const StreamCall& c) { return c.type == TOVR_STREAM_BUFFERING; });
        const auto buffered = std::find_if(calls.begin(), calls.end(),
                                           [](const StreamCall& c) { return c.type == TOVR_STREAM_BUFFERED; });
        EXPECT_LT(buffering, buffered);
    }
    ASSERT_EQ(httpPost(httpPort(), "/sim/playback?action=drop").status, 200);
    ASSERT_TRUE(nettest::waitForStreamCallType(user, TOVR_STREAM_DEVICE_OFFLINE, 5000));
    // Over: a seek finds no connection.
    EXPECT_EQ(call(seekText(play, localText(m_common.startMs))), 6);
    EXPECT_EQ(device.stop(play), 0);
}

TEST_F(Playback, NoCallbackRunsAfterRemotePlayStopReturns)
{
    Device device(port());
    const std::uintptr_t user = 0x3501;
    // A slow window: callbacks pile up, and each one tells whether it ran
    // after the stop had returned.
    nettest::setStreamCallbackDelayMs(user, 15);
    auto stopped = std::make_shared<std::atomic<bool>>(false);
    auto late = std::make_shared<std::atomic<int>>(0);
    nettest::setStreamCallbackAction(user, [stopped, late](const StreamCall&) {
        if (stopped->load())
            late->fetch_add(1);
    });
    const std::uint32_t play = device.play(m_common.mask, localText(m_common.startMs), user);
    ASSERT_NE(play, 0u);
    ASSERT_TRUE(waitForFrameInfos(user, 1, 5000));
    EXPECT_EQ(device.stop(play), 0);
    stopped->store(true);
    const auto atStop = nettest::streamCalls(user).size();
    // Until the recorder has seen the connection closed, nothing was called.
    ASSERT_TRUE(waitUntil([&] { return httpGet(httpPort(), "/sim/status").json["playbacksOpen"].asUInt() == 0; },
                          5000));
    EXPECT_EQ(late->load(), 0);
    EXPECT_EQ(nettest::streamCalls(user).size(), atStop);
    EXPECT_EQ(device.stop(play), 1);
    EXPECT_EQ(call(nettest::handleText("GETDECODER", play)), 1);
}

TEST_F(Playback, LogoutEndsThePlayback)
{
    const std::uintptr_t user = 0x3601;
    std::uint32_t device = 0;
    ASSERT_EQ(call(nettest::loginText(port(), "admin", "admin", 951), &device), 0);
    std::uint32_t play = 0;
    ASSERT_EQ(call(remotePlayText(device, m_common.mask, windowsFor(m_common.mask), localText(m_common.startMs), user),
                   &play),
              0);
    ASSERT_TRUE(waitForFrameInfos(user, 1, 5000));
    EXPECT_EQ(call(nettest::logoutText(device)), 0);
    ASSERT_TRUE(nettest::waitForStreamCallType(user, TOVR_STREAM_DEVICE_OFFLINE, 3000));
    EXPECT_EQ(call(nettest::handleText("REMOTEPLAYSTOP", play)), 0);
}

TEST_F(Playback, UninitEndsThePlaybackQuietly)
{
    const std::uintptr_t user = 0x3901;
    std::uint32_t device = 0;
    ASSERT_EQ(call(nettest::loginText(port(), "admin", "admin", 953), &device), 0);
    std::uint32_t play = 0;
    ASSERT_EQ(call(remotePlayText(device, m_common.mask, windowsFor(m_common.mask), localText(m_common.startMs), user),
                   &play),
              0);
    ASSERT_TRUE(waitForFrameInfos(user, 1, 5000));
    const std::uint32_t decoder = decoderOf(play);
    ASSERT_EQ(call(R"({"KEY":"UNINIT"})"), 0);
    const auto atUninit = nettest::streamCalls(user).size();
    MIVU_Statistics s{};
    EXPECT_EQ(MIVU_GetStatistics(decoder, 0, &s), MIVU_ERR_HANDLE);
    ASSERT_TRUE(waitUntil([&] { return httpGet(httpPort(), "/sim/status").json["playbacksOpen"].asUInt() == 0; },
                          5000));
    EXPECT_EQ(nettest::streamCalls(user).size(), atUninit);
    EXPECT_EQ(call(nettest::handleText("REMOTEPLAYSTOP", play)), 1);
}

TEST_F(Playback, RefusesMalformedCommandsAndReportsTheRecordersRefusals)
{
    Device device(port());
    const std::string start = localText(m_common.startMs);
    const auto replace = [&](const char* member, const Json::Value& value) {
        Json::Value root;
        velk::proto::parseJsonObject(remotePlayText(device.handle(), 0b101, windowsFor(0b101), start, 1), root);
        if (value.isNull())
            root["PARAM"].removeMember(member);
        else
            root["PARAM"][member] = value;
        return velk::proto::writeJson(root);
    };
    Json::Value oneWindow(Json::arrayValue);
    oneWindow.append(1);
    Json::Value realWindow(Json::arrayValue);
    realWindow.append(1);
    realWindow.append(2.5);
    Json::Value textWindow(Json::arrayValue);
    textWindow.append(1);
    textWindow.append("2");
    for (const auto& text :
         {replace("HDEV", device.handle() + 1000), replace("HDEV", Json::Value()), replace("CHANNEL", 0),
          replace("CHANNEL", -1), replace("CHANNEL", "5"), replace("CHANNEL", 0x1ffff), replace("FILETYPE", 3),
          replace("STREAMTYPE", Json::Value()), replace("CALLBACK", 1.5), replace("USERDATA", -1),
          replace("HWND", oneWindow), replace("HWND", realWindow), replace("HWND", textWindow), replace("HWND", 7),
          replace("HWND", Json::Value()), replace("STARTTIME", "20261232000000"), replace("STARTTIME", "20260229120000"),
          replace("STARTTIME", "2026120112000"), replace("STARTTIME", "202612011200000"),
          replace("STARTTIME", "20261201240000"), replace("STARTTIME", "2026120112x000"),
          replace("STARTTIME", 20261201120000)}) {
        std::uint32_t handle = 0;
        EXPECT_EQ(call(text, &handle), 1) << text;
        EXPECT_EQ(handle, 0u);
    }
    // Without a handle output the playback could never be stopped.
    EXPECT_EQ(call(remotePlayText(device.handle(), 1, windowsFor(1), start, 1), nullptr), 1);
    // A leap day is a real date.
    std::uint32_t detail = 0;
    std::int32_t result = 0;
    const std::uint32_t leap = device.play(1, "20240229120000", 0x3701, &result);
    EXPECT_EQ(result, 0);
    EXPECT_NE(leap, 0u);
    // The recorder's refusal: a channel it does not have.
    EXPECT_EQ(device.play(1u << 20, start, 0x3702, &result, &detail), 0u);
    EXPECT_EQ(result, 7);
    EXPECT_EQ(detail, 0x17u);
    for (const char* key : {"REMOTEPLAYSTOP", "GETDECODER"})
        EXPECT_EQ(call(nettest::handleText(key, 0)), 1) << key;
    EXPECT_EQ(call(nettest::handleText("REMOTEPLAYSTOP", device.handle())), 1);  // a device is no playback
}

TEST(PlaybackNotConnected, RemotePlayOnALostDeviceIsSix)
{
    ::setenv("TZ", kTimeZone, 1);
    ::tzset();
    auto recorder = std::make_unique<RecorderProcess>(std::vector<std::string>{"--heartbeat-ms", "200"});
    ASSERT_TRUE(recorder->started()) << recorder->firstLine();
    std::uint32_t device = 0;
    ASSERT_EQ(call(nettest::loginText(recorder->devicePort(), "admin", "admin", 952), &device), 0);
    recorder->killHard();
    std::int32_t result = 0;
    // Once the device noticed the loss (it reconnects in the background).
    ASSERT_TRUE(waitUntil(
        [&] {
            std::uint32_t play = 0;
            result = call(remotePlayText(device, 1, windowsFor(1), "20261201120000", 0x3801), &play);
            return result != 5;
        },
        5000));
    EXPECT_EQ(result, 6);
    call(nettest::logoutText(device));
}
