// SPDX-License-Identifier: GPL-3.0-or-later
// velk-recorder's clip downloads on media connections, against a real
// recorder with a day of generated history, driven by raw device-protocol
// clients: the answer's size, the frames of the range from its key frame,
// several at once, refusals, and the slow-start, fail and drop faults.
#include "HttpClient.h"
#include "RawDeviceClient.h"
#include "RecorderProcess.h"

#include "DeviceTime.h"
#include "HistoryRecordings.h"

#include "proto/DetailCode.h"
#include "proto/Hello.h"
#include "proto/MediaFrame.h"
#include "proto/StreamMessages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

using namespace velk::recorder;
using nettest::httpGet;
using nettest::httpPost;
using nettest::RawDeviceClient;
using nettest::RecorderProcess;
namespace proto = velk::proto;

namespace {

constexpr std::uint32_t kChannels = 2;
constexpr int kDays = 1;

// What one download brought: the answer, the frames' bytes in order, and
// how it ended.
struct Download {
    std::optional<proto::Message> answer;
    std::vector<std::string> frames;
    std::uint64_t bytes = 0;
    bool ended = false;       // downloadEnd came
    bool failed = false;      // downloadError came
    std::int32_t errorCode = 0;
};

class RecorderDownload : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_recorder = std::make_unique<RecorderProcess>(std::vector<std::string>{
            "--channels", std::to_string(kChannels), "--history-days", std::to_string(kDays),
            "--heartbeat-timeout-ms", "120000"});
        if (!s_recorder->started())
            return;
        for (int i = 0; i < 600 && s_startMs == 0; ++i) {
            s_startMs = httpGet(s_recorder->httpPort(), "/sim/status").json["historyStartMs"].asInt64();
            if (s_startMs == 0)
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
    void TearDown() override
    {
        // Faults of one test do not reach the next.
        httpPost(httpPort(), "/sim/download?action=slowstart&seconds=0");
        httpPost(httpPort(), "/sim/download?action=pace&kib=0");
    }

    std::uint16_t httpPort() const { return s_recorder->httpPort(); }

    // Yesterday's first span of the channel at least this long.
    static std::optional<RecordSpan> longSpan(std::uint32_t channel, std::int64_t minMs)
    {
        const LocalDate yesterday = addDays(toLocal(s_startMs).date, -1);
        for (const RecordSpan& span : historyDaySpans(channel, yesterday))
            if (span.endMs - span.startMs >= minMs)
                return span;
        return std::nullopt;
    }

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

    bool sendOpen(RawDeviceClient& client, const std::string& file, std::int64_t fromMs, std::int64_t toMs,
                  const std::string& session = {})
    {
        Json::Value params(Json::objectValue);
        params["session"] = session.empty() ? m_control->sessionToken() : session;
        params["file"] = file;
        params["start"] = formatCompact(toLocal(fromMs));
        params["end"] = formatCompact(toLocal(toMs));
        return client.sendMessage(proto::Message::request(1, proto::kMethodOpenDownload, params));
    }

    // Reads a download to its end (downloadEnd, downloadError or close).
    static Download receiveAll(RawDeviceClient& client, int timeoutMs = 20000)
    {
        Download d;
        while (auto frame = client.readFrame(timeoutMs)) {
            if (frame->type == proto::FrameType::Media) {
                d.bytes += frame->payload.size();
                d.frames.push_back(std::move(frame->payload));
                continue;
            }
            const auto message = proto::decodeMessage(frame->payload);
            if (!message)
                break;
            if (message->kind == proto::MessageKind::Response) {
                d.answer = message;
                if (message->code != 0)
                    break;
            } else if (message->name == proto::kEventDownloadEnd) {
                d.ended = true;
                break;
            } else if (message->name == proto::kEventDownloadError) {
                d.failed = true;
                d.errorCode = message->body["code"].asInt();
                break;
            }
        }
        return d;
    }

    static inline std::unique_ptr<RecorderProcess> s_recorder;
    static inline std::int64_t s_startMs = 0;
    std::unique_ptr<RawDeviceClient> m_control;
};

std::int64_t frameTime(const std::string& bytes)
{
    const auto view = media::parseFrame(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    if (!view || !view->time)
        return -1;
    return std::int64_t(view->time->seconds) * 1000 + view->time->milliseconds;
}

}  // namespace

TEST_F(RecorderDownload, ClipsComeWholeFromTheirKeyFrameAndAlikeSideBySide)
{
    for (const std::uint32_t channel : {0u, 1u}) {
        const auto span = longSpan(channel, 60'000);
        ASSERT_TRUE(span) << "channel " << channel;
        // A start between key frames, on a whole second of device time.
        const std::int64_t fromMs = (span->startMs + 13'700) / 1000 * 1000;
        const std::int64_t toMs = fromMs + 7'000;
        const std::int64_t sinceStart = fromMs - span->startMs;
        const std::int64_t firstExpected = span->startMs + (sinceStart / 40 - (sinceStart / 40) % 25) * 40;

        auto a = mediaConnection();
        auto b = mediaConnection();
        ASSERT_TRUE(a && b);
        ASSERT_TRUE(sendOpen(*a, span->fileName, fromMs, toMs));
        ASSERT_TRUE(sendOpen(*b, span->fileName, fromMs, toMs));
        const Download first = receiveAll(*a);
        const Download second = receiveAll(*b);
        ASSERT_TRUE(first.answer && first.answer->code == 0) << "channel " << channel;
        ASSERT_TRUE(first.ended);
        EXPECT_EQ(first.answer->body["bytes"].asUInt64(), first.bytes);
        EXPECT_EQ(first.answer->body["frames"].asUInt64(), first.frames.size());
        EXPECT_EQ(first.answer->body["channel"].asUInt(), channel);
        ASSERT_FALSE(first.frames.empty());
        EXPECT_EQ(frameTime(first.frames.front()), firstExpected);
        // Every frame up to and with the end second, one frame interval apart.
        EXPECT_EQ(frameTime(first.frames.back()), toMs + 1000 - 40);
        EXPECT_EQ(first.frames.size(), std::size_t((toMs + 1000 - firstExpected) / 40));
        EXPECT_TRUE(second.ended);
        EXPECT_EQ(first.frames, second.frames);
    }
}

TEST_F(RecorderDownload, RefusalsCloseTheConnection)
{
    const auto span = longSpan(0, 60'000);
    ASSERT_TRUE(span);
    struct Case {
        const char* what;
        std::string file;
        std::int64_t fromMs;
        std::int64_t toMs;
        std::string session;
        std::int32_t code;
    };
    const std::vector<Case> cases = {
        {"no such file", span->fileName + "x", span->startMs, span->startMs + 5000, {}, proto::kDetailBadRequest},
        {"end before start", span->fileName, span->startMs + 5000, span->startMs, {}, proto::kDetailBadRequest},
        {"unknown session", span->fileName, span->startMs, span->startMs + 5000, "00ff", proto::kDetailNotLoggedIn},
    };
    for (const Case& c : cases) {
        auto client = mediaConnection();
        ASSERT_TRUE(client);
        ASSERT_TRUE(sendOpen(*client, c.file, c.fromMs, c.toMs, c.session));
        const auto answer = client->readMessage();
        ASSERT_TRUE(answer) << c.what;
        EXPECT_EQ(answer->code, c.code) << c.what;
        EXPECT_TRUE(client->closedWithin(5000)) << c.what;
    }

    // A channel the user may not view.
    ASSERT_EQ(httpPost(httpPort(), "/sim/deny?user=admin&channel=0").status, 200);
    auto client = mediaConnection();
    ASSERT_TRUE(client);
    ASSERT_TRUE(sendOpen(*client, span->fileName, span->startMs, span->startMs + 5000));
    const auto answer = client->readMessage();
    httpPost(httpPort(), "/sim/allow?user=admin&channel=0");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->code, proto::kDetailNoRight);
}

TEST_F(RecorderDownload, SlowStartHoldsTheAnswerBack)
{
    const auto span = longSpan(1, 60'000);
    ASSERT_TRUE(span);
    // The recorder holds downloads back for a second from when it is told
    // to, which is after this moment.
    const auto opened = std::chrono::steady_clock::now();
    ASSERT_EQ(httpPost(httpPort(), "/sim/download?action=slowstart&seconds=1").status, 200);
    auto client = mediaConnection();
    ASSERT_TRUE(client);
    ASSERT_TRUE(sendOpen(*client, span->fileName, span->startMs, span->startMs + 2000));
    const Download d = receiveAll(*client);
    // The recorder guarantees the lower bound; nothing is assumed above it.
    EXPECT_GE(std::chrono::steady_clock::now() - opened, std::chrono::milliseconds(1000));
    ASSERT_TRUE(d.answer && d.answer->code == 0);
    EXPECT_TRUE(d.ended);
}

TEST_F(RecorderDownload, APacedDownloadComesSlowlyAndWholeOnceTheLimitIsLifted)
{
    const auto span = longSpan(0, 120'000);
    ASSERT_TRUE(span);
    const auto paced = httpPost(httpPort(), "/sim/download?action=pace&kib=8");
    ASSERT_EQ(paced.status, 200);
    EXPECT_EQ(paced.json["kib"].asUInt(), 8u);
    EXPECT_EQ(httpPost(httpPort(), "/sim/download?action=pace&kib=x").status, 400);
    auto client = mediaConnection();
    ASSERT_TRUE(client);
    ASSERT_TRUE(sendOpen(*client, span->fileName, span->startMs, span->startMs + 100'000));
    const auto answer = client->readMessage(20000);
    ASSERT_TRUE(answer && answer->code == 0);
    const std::uint64_t total = answer->body["bytes"].asUInt64();
    ASSERT_GT(total, 200'000u);  // a hundred seconds: far more than a few seconds at 8 KiB/s

    // Some frames come, then the limit holds the rest back.
    std::uint64_t got = 0;
    std::uint64_t frames = 0;
    while (got < 16 * 1024) {
        auto frame = client->readFrame(10000);
        ASSERT_TRUE(frame && frame->type == proto::FrameType::Media);
        got += frame->payload.size();
        ++frames;
    }
    EXPECT_LT(got, total);

    // Lifted: the open download runs to its end with every byte it announced.
    const auto lifted = httpPost(httpPort(), "/sim/download?action=pace&kib=0");
    EXPECT_EQ(lifted.json["paced"].asUInt(), 1u);
    const Download rest = receiveAll(*client);
    EXPECT_TRUE(rest.ended);
    EXPECT_EQ(got + rest.bytes, total);
    EXPECT_EQ(frames + rest.frames.size(), answer->body["frames"].asUInt64());
}

TEST_F(RecorderDownload, FailEndsTheDownloadMidwayWithAnError)
{
    const auto span = longSpan(0, 60'000);
    ASSERT_TRUE(span);
    ASSERT_EQ(httpPost(httpPort(), "/sim/download?action=fail").status, 200);
    auto client = mediaConnection();
    ASSERT_TRUE(client);
    ASSERT_TRUE(sendOpen(*client, span->fileName, span->startMs, span->startMs + 20'000));
    const Download d = receiveAll(*client);
    ASSERT_TRUE(d.answer && d.answer->code == 0);
    EXPECT_TRUE(d.failed);
    EXPECT_FALSE(d.ended);
    EXPECT_EQ(d.errorCode, proto::kDetailInternal);
    EXPECT_LT(d.bytes, d.answer->body["bytes"].asUInt64());
    EXPECT_GT(d.bytes, 0u);
    EXPECT_TRUE(client->closedWithin(5000));

    // The fault was for one download: the next one is whole.
    auto next = mediaConnection();
    ASSERT_TRUE(next);
    ASSERT_TRUE(sendOpen(*next, span->fileName, span->startMs, span->startMs + 3000));
    EXPECT_TRUE(receiveAll(*next).ended);
}

TEST_F(RecorderDownload, DropClosesOpenDownloads)
{
    const auto span = longSpan(1, 600'000);
    ASSERT_TRUE(span);
    auto client = mediaConnection();
    ASSERT_TRUE(client);
    ASSERT_TRUE(sendOpen(*client, span->fileName, span->startMs, span->startMs + 590'000));
    const auto answer = client->readMessage(20000);
    ASSERT_TRUE(answer && answer->code == 0);
    // Ten minutes of video are far more than the connection holds unread,
    // so the download is still open when the drop comes.
    const auto dropped = httpPost(httpPort(), "/sim/download?action=drop");
    ASSERT_EQ(dropped.status, 200);
    EXPECT_EQ(dropped.json["dropped"].asUInt(), 1u);
    const Download d = receiveAll(*client);
    EXPECT_FALSE(d.ended);
    EXPECT_FALSE(d.failed);
    EXPECT_LT(d.bytes, answer->body["bytes"].asUInt64());
}
