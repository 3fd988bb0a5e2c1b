// SPDX-License-Identifier: GPL-3.0-or-later
// Live streams through libTOVR's entry point against a real velk-recorder:
// REALPLAY and its data, stopping, many streams at once, the decoder, type
// switches, key frame requests, refusals, and what happens when the
// recorder drops, hangs, vanishes or sends garbage.
#include "CommandTexts.h"
#include "DeviceCallbackLog.h"
#include "HttpClient.h"
#include "RecorderProcess.h"
#include "StreamCallbackLog.h"

#include "MIVUStream.h"
#include "TOVR.h"

#include "proto/JsonText.h"
#include "proto/MediaFrame.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <chrono>
#include <memory>
#include <set>
#include <span>
#include <thread>

using nettest::call;
using nettest::httpGet;
using nettest::httpPost;
using nettest::RecorderProcess;
using nettest::StreamCall;
using Clock = std::chrono::steady_clock;

namespace {

std::optional<media::FrameView> parse(const StreamCall& c)
{
    return media::parseFrame(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(c.data.data()), c.data.size()));
}

std::vector<StreamCall> ofType(const std::vector<StreamCall>& calls, std::uint32_t type)
{
    std::vector<StreamCall> out;
    for (const auto& c : calls)
        if (c.type == type)
            out.push_back(c);
    return out;
}

// Waits for count data blocks after the first skip calls.
bool waitForData(std::uintptr_t userData, std::size_t count, int timeoutMs, std::size_t skip = 0)
{
    return nettest::waitForStreamCalls(
        userData,
        [&](const std::vector<StreamCall>& calls) {
            std::size_t data = 0;
            for (std::size_t i = skip; i < calls.size(); ++i)
                data += calls[i].type == TOVR_STREAM_DATA ? 1 : 0;
            return data >= count;
        },
        timeoutMs);
}

// Waits for a key frame block after the first skip calls.
bool waitForKeyFrame(std::uintptr_t userData, int timeoutMs, std::size_t skip = 0)
{
    return nettest::waitForStreamCalls(
        userData,
        [&](const std::vector<StreamCall>& calls) {
            for (std::size_t i = skip; i < calls.size(); ++i)
                if (calls[i].type == TOVR_STREAM_DATA && !calls[i].data.empty() &&
                    calls[i].data[0] == char(media::MediaKind::VideoKey))
                    return true;
            return false;
        },
        timeoutMs);
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

bool waitForStatus(std::uint16_t httpPort, const char* member, unsigned value, int timeoutMs = 5000)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        if (httpGet(httpPort, "/sim/status").json[member].asUInt() == value)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// A logged-in device of a recorder, and the streams the test opened on it.
class Device {
public:
    Device(std::uint16_t port, const std::string& user = "admin", const std::string& password = "admin")
    {
        EXPECT_EQ(call(nettest::loginText(port, user, password, 900), &m_handle), 0);
    }
    ~Device()
    {
        for (const auto handle : m_streams)
            call(nettest::handleText("REALPLAYSTOP", handle));
        if (m_handle)
            call(nettest::logoutText(m_handle));
    }
    std::uint32_t handle() const { return m_handle; }
    // REALPLAY; the play handle, or 0 (result and detail in the outputs).
    std::uint32_t open(std::int32_t channel, std::int32_t streamType, std::uintptr_t userData, std::uint32_t window = 0,
                       std::int32_t* result = nullptr, std::uint32_t* detail = nullptr)
    {
        std::uint32_t handle = 0;
        std::uint32_t d = 0;
        const auto r = call(nettest::realPlayText(m_handle, channel, streamType, userData, window), &handle, &d);
        if (result)
            *result = r;
        if (detail)
            *detail = d;
        if (r == 0 && handle)
            m_streams.push_back(handle);
        return r == 0 ? handle : 0;
    }
    std::int32_t stop(std::uint32_t playHandle)
    {
        std::erase(m_streams, playHandle);
        return call(nettest::handleText("REALPLAYSTOP", playHandle));
    }

private:
    std::uint32_t m_handle = 0;
    std::vector<std::uint32_t> m_streams;
};

}  // namespace

class Live : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_recorder = std::make_unique<RecorderProcess>(std::vector<std::string>{
            "--user", "admin:admin", "--user", "guest:pw", "--heartbeat-ms", "200", "--substream-off", "3"});
    }
    static void TearDownTestSuite() { s_recorder.reset(); }
    void SetUp() override { ASSERT_TRUE(s_recorder->started()) << s_recorder->firstLine(); }

    std::uint16_t port() const { return s_recorder->devicePort(); }
    std::uint16_t httpPort() const { return s_recorder->httpPort(); }

    static inline std::unique_ptr<RecorderProcess> s_recorder;
};

TEST_F(Live, RealPlayDeliversWholeContainerFramesStartingWithAKeyFrame)
{
    Device device(port());
    const std::uintptr_t user = 0x7f0000001000;  // pointer-sized user data comes back unchanged
    const auto before = std::chrono::system_clock::now();
    const std::uint32_t play = device.open(2, 0, user);
    ASSERT_NE(play, 0u);
    ASSERT_TRUE(waitForData(user, 30, 5000));

    const auto calls = nettest::streamCalls(user);
    // The picture's size comes first, in the window's own words.
    ASSERT_EQ(calls.front().type, unsigned(TOVR_STREAM_VIDEOPROPERTY));
    EXPECT_EQ(calls.front().data, R"({"KEY":"VIDEOPROPERTY","PARAM":{"CHANNEL":2,"HEIGHT":576,"WIDTH":704}})");
    const auto data = ofType(calls, TOVR_STREAM_DATA);
    ASSERT_GE(data.size(), 30u);
    std::set<std::uint16_t> sequences;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const auto frame = parse(data[i]);
        ASSERT_TRUE(frame) << i;
        EXPECT_EQ(frame->totalBytes, data[i].data.size());
        EXPECT_EQ(frame->channel, 2);
        EXPECT_EQ(frame->streamType, 0);
        ASSERT_TRUE(frame->time) << i;
        // The time item is the wall-clock time the recorder sent it.
        const auto sent = std::chrono::system_clock::time_point(std::chrono::seconds(frame->time->seconds) +
                                                                std::chrono::milliseconds(frame->time->milliseconds));
        EXPECT_GE(sent, before - std::chrono::milliseconds(1));
        EXPECT_LE(sent, data[i].at + std::chrono::milliseconds(1));
        EXPECT_LT(data[i].at - sent, std::chrono::milliseconds(1000));
        if (frame->kind == media::MediaKind::VideoKey) {
            ASSERT_TRUE(frame->video);
            EXPECT_EQ(frame->video->width, 704);
            EXPECT_EQ(frame->video->height, 576);
        }
        sequences.insert(frame->sequence);
        EXPECT_NE(data[i].thread, std::this_thread::get_id());
    }
    EXPECT_EQ(data.front().data[0], char(media::MediaKind::VideoKey));
    EXPECT_EQ(sequences.size(), data.size());
    const auto stats = statistics(play);
    EXPECT_GE(stats["FRAMES"].asUInt64(), 30u);
    EXPECT_GE(stats["AUDIOFRAMES"].asUInt64(), 10u);
    EXPECT_EQ(stats["MALFORMED"].asUInt64(), 0u);

    // Without a window there is no decoder: result 0 with handle 0.
    std::uint32_t decoder = 123;
    EXPECT_EQ(call(nettest::handleText("GETDECODER", play), &decoder), 0);
    EXPECT_EQ(decoder, 0u);
}

TEST_F(Live, NoCallbackRunsAfterRealPlayStopReturns)
{
    Device device(port());
    const std::uintptr_t user = 0x2001;
    nettest::setStreamCallbackDelayMs(user, 15);  // a slow window: callbacks pile up
    const std::uint32_t play = device.open(1, 0, user);
    ASSERT_NE(play, 0u);
    ASSERT_TRUE(waitForData(user, 5, 5000));
    EXPECT_EQ(device.stop(play), 0);
    const auto atStop = nettest::streamCalls(user).size();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(nettest::streamCalls(user).size(), atStop);
    EXPECT_EQ(device.stop(play), 1);
    EXPECT_EQ(call(nettest::handleText("GETDECODER", play), nullptr), 1);
    EXPECT_TRUE(waitForStatus(httpPort(), "streamsOpen", 0));
}

TEST_F(Live, SixteenChannelsOpenedFromSixteenThreadsAtOnce)
{
    Device device(port());
    std::vector<std::uint32_t> plays(16);
    std::vector<std::int32_t> results(16, -1);
    std::vector<std::thread> threads;
    const std::uintptr_t base = 0x3000;
    for (int channel = 0; channel < 16; ++channel)
        threads.emplace_back([&, channel] {
            std::uint32_t handle = 0;
            results[channel] = call(nettest::realPlayText(device.handle(), channel, 0, base + channel), &handle);
            plays[channel] = handle;
        });
    for (auto& thread : threads)
        thread.join();
    std::set<std::uint32_t> distinct;
    for (int channel = 0; channel < 16; ++channel) {
        EXPECT_EQ(results[channel], 0) << channel;
        distinct.insert(plays[channel]);
    }
    EXPECT_EQ(distinct.size(), 16u);
    EXPECT_EQ(distinct.count(0), 0u);
    for (int channel = 0; channel < 16; ++channel) {
        EXPECT_TRUE(waitForKeyFrame(base + channel, 5000)) << channel;
        const auto data = ofType(nettest::streamCalls(base + channel), TOVR_STREAM_DATA);
        ASSERT_FALSE(data.empty());
        EXPECT_EQ(parse(data.front())->channel, channel);
    }
    EXPECT_TRUE(waitForStatus(httpPort(), "streamsOpen", 16));
    for (const auto play : plays)
        EXPECT_EQ(call(nettest::handleText("REALPLAYSTOP", play)), 0);
    EXPECT_TRUE(waitForStatus(httpPort(), "streamsOpen", 0));
}

TEST_F(Live, AStreamOnAWindowFeedsItsDecoder)
{
    Device device(port());
    const std::uintptr_t user = 0x4001;
    // A window handle nobody registered: the decoder decodes without showing.
    const std::uint32_t play = device.open(4, 1, user, 0x5eed);
    ASSERT_NE(play, 0u);
    std::uint32_t decoder = 0;
    ASSERT_EQ(call(nettest::handleText("GETDECODER", play), &decoder), 0);
    ASSERT_NE(decoder, 0u);
    MIVU_Statistics stats{};
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
        ASSERT_EQ(MIVU_GetStatistics(decoder, 0, &stats), MIVU_OK);
        if (stats.picturesDecoded >= 5)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_GE(stats.picturesDecoded, 5u);
    EXPECT_EQ(stats.width, 352);
    EXPECT_EQ(stats.height, 288);
    // Another stream type goes on in the same decoder at its own size.
    EXPECT_EQ(call(nettest::switchStreamText(play, 2)), 0);
    EXPECT_TRUE(waitUntil(
        [&] { return MIVU_GetStatistics(decoder, 0, &stats) == MIVU_OK && stats.width == 176 && stats.height == 144; },
        5000));
    EXPECT_EQ(stats.decodeErrors, 0u);
    // Stopping the stream closes its decoder.
    EXPECT_EQ(device.stop(play), 0);
    EXPECT_EQ(MIVU_GetStatistics(decoder, 0, &stats), MIVU_ERR_HANDLE);
}

TEST_F(Live, SwitchingTheStreamTypeFromEitherSide)
{
    Device device(port());
    const std::uintptr_t user = 0x5001;
    const std::uint32_t play = device.open(6, 0, user);
    ASSERT_NE(play, 0u);
    ASSERT_TRUE(waitForKeyFrame(user, 5000));

    // The client asks: the new size, then a key frame of the new type.
    std::size_t seen = nettest::streamCalls(user).size();
    EXPECT_EQ(call(nettest::switchStreamText(play, 1)), 0);
    ASSERT_TRUE(waitForKeyFrame(user, 3000, seen));
    auto calls = nettest::streamCalls(user);
    bool sawProperty = false;
    for (std::size_t i = seen; i < calls.size(); ++i) {
        if (calls[i].type == TOVR_STREAM_VIDEOPROPERTY) {
            EXPECT_EQ(calls[i].data, R"({"KEY":"VIDEOPROPERTY","PARAM":{"CHANNEL":6,"HEIGHT":288,"WIDTH":352}})");
            sawProperty = true;
        }
        if (calls[i].type == TOVR_STREAM_DATA && calls[i].data[0] == char(media::MediaKind::VideoKey)) {
            EXPECT_TRUE(sawProperty);
            EXPECT_EQ(parse(calls[i])->streamType, 1);
            EXPECT_EQ(parse(calls[i])->video->width, 352);
            break;
        }
        EXPECT_NE(calls[i].type, unsigned(TOVR_STREAM_TYPE_CHANGED));  // the caller knows
    }

    // The recorder switches: type 9 with the new type.
    seen = nettest::streamCalls(user).size();
    const auto reply = httpPost(httpPort(), "/sim/streamtype?channel=6&type=2");
    EXPECT_EQ(reply.json["streamsSwitched"].asUInt(), 1u);
    ASSERT_TRUE(nettest::waitForStreamCallType(user, TOVR_STREAM_TYPE_CHANGED, 3000, seen));
    ASSERT_TRUE(waitForKeyFrame(user, 3000, seen));
    calls = nettest::streamCalls(user);
    for (std::size_t i = seen; i < calls.size(); ++i) {
        if (calls[i].type == TOVR_STREAM_TYPE_CHANGED) {
            EXPECT_EQ(calls[i].kind, 2u);
        }
    }
    EXPECT_EQ(statistics(play)["STREAMTYPE"].asUInt(), 2u);

    EXPECT_EQ(call(nettest::switchStreamText(play, 3)), 1);
    EXPECT_EQ(call(nettest::switchStreamText(play + 1000, 0)), 1);
    EXPECT_EQ(httpPost(httpPort(), "/sim/streamtype?channel=3&type=1").status, 409);  // no sub stream there
}

TEST_F(Live, RequestIFrameSendsAKeyFrameAtOnce)
{
    Device device(port());
    const std::uintptr_t user = 0x6001;
    const std::uint32_t play = device.open(7, 0, user);
    ASSERT_NE(play, 0u);
    ASSERT_TRUE(waitForData(user, 10, 5000));
    // Key frames come every second by themselves: each request must be
    // answered well within that.
    for (int round = 0; round < 3; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds(130 * round));
        const std::size_t seen = nettest::streamCalls(user).size();
        const auto asked = std::chrono::system_clock::now();
        EXPECT_EQ(call(nettest::requestKeyFrameText(device.handle(), 0, 1u << 7)), 0);
        ASSERT_TRUE(waitForKeyFrame(user, 1000, seen));
        const auto calls = nettest::streamCalls(user);
        for (std::size_t i = seen; i < calls.size(); ++i)
            if (calls[i].type == TOVR_STREAM_DATA && calls[i].data[0] == char(media::MediaKind::VideoKey)) {
                EXPECT_LT(calls[i].at - asked, std::chrono::milliseconds(250)) << round;
                break;
            }
    }
    EXPECT_EQ(call(nettest::requestKeyFrameText(play, 0, 1u << 7)), 1);  // HPLAY names the device
    EXPECT_EQ(call(R"({"KEY":"REQUESTIFRAME","PARAM":{"HPLAY":1}})"), 1);
}

TEST_F(Live, DeniedChannelsAndSubStreamsThatAreNotEncoded)
{
    Device guest(port(), "guest", "pw");
    const std::uintptr_t user = 0x7001;
    const std::uint32_t play = guest.open(5, 0, user);
    ASSERT_NE(play, 0u);
    ASSERT_TRUE(waitForData(user, 3, 5000));
    // Denied while playing: error kind 18, and the stream is over.
    EXPECT_EQ(httpPost(httpPort(), "/sim/deny?user=guest&channel=5").json["streamsEnded"].asUInt(), 1u);
    ASSERT_TRUE(nettest::waitForStreamCallType(user, TOVR_STREAM_ERROR, 3000));
    EXPECT_EQ(ofType(nettest::streamCalls(user), TOVR_STREAM_ERROR).front().kind, 18u);
    EXPECT_EQ(guest.stop(play), 0);
    // Denied when opening: 7 with the detail.
    std::int32_t result = 0;
    std::uint32_t detail = 0;
    EXPECT_EQ(guest.open(5, 0, 0x7002, 0, &result, &detail), 0u);
    EXPECT_EQ(result, 7);
    EXPECT_EQ(detail, unsigned(TOVR_STREAM_ERROR_NO_RIGHT));
    httpPost(httpPort(), "/sim/allow?user=guest&channel=5");
    EXPECT_NE(guest.open(5, 0, 0x7003), 0u);

    // Channel 3 encodes no sub stream: the play handle is made, the callback says why nothing plays.
    const std::uintptr_t sub = 0x7004;
    const std::uint32_t subPlay = guest.open(3, 1, sub);
    ASSERT_NE(subPlay, 0u);
    ASSERT_TRUE(nettest::waitForStreamCallType(sub, TOVR_STREAM_ERROR, 3000));
    const auto subCalls = nettest::streamCalls(sub);
    ASSERT_EQ(subCalls.size(), 1u);
    EXPECT_EQ(subCalls[0].kind, 28u);
    // Its main stream plays; switching it to the sub stream is refused with the detail.
    const std::uint32_t mainPlay = guest.open(3, 0, 0x7005);
    ASSERT_NE(mainPlay, 0u);
    std::uint32_t switchDetail = 0;
    EXPECT_EQ(call(nettest::switchStreamText(mainPlay, 1), nullptr, &switchDetail), 7);
    EXPECT_EQ(switchDetail, 28u);

    // A sub stream switched off while it plays: error kind 28.
    const std::uintptr_t later = 0x7006;
    ASSERT_NE(guest.open(4, 1, later), 0u);
    ASSERT_TRUE(waitForData(later, 2, 5000));
    EXPECT_EQ(httpPost(httpPort(), "/sim/substream?channel=4&encoded=0").json["streamsEnded"].asUInt(), 1u);
    ASSERT_TRUE(nettest::waitForStreamCallType(later, TOVR_STREAM_ERROR, 3000));
    EXPECT_EQ(ofType(nettest::streamCalls(later), TOVR_STREAM_ERROR).front().kind, 28u);
    httpPost(httpPort(), "/sim/substream?channel=4&encoded=1");

    // Channels the recorder does not have.
    EXPECT_EQ(guest.open(16, 0, 0x7007, 0, &result, &detail), 0u);
    EXPECT_EQ(result, 7);
    EXPECT_EQ(detail, 0x17u);
}

TEST_F(Live, TheWindowMayStopItsStreamFromTheCallback)
{
    Device guest(port(), "guest", "pw");
    const std::uintptr_t user = 0x7101;
    std::atomic<std::uint32_t> play{0};
    std::atomic<int> stopResult{-1};
    nettest::setStreamCallbackAction(user, [&](const StreamCall& c) {
        if (c.type == TOVR_STREAM_ERROR)
            stopResult = call(nettest::handleText("REALPLAYSTOP", play.load()));
    });
    play = guest.open(8, 0, user);
    ASSERT_NE(play.load(), 0u);
    ASSERT_TRUE(waitForData(user, 2, 5000));
    httpPost(httpPort(), "/sim/deny?user=guest&channel=8");
    ASSERT_TRUE(waitUntil([&] { return stopResult.load() != -1; }, 3000));
    EXPECT_EQ(stopResult.load(), 0);
    EXPECT_EQ(guest.stop(play), 1);
    httpPost(httpPort(), "/sim/allow?user=guest&channel=8");
    nettest::setStreamCallbackAction(user, nullptr);
}

TEST_F(Live, MalformedFramesAreDroppedAndCounted)
{
    Device device(port());
    const std::uintptr_t user = 0x8001;
    const std::uint32_t play = device.open(9, 2, user);
    ASSERT_NE(play, 0u);
    ASSERT_TRUE(waitForData(user, 3, 5000));
    for (const char* kind : {"truncated", "magic", "items"})
        EXPECT_EQ(httpPost(httpPort(), std::string("/sim/garbage?channel=9&kind=") + kind).json["streams"].asUInt(), 1u);
    const std::size_t seen = nettest::streamCalls(user).size();
    ASSERT_TRUE(waitForData(user, 10, 3000, seen));  // the stream goes on
    waitUntil([&] { return statistics(play)["MALFORMED"].asUInt64() >= 3; }, 3000);
    EXPECT_EQ(statistics(play)["MALFORMED"].asUInt64(), 3u);
    EXPECT_EQ(statistics(play)["RECONNECTS"].asUInt64(), 0u);
    EXPECT_EQ(statistics(play)["SOURCELOSSES"].asUInt64(), 0u);
    for (const auto& c : ofType(nettest::streamCalls(user), TOVR_STREAM_DATA))
        EXPECT_TRUE(parse(c));
    EXPECT_EQ(httpPost(httpPort(), "/sim/garbage?channel=9&kind=other").status, 400);
}

TEST_F(Live, RefusesMalformedCommands)
{
    Device device(port());
    const auto replace = [&](const char* member, const Json::Value& value) {
        Json::Value root;
        velk::proto::parseJsonObject(nettest::realPlayText(device.handle(), 0, 0, 1), root);
        if (value.isNull())
            root["PARAM"].removeMember(member);
        else
            root["PARAM"][member] = value;
        return velk::proto::writeJson(root);
    };
    for (const auto& text : {replace("HDEV", device.handle() + 1000), replace("HDEV", Json::Value()),
                             replace("CHANNEL", -1), replace("CHANNEL", 256), replace("CHANNEL", "0"),
                             replace("STREAMTYPE", 3), replace("STREAMTYPE", -1), replace("CALLBACK", 1.5),
                             replace("USERDATA", -1), replace("HWND", Json::UInt64(1) << 32),
                             replace("HWND", Json::Value())}) {
        std::uint32_t handle = 0;
        EXPECT_EQ(call(text, &handle), 1) << text;
        EXPECT_EQ(handle, 0u);
    }
    // A stream without a handle output could never be stopped.
    EXPECT_EQ(call(nettest::realPlayText(device.handle(), 0, 0, 1), nullptr), 1);
    for (const char* key : {"REALPLAYSTOP", "GETDECODER", "STREAMSTATISTICS"})
        EXPECT_EQ(call(nettest::handleText(key, 0)), 1) << key;
    std::uint32_t out = 0;
    EXPECT_EQ(call(nettest::handleText("GETDECODER", device.handle()), &out), 1);  // a device is no stream
    EXPECT_EQ(call(nettest::handleText("REALPLAYSTOP", device.handle())), 1);
    // A response buffer too small for the statistics.
    const std::uint32_t play = device.open(0, 2, 0x8101);
    ASSERT_NE(play, 0u);
    char tiny[8];
    EXPECT_EQ(TOVR_JsonCommand(nettest::handleText("STREAMSTATISTICS", play).c_str(), nullptr, tiny, sizeof tiny,
                               nullptr),
              1);
}

TEST_F(Live, LogoutEndsTheDevicesStreams)
{
    const std::uintptr_t user = 0x8201;
    std::uint32_t device = 0;
    ASSERT_EQ(call(nettest::loginText(port(), "admin", "admin", 901), &device), 0);
    std::uint32_t play = 0;
    ASSERT_EQ(call(nettest::realPlayText(device, 10, 1, user), &play), 0);
    ASSERT_TRUE(waitForData(user, 2, 5000));
    EXPECT_EQ(call(nettest::logoutText(device)), 0);
    ASSERT_TRUE(nettest::waitForStreamCallType(user, TOVR_STREAM_DEVICE_OFFLINE, 3000));
    EXPECT_EQ(call(nettest::handleText("REALPLAYSTOP", play)), 0);
}

// The faults below change the whole recorder, so each has its own.
class LiveFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_recorder = std::make_unique<RecorderProcess>(std::vector<std::string>{"--heartbeat-ms", "200"});
        ASSERT_TRUE(m_recorder->started()) << m_recorder->firstLine();
    }
    std::unique_ptr<RecorderProcess> m_recorder;
};

TEST_F(LiveFaults, DroppedStreamsReconnectByThemselves)
{
    Device device(m_recorder->devicePort());
    const std::uintptr_t user = 0x9001;
    const std::uint32_t play = device.open(0, 0, user);
    ASSERT_NE(play, 0u);
    ASSERT_TRUE(waitForData(user, 5, 5000));
    const std::size_t seen = nettest::streamCalls(user).size();
    const auto dropped = Clock::now();
    EXPECT_GE(httpPost(m_recorder->httpPort(), "/sim/drop").json["dropped"].asUInt(), 2u);
    ASSERT_TRUE(nettest::waitForStreamCallType(user, TOVR_STREAM_CONNECTION_LOST, 3000, seen));
    // Data again, starting with a key frame, within a couple of seconds.
    ASSERT_TRUE(waitForData(user, 3, 3000, seen));
    EXPECT_LT(Clock::now() - dropped, std::chrono::seconds(3));
    const auto calls = nettest::streamCalls(user);
    std::size_t lost = seen;
    while (calls[lost].type != TOVR_STREAM_CONNECTION_LOST)
        ++lost;
    for (std::size_t i = lost + 1; i < calls.size(); ++i)
        if (calls[i].type == TOVR_STREAM_DATA) {
            EXPECT_EQ(calls[i].data[0], char(media::MediaKind::VideoKey));
            break;
        }
    EXPECT_EQ(ofType(calls, TOVR_STREAM_CONNECTION_LOST).size(), 1u);
    EXPECT_EQ(statistics(play)["RECONNECTS"].asUInt64(), 1u);
}

// Every loss is recovered, not only the first: the reconnect state starts
// afresh each time the stream is back.
TEST_F(LiveFaults, StreamsComeBackAfterEachOfSeveralDrops)
{
    Device device(m_recorder->devicePort());
    const std::uintptr_t user = 0x9011;
    const std::uint32_t play = device.open(5, 0, user);
    ASSERT_NE(play, 0u);
    ASSERT_TRUE(waitForData(user, 5, 5000));
    for (unsigned drop = 1; drop <= 3; ++drop) {
        SCOPED_TRACE(drop);
        const std::size_t seen = nettest::streamCalls(user).size();
        EXPECT_GE(httpPost(m_recorder->httpPort(), "/sim/drop").json["dropped"].asUInt(), 2u);
        ASSERT_TRUE(nettest::waitForStreamCallType(user, TOVR_STREAM_CONNECTION_LOST, 3000, seen));
        ASSERT_TRUE(waitForKeyFrame(user, 4000, seen));
        ASSERT_TRUE(waitForData(user, 3, 4000, seen));
        EXPECT_EQ(statistics(play)["RECONNECTS"].asUInt64(), drop);
    }
    EXPECT_EQ(ofType(nettest::streamCalls(user), TOVR_STREAM_DEVICE_OFFLINE).size(), 0u);
    EXPECT_EQ(device.stop(play), 0);
}

// A recorder that dies (kill -9, a power cut) closes every connection at
// once, media and control. The stream is reported lost at once and offline
// when it is not back within the offline time, even though the device's
// own loss arrives while the stream already reconnects.
TEST_F(LiveFaults, AKilledRecorderIsReportedOfflineInTime)
{
    Device device(m_recorder->devicePort());
    const std::uintptr_t user = 0x9051;
    const std::uint32_t play = device.open(3, 0, user);
    ASSERT_NE(play, 0u);
    ASSERT_TRUE(waitForData(user, 3, 5000));
    const std::size_t seen = nettest::streamCalls(user).size();
    const auto killed = Clock::now();
    m_recorder->killHard();
    ASSERT_TRUE(nettest::waitForStreamCallType(user, TOVR_STREAM_CONNECTION_LOST, 3000, seen));
    // Offline time 1.5 s here; a stream that waits for its device for ever
    // would never say so.
    ASSERT_TRUE(nettest::waitForStreamCallType(user, TOVR_STREAM_DEVICE_OFFLINE, 8000, seen));
    EXPECT_LT(Clock::now() - killed, std::chrono::seconds(5));
    const auto calls = nettest::streamCalls(user);
    EXPECT_EQ(ofType(calls, TOVR_STREAM_DEVICE_OFFLINE).size(), 1u);
    EXPECT_EQ(calls.back().type, unsigned(TOVR_STREAM_DEVICE_OFFLINE));
    EXPECT_EQ(device.stop(play), 0);
}

TEST_F(LiveFaults, AHungRecorderIsReportedOffline)
{
    Device device(m_recorder->devicePort());
    const std::uintptr_t user = 0x9101;
    const std::uint32_t play = device.open(1, 2, user);
    ASSERT_NE(play, 0u);
    ASSERT_TRUE(waitForData(user, 3, 5000));
    const auto frozen = Clock::now();
    httpPost(m_recorder->httpPort(), "/sim/freeze");
    // Silence counts as a loss after the heartbeat timeout (1 s here), and
    // the device as offline when the stream is not back 1.5 s later.
    ASSERT_TRUE(nettest::waitForStreamCallType(user, TOVR_STREAM_DEVICE_OFFLINE, 6000));
    EXPECT_LT(Clock::now() - frozen, std::chrono::milliseconds(5000));
    const auto calls = nettest::streamCalls(user);
    EXPECT_EQ(ofType(calls, TOVR_STREAM_CONNECTION_LOST).size(), 1u);
    EXPECT_EQ(ofType(calls, TOVR_STREAM_DEVICE_OFFLINE).size(), 1u);
    EXPECT_EQ(calls.back().type, unsigned(TOVR_STREAM_DEVICE_OFFLINE));
    httpPost(m_recorder->httpPort(), "/sim/resume");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(nettest::streamCalls(user).size(), calls.size());  // over: nothing more
    EXPECT_EQ(device.stop(play), 0);
}

TEST_F(LiveFaults, ARecorderThatVanishesAndComesBack)
{
    const std::uint16_t port = m_recorder->devicePort();
    Device device(port);
    const std::uintptr_t user = 0x9201;
    const std::uint32_t play = device.open(2, 1, user);
    ASSERT_NE(play, 0u);
    ASSERT_TRUE(waitForData(user, 3, 5000));
    const std::size_t seen = nettest::streamCalls(user).size();
    m_recorder->stop();
    ASSERT_TRUE(nettest::waitForStreamCallType(user, TOVR_STREAM_CONNECTION_LOST, 3000, seen));
    // The same recorder again on the same port, soon enough.
    m_recorder = std::make_unique<RecorderProcess>(
        std::vector<std::string>{"--heartbeat-ms", "200", "--port", std::to_string(port)});
    ASSERT_TRUE(m_recorder->started()) << m_recorder->firstLine();
    ASSERT_TRUE(waitForKeyFrame(user, 4000, seen));
    EXPECT_EQ(ofType(nettest::streamCalls(user), TOVR_STREAM_DEVICE_OFFLINE).size(), 0u);
    EXPECT_EQ(device.stop(play), 0);
}

TEST_F(LiveFaults, UninitEndsEveryStreamQuietly)
{
    Device device(m_recorder->devicePort());
    const std::uintptr_t user = 0x9301;
    ASSERT_NE(device.open(3, 0, user), 0u);
    ASSERT_NE(device.open(4, 0, user + 1), 0u);
    ASSERT_TRUE(waitForData(user, 2, 5000));
    EXPECT_EQ(call(R"({"KEY":"UNINIT"})"), 0);
    const std::size_t atUninit = nettest::streamCalls(user).size();
    EXPECT_TRUE(waitForStatus(m_recorder->httpPort(), "connections", 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(nettest::streamCalls(user).size(), atUninit);
    for (const auto& c : nettest::streamCalls(user))
        EXPECT_TRUE(c.type == TOVR_STREAM_DATA || c.type == TOVR_STREAM_VIDEOPROPERTY) << c.type;
}
