// SPDX-License-Identifier: GPL-3.0-or-later
// A real velk-recorder applying channels' overlays: GET/PUT /api/overlay
// (every refusal changes nothing), stored overlays across a restart and a
// damaged file, masks turning black and texts moving in the decoded live
// pictures of both stream types while another channel's stream goes on,
// recordings after a change, and motion alarms from the moving square.
#include "HttpClient.h"
#include "PictureDecoder.h"
#include "RawDeviceClient.h"
#include "RecorderProcess.h"

#include "StoredRecordings.h"

#include "proto/JsonText.h"
#include "proto/MediaFrame.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

using namespace nettest;
namespace fs = std::filesystem;
namespace proto = velk::proto;

namespace {

const std::string kNoCells(64, '0');

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
        char pattern[] = "/tmp/velk-overlay-test-XXXXXX";
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

private:
    fs::path m_path;
};

std::string overlayTarget(std::uint32_t channel)
{
    return "/api/overlay?channel=" + std::to_string(channel);
}

HttpReply putOverlay(const RecorderProcess& recorder, std::uint32_t channel, const std::string& body)
{
    return httpRequest(recorder.httpPort(), "PUT", overlayTarget(channel), {{"Content-Type", "application/json"}},
                       body);
}

Json::Value getOverlay(const RecorderProcess& recorder, std::uint32_t channel)
{
    const HttpReply reply = httpGet(recorder.httpPort(), overlayTarget(channel));
    EXPECT_EQ(reply.status, 200) << reply.body;
    return reply.json;
}

// A motion text with these cells enabled.
std::string motionWith(std::initializer_list<int> cells)
{
    std::array<unsigned, 32> bytes{};
    for (const int cell : cells)
        bytes[std::size_t(cell / 8)] |= 1u << (cell % 8);
    std::string text;
    const char* digits = "0123456789ABCDEF";
    for (const unsigned b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

// One live stream read and decoded picture by picture.
class LiveView {
public:
    LiveView(const RecorderProcess& recorder, const std::string& session, std::uint32_t channel,
             std::uint32_t streamType)
        : m_client(recorder.devicePort())
    {
        const auto opened = m_client.openStream(session, channel, streamType);
        m_open = opened && opened->code == 0;
    }
    bool open() const { return m_open && m_decoder.ready(); }

    // Decodes pictures until one satisfies condition (true) or timeoutMs
    // pass (false).
    bool until(const std::function<bool(const DecodedPicture&)>& condition, int timeoutMs = 20000)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            if (!next())
                return false;
            if (condition(m_decoder.last()))
                return true;
        }
        return false;
    }
    // The next decoded picture; false when the stream ended.
    bool next()
    {
        for (;;) {
            const auto frame = m_client.readFrame(3000);
            if (!frame)
                return false;
            if (frame->type != proto::FrameType::Media)
                continue;
            const auto view = media::parseFrame(std::span<const std::uint8_t>(
                reinterpret_cast<const std::uint8_t*>(frame->payload.data()), frame->payload.size()));
            if (!view || !media::isVideo(view->kind))
                continue;
            ++m_videoFrames;
            if (m_decoder.decode(view->payload))
                return true;
        }
    }
    const DecodedPicture& picture() const { return m_decoder.last(); }
    int decodeErrors() const { return m_decoder.errors(); }
    std::uint64_t videoFrames() const { return m_videoFrames; }

private:
    RawDeviceClient m_client;
    PictureDecoder m_decoder;
    bool m_open = false;
    std::uint64_t m_videoFrames = 0;
};

// The stream of /sim/status for a channel and type.
Json::Value streamStatus(const RecorderProcess& recorder, std::uint32_t channel, std::uint32_t type)
{
    const Json::Value status = httpGet(recorder.httpPort(), "/sim/status").json;
    for (const auto& s : status["streams"])
        if (s["channel"].asUInt() == channel && s["streamType"].asUInt() == type)
            return s;
    return Json::Value();
}

Json::Value loopStatus(const RecorderProcess& recorder, std::uint32_t channel, std::uint32_t type)
{
    const Json::Value status = httpGet(recorder.httpPort(), "/sim/status").json;
    for (const auto& s : status["loops"])
        if (s["channel"].asUInt() == channel && s["streamType"].asUInt() == type)
            return s;
    return Json::Value();
}

// A rectangle of main-stream coordinates in a picture of another size,
// shrunk by a margin (compression blurs the edges of a flat area).
struct Area {
    int x, y, w, h;
};
Area scaled(const DecodedPicture& p, int x, int y, int w, int h, int margin = 3)
{
    const int left = x * p.width / 704 + margin;
    const int top = y * p.height / 576 + margin;
    const int right = (x + w) * p.width / 704 - margin;
    const int bottom = (y + h) * p.height / 576 - margin;
    return Area{left, top, std::max(right - left, 1), std::max(bottom - top, 1)};
}

bool black(const DecodedPicture& p, const Area& a)
{
    return p.meanLuma(a.x, a.y, a.w, a.h) < 22 && p.countBrighter(a.x, a.y, a.w, a.h, 40) == 0;
}

}  // namespace

TEST(RecorderOverlayApi, RoundTripAndEveryRefusal)
{
    RecorderProcess recorder({"--channels", "4"});
    ASSERT_TRUE(recorder.started());
    const std::uint16_t http = recorder.httpPort();

    for (std::uint32_t channel = 0; channel < 4; ++channel) {
        const Json::Value doc = getOverlay(recorder, channel);
        EXPECT_EQ(doc["channel"].asUInt(), channel);
        EXPECT_EQ(doc["width"].asInt(), 704);
        EXPECT_EQ(doc["height"].asInt(), 576);
        EXPECT_EQ(doc["motion"].asString(), kNoCells);
        EXPECT_EQ(doc["masks"].size(), 0u);
        ASSERT_EQ(doc["osd"].size(), 3u);
        EXPECT_EQ(doc["osd"][0]["text"].asString(), "CH0" + std::to_string(channel + 1));
        for (Json::ArrayIndex i = 0; i < 3; ++i)
            EXPECT_EQ(doc["osd"][i]["index"].asUInt(), i);
    }

    const std::string motion = motionWith({0, 75, 179});
    const HttpReply put = putOverlay(recorder, 2,
                                     R"({"motion":")" + motion +
                                         R"(","masks":[{"x":16,"y":32,"width":120,"height":80},{"x":703,"y":575,"width":1,"height":1}],)"
                                         R"("osd":[{"index":2,"text":"Yard","x":24,"y":520,"visible":true},{"index":0,"x":400}]})");
    ASSERT_EQ(put.status, 200) << put.body;
    const Json::Value stored = getOverlay(recorder, 2);
    EXPECT_EQ(put.json, stored);
    EXPECT_EQ(stored["motion"].asString(), motion);
    ASSERT_EQ(stored["masks"].size(), 2u);
    EXPECT_EQ(stored["masks"][1]["x"].asInt(), 703);
    EXPECT_EQ(stored["osd"][2]["text"].asString(), "Yard");
    EXPECT_TRUE(stored["osd"][2]["visible"].asBool());
    EXPECT_EQ(stored["osd"][0]["x"].asInt(), 400);
    EXPECT_EQ(stored["osd"][0]["text"].asString(), "CH03");
    // Other channels are untouched.
    EXPECT_EQ(getOverlay(recorder, 1)["masks"].size(), 0u);
    // A document read back is a valid body.
    EXPECT_EQ(putOverlay(recorder, 2, proto::writeJson(stored)).json, stored);

    const char* refused[] = {
        "",
        "not json",
        "[]",
        R"({"motion":"12"})",
        R"({"motion":"00000000000000000000000000000000000000000000100000000000000000000"})",
        R"({"motion":"0000000000000000000000000000000000000000000010000000000000000000"})",  // cell 180
        R"({"motion":"abcdef0000000000000000000000000000000000000000000000000000000000"})",
        R"({"masks":[{"x":0,"y":0,"width":0,"height":5}]})",
        R"({"masks":[{"x":700,"y":0,"width":5,"height":5}]})",
        R"({"masks":[{"x":0,"y":572,"width":5,"height":5}]})",
        R"({"masks":[{"x":-1,"y":0,"width":5,"height":5}]})",
        R"({"masks":[{"x":0.5,"y":0,"width":5,"height":5}]})",
        R"({"masks":[{"x":1,"y":1,"width":1,"height":1},{"x":1,"y":1,"width":1,"height":1},{"x":1,"y":1,"width":1,"height":1},)"
        R"({"x":1,"y":1,"width":1,"height":1},{"x":1,"y":1,"width":1,"height":1},{"x":1,"y":1,"width":1,"height":1}]})",
        R"({"osd":[{"index":3,"x":0}]})",
        R"({"osd":[{"index":0},{"index":0}]})",
        R"({"osd":[{"index":1,"x":704}]})",
        R"({"osd":[{"index":1,"y":-3}]})",
        R"({"osd":[{"index":2,"text":"This title is much longer than 32"}]})",
        R"({"osd":[{"index":2,"text":null}]})",
        R"({"osd":[{"index":2,"visible":"yes"}]})",
        R"({"masks":[],"osd":[{"index":9}]})",
    };
    for (const char* body : refused) {
        const HttpReply reply = putOverlay(recorder, 2, body);
        EXPECT_EQ(reply.status, 400) << body;
        EXPECT_TRUE(reply.json["error"].isString() && !reply.json["error"].asString().empty()) << reply.body;
        EXPECT_EQ(getOverlay(recorder, 2), stored) << body;
    }

    EXPECT_EQ(putOverlay(recorder, 4, "{}").status, 404);
    EXPECT_EQ(httpGet(http, "/api/overlay?channel=4").status, 404);
    EXPECT_EQ(httpGet(http, "/api/overlay?channel=99999999999").status, 404);
    EXPECT_EQ(httpGet(http, "/api/overlay?channel=abc").status, 400);
    EXPECT_EQ(httpGet(http, "/api/overlay").status, 400);
    EXPECT_EQ(httpGet(http, "/api/overlay?channel=-1").status, 400);
    const HttpReply post = httpPost(http, overlayTarget(2));
    EXPECT_EQ(post.status, 405);

    // The same host and origin checks as every other request: a page of
    // another site changes nothing.
    const std::string body = R"({"masks":[]})";
    EXPECT_EQ(httpRequest(http, "PUT", overlayTarget(2), {{"Origin", "http://evil.example"}}, body).status, 403);
    EXPECT_EQ(httpRequest(http, "PUT", overlayTarget(2), {{"Host", "evil.example"}}, body).status, 403);
    EXPECT_EQ(httpRequest(http, "GET", overlayTarget(2), {{"Host", "evil.example"}}).status, 403);
    EXPECT_EQ(getOverlay(recorder, 2), stored);
    const std::string origin = "http://127.0.0.1:" + std::to_string(http);
    EXPECT_EQ(httpRequest(http, "PUT", overlayTarget(2), {{"Origin", origin}}, body).status, 200);
    EXPECT_EQ(getOverlay(recorder, 2)["masks"].size(), 0u);
}

TEST(RecorderOverlayApi, StoredOverlaysSurviveARestartAndDamagedFilesGiveDefaults)
{
    DataFolder data;
    Json::Value stored;
    {
        RecorderProcess recorder({"--data", data.text(), "--channels", "3"});
        ASSERT_TRUE(recorder.started());
        const HttpReply put = putOverlay(recorder, 1,
                                         R"({"motion":")" + motionWith({60, 61}) +
                                             R"(","masks":[{"x":0,"y":0,"width":704,"height":576}],"osd":[{"index":1,"visible":false}]})");
        ASSERT_EQ(put.status, 200) << put.body;
        stored = put.json;
        ASSERT_EQ(putOverlay(recorder, 2, R"({"masks":[{"x":8,"y":8,"width":8,"height":8}]})").status, 200);
        EXPECT_EQ(recorder.stop(), 0);
    }
    EXPECT_TRUE(fs::exists(data.path() / "overlays" / "channel-1.json"));
    {
        RecorderProcess recorder({"--data", data.text(), "--channels", "3"});
        ASSERT_TRUE(recorder.started());
        EXPECT_EQ(getOverlay(recorder, 1), stored);
        EXPECT_EQ(getOverlay(recorder, 0)["masks"].size(), 0u);
        EXPECT_EQ(recorder.stop(), 0);
    }
    // Damaged: the recorder starts with the defaults for that channel and
    // keeps the others.
    std::ofstream(data.path() / "overlays" / "channel-2.json", std::ios::trunc) << "{\"masks\":[{\"x\":";
    {
        RecorderProcess recorder({"--data", data.text(), "--channels", "3"});
        ASSERT_TRUE(recorder.started());
        EXPECT_EQ(getOverlay(recorder, 2)["masks"].size(), 0u);
        EXPECT_EQ(getOverlay(recorder, 2)["osd"][0]["text"].asString(), "CH03");
        EXPECT_EQ(getOverlay(recorder, 1), stored);
        // A save mends it.
        ASSERT_EQ(putOverlay(recorder, 2, R"({"motion":")" + motionWith({1}) + R"("})").status, 200);
        EXPECT_EQ(recorder.stop(), 0);
    }
    RecorderProcess recorder({"--data", data.text(), "--channels", "3"});
    ASSERT_TRUE(recorder.started());
    EXPECT_EQ(getOverlay(recorder, 2)["motion"].asString(), motionWith({1}));
}

TEST(RecorderOverlayPictures, MasksTurnBlackInBothStreamTypesWhileAnotherChannelGoesOn)
{
    RecorderProcess recorder({"--channels", "2", "--heartbeat-timeout-ms", "120000"});
    ASSERT_TRUE(recorder.started());
    RawDeviceClient control(recorder.devicePort());
    ASSERT_EQ(control.login("admin", "admin"), 0);
    LiveView main(recorder, control.sessionToken(), 0, 0);
    LiveView sub(recorder, control.sessionToken(), 0, 1);
    ASSERT_TRUE(main.open() && sub.open());

    // Channel 1 is watched all along by its own thread.
    LiveView other(recorder, control.sessionToken(), 1, 0);
    ASSERT_TRUE(other.open());
    ASSERT_TRUE(other.next());
    ASSERT_TRUE(waitFor([&] { return loopStatus(recorder, 1, 0)["ready"].asUInt() == 250; }));
    const std::uint64_t otherSkippedBefore = streamStatus(recorder, 1, 0)["skippedTicks"].asUInt64();
    std::atomic<bool> stopOther{false};
    std::atomic<std::uint64_t> otherPictures{0};
    std::thread otherReader([&] {
        while (!stopOther && other.next())
            ++otherPictures;
    });

    // Each case's masks lie where the one before had none.
    const std::vector<std::vector<Area>> cases = {
        {{200, 120, 160, 96}},
        {{600, 500, 104, 76}, {0, 130, 41, 27}, {333, 271, 37, 35}},  // an edge, odd sizes
        {{0, 0, 704, 576}},                                              // the whole picture
    };
    for (const auto& masks : cases) {
        std::string body = R"({"masks":[)";
        for (std::size_t i = 0; i < masks.size(); ++i)
            body += (i ? "," : "") + std::string(R"({"x":)") + std::to_string(masks[i].x) + R"(,"y":)" +
                    std::to_string(masks[i].y) + R"(,"width":)" + std::to_string(masks[i].w) + R"(,"height":)" +
                    std::to_string(masks[i].h) + "}";
        body += "]}";
        // Where a mask meets a text the text stands on top: look beside it.
        const auto areaOf = [](const DecodedPicture& p, const Area& m) {
            if (m.w == 704)
                return scaled(p, 0, 120, 704, 300);
            return scaled(p, m.x, m.y, m.w, m.h);
        };
        ASSERT_TRUE(main.next() && sub.next());
        for (const Area& m : masks) {
            EXPECT_FALSE(black(main.picture(), areaOf(main.picture(), m))) << body;
            EXPECT_FALSE(black(sub.picture(), areaOf(sub.picture(), m))) << body;
        }
        const HttpReply put = putOverlay(recorder, 0, body);
        ASSERT_EQ(put.status, 200) << put.body;
        const auto allBlack = [&](const DecodedPicture& p) {
            for (const Area& m : masks)
                if (!black(p, areaOf(p, m)))
                    return false;
            return true;
        };
        EXPECT_TRUE(main.until(allBlack)) << body;
        EXPECT_TRUE(sub.until(allBlack)) << body;
        EXPECT_EQ(main.picture().width, 704);
        EXPECT_EQ(sub.picture().width, 352);
    }
    // The whole picture masked: the moving square is gone from every picture.
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(main.next());
        EXPECT_EQ(main.picture().countBrighter(0, 120, 704, 300, 120), 0);
    }

    stopOther = true;
    otherReader.join();
    EXPECT_GT(otherPictures.load(), 25u);
    EXPECT_EQ(other.decodeErrors(), 0);
    EXPECT_EQ(main.decodeErrors(), 0);
    EXPECT_EQ(sub.decodeErrors(), 0);
    // The other channel's stream never missed a tick, and its loop was never
    // encoded again; channel 0's streams moved to each new loop.
    EXPECT_EQ(streamStatus(recorder, 1, 0)["skippedTicks"].asUInt64(), otherSkippedBefore);
    EXPECT_EQ(loopStatus(recorder, 1, 0)["reencodes"].asUInt64(), 0u);
    EXPECT_EQ(streamStatus(recorder, 1, 0)["loopsAdopted"].asUInt64(), 0u);
    EXPECT_GE(streamStatus(recorder, 0, 0)["loopsAdopted"].asUInt64(), 3u);
    EXPECT_GE(loopStatus(recorder, 0, 1)["reencodes"].asUInt64(), 3u);
}

TEST(RecorderOverlayPictures, MovedTextsAreDrawnAtTheirNewPlaces)
{
    RecorderProcess recorder({"--channels", "1", "--heartbeat-timeout-ms", "120000"});
    ASSERT_TRUE(recorder.started());
    RawDeviceClient control(recorder.devicePort());
    ASSERT_EQ(control.login("admin", "admin"), 0);
    LiveView main(recorder, control.sessionToken(), 0, 0);
    LiveView sub(recorder, control.sessionToken(), 0, 1);
    ASSERT_TRUE(main.open() && sub.open());

    // Text is luma 235, the square 220, the background at most 128.
    const auto textAt = [](const DecodedPicture& p, int x, int y, int w, int h) {
        const Area a = scaled(p, x, y, w, h, 0);
        return p.countBrighter(a.x, a.y, a.w, a.h, 180);
    };
    for (LiveView* view : {&main, &sub}) {
        ASSERT_TRUE(view->next());
        EXPECT_GT(textAt(view->picture(), 16, 8, 180, 56), 50);     // the channel name
        EXPECT_GT(textAt(view->picture(), 16, 504, 300, 56), 50);   // the clock
        EXPECT_EQ(textAt(view->picture(), 400, 100, 200, 56), 0);
        EXPECT_EQ(textAt(view->picture(), 300, 150, 200, 56), 0);
    }
    const HttpReply put = putOverlay(
        recorder, 0,
        R"({"osd":[{"index":0,"x":400,"y":100},{"index":1,"visible":false},{"index":2,"text":"Yard","x":304,"y":160,"visible":true}]})");
    ASSERT_EQ(put.status, 200) << put.body;
    for (LiveView* view : {&main, &sub}) {
        EXPECT_TRUE(view->until([&](const DecodedPicture& p) {
            return textAt(p, 400, 100, 200, 56) > 50 && textAt(p, 16, 8, 180, 56) == 0 &&
                   textAt(p, 16, 504, 300, 56) == 0 && textAt(p, 304, 160, 150, 56) > 50;
        })) << view->picture().width;
        EXPECT_EQ(view->decodeErrors(), 0);
    }
}

TEST(RecorderOverlayPictures, RecordingsAfterAChangeShowTheMask)
{
    DataFolder data;
    fs::create_directories(data.path() / "schedules");
    std::ofstream(data.path() / "schedules" / "channel-0.json")
        << "[[{\"E\":86399,\"S\":0,\"T\":0}],[{\"E\":86399,\"S\":0,\"T\":0}],[{\"E\":86399,\"S\":0,\"T\":0}],"
           "[{\"E\":86399,\"S\":0,\"T\":0}],[{\"E\":86399,\"S\":0,\"T\":0}],[{\"E\":86399,\"S\":0,\"T\":0}],"
           "[{\"E\":86399,\"S\":0,\"T\":0}]]";
    RecorderProcess recorder({"--data", data.text(), "--channels", "1"});
    ASSERT_TRUE(recorder.started());
    const auto written = [&] {
        return httpGet(recorder.httpPort(), "/sim/status").json["recording"]["channels"][0]["framesWritten"].asUInt64();
    };
    ASSERT_TRUE(waitFor([&] { return written() > 50; }));
    const auto nowMs = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    const std::int64_t before = nowMs();
    ASSERT_EQ(putOverlay(recorder, 0, R"({"masks":[{"x":200,"y":120,"width":160,"height":96}]})").status, 200);
    ASSERT_TRUE(waitFor([&] { return loopStatus(recorder, 0, 0)["reencodes"].asUInt64() >= 1; }));
    const std::int64_t after = nowMs();
    // Two seconds more: a key frame of the new loop, flushed and indexed.
    const std::uint64_t writtenAtSwap = written();
    ASSERT_TRUE(waitFor([&] { return written() > writtenAtSwap + 100; }));

    velk::recorder::StoredRecordings stored(data.path(), 1);
    stored.load();
    const auto lastPicture = [&](std::int64_t from, std::int64_t to) {
        PictureDecoder decoder;
        auto reader = stored.openReader(0, from, to, velk::recorder::RecordTypeFilter::All);
        int frames = 0;
        bool firstKey = false;
        while (reader) {
            const auto frame = reader->next();
            if (!frame)
                break;
            if (frames++ == 0)
                firstKey = frame->key;
            const auto view = media::parseFrame(frame->bytes);
            if (view && media::isVideo(view->kind))
                decoder.decode(view->payload);
        }
        EXPECT_TRUE(firstKey);
        EXPECT_GT(frames, 0);
        EXPECT_EQ(decoder.errors(), 0) << frames;
        return decoder.last();
    };
    const DecodedPicture old = lastPicture(before - 1500, before);
    ASSERT_EQ(old.width, 704);
    EXPECT_FALSE(black(old, scaled(old, 200, 120, 160, 96)));
    const DecodedPicture masked = lastPicture(after + 1500, after + 2500);
    ASSERT_EQ(masked.width, 704);
    EXPECT_TRUE(black(masked, scaled(masked, 200, 120, 160, 96)));
}

TEST(RecorderOverlayAlarms, TheMovingSquareRaisesMotionAlarmsInEnabledCellsOnly)
{
    DataFolder data;
    fs::create_directories(data.path() / "schedules");
    std::ofstream(data.path() / "schedules" / "channel-0.json")
        << "[[{\"E\":86399,\"S\":0,\"T\":1}],[{\"E\":86399,\"S\":0,\"T\":1}],[{\"E\":86399,\"S\":0,\"T\":1}],"
           "[{\"E\":86399,\"S\":0,\"T\":1}],[{\"E\":86399,\"S\":0,\"T\":1}],[{\"E\":86399,\"S\":0,\"T\":1}],"
           "[{\"E\":86399,\"S\":0,\"T\":1}]]";
    RecorderProcess recorder({"--data", data.text(), "--channels", "3", "--heartbeat-timeout-ms", "120000"});
    ASSERT_TRUE(recorder.started());
    RawDeviceClient control(recorder.devicePort());
    ASSERT_EQ(control.login("admin", "admin"), 0);

    // Channel 0: the left and right ends of the square's path (row 5);
    // channel 1: the whole top row, which the square never reaches;
    // channel 2: nothing.
    ASSERT_EQ(putOverlay(recorder, 0, R"({"motion":")" + motionWith({75, 89}) + R"("})").status, 200);
    ASSERT_EQ(putOverlay(recorder, 1,
                         R"({"motion":")" + motionWith({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}) + R"("})")
                  .status,
              200);
    // Motion cells alone do not change pictures: no loop is encoded again.
    EXPECT_EQ(loopStatus(recorder, 0, 0)["reencoding"].asBool(), false);

    // Three alarms begin on channel 0: at one end, the other, and the first
    // again, so the square has gone its whole way meanwhile.
    int begun = 0;
    int ended = 0;
    bool sawActive = false;
    bool recordedAlarm = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (begun < 3 && std::chrono::steady_clock::now() < deadline) {
        const auto message = control.readMessage(3000);
        if (!message || message->name != "alarm")
            continue;
        EXPECT_EQ(message->body["channel"].asUInt(), 0u) << proto::writeJson(message->body);
        EXPECT_EQ(message->body["kind"].asString(), "motion");
        const bool active = message->body["active"].asBool();
        // Begin and end alternate.
        EXPECT_EQ(active, begun == ended);
        if (active) {
            ++begun;
            const Json::Value status = httpGet(recorder.httpPort(), "/sim/status").json;
            for (const auto& a : status["alarms"])
                sawActive = sawActive || (a["channel"].asUInt() == 0 && a["kind"].asString() == "motion");
            recordedAlarm = recordedAlarm || waitFor([&] {
                                return httpGet(recorder.httpPort(), "/sim/status")
                                           .json["recording"]["channels"][0]["type"]
                                           .asString() == "A";
                            });
        } else {
            ++ended;
        }
    }
    EXPECT_EQ(begun, 3);
    EXPECT_GE(ended, 2);
    EXPECT_TRUE(sawActive);
    EXPECT_TRUE(recordedAlarm);

    // Enabled cells removed: the alarm ends and no other begins.
    ASSERT_EQ(putOverlay(recorder, 0, R"({"motion":")" + kNoCells + R"("})").status, 200);
    if (begun > ended) {
        const auto message = control.readMessage(5000);
        ASSERT_TRUE(message);
        EXPECT_EQ(message->name, "alarm");
        EXPECT_FALSE(message->body["active"].asBool());
    }
    EXPECT_TRUE(waitFor([&] { return httpGet(recorder.httpPort(), "/sim/status").json["alarms"].size() == 0; }));
}

TEST(RecorderOverlayPictures, TheGeneratedHistoryKeepsItsLoopAfterAChange)
{
    RecorderProcess recorder({"--channels", "2", "--history-days", "1"});
    ASSERT_TRUE(recorder.started());
    const std::uint16_t http = recorder.httpPort();
    // A day surely within the history: twelve hours before it ends.
    const std::int64_t endMs = httpGet(http, "/sim/status").json["historyStartMs"].asInt64();
    ASSERT_GT(endMs, 0);
    const std::time_t then = static_cast<std::time_t>(endMs / 1000 - 12 * 3600);
    std::tm local{};
    localtime_r(&then, &local);
    char date[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", &local);
    const auto sizes = [&] {
        std::vector<std::uint64_t> result;
        const Json::Value found = httpGet(http, std::string("/api/recordings?channel=0&date=") + date).json;
        for (const auto& span : found["spans"])
            result.push_back(span["size"].asUInt64());
        return result;
    };
    // Sizes are counted once the history's loop is encoded.
    ASSERT_TRUE(waitFor([&] {
        const auto s = sizes();
        return !s.empty() && s.front() > 0;
    }));
    const std::vector<std::uint64_t> before = sizes();
    const std::uint64_t loopBytesBefore = loopStatus(recorder, 0, 0)["bytes"].asUInt64();

    ASSERT_EQ(putOverlay(recorder, 0, R"({"masks":[{"x":0,"y":0,"width":704,"height":576}]})").status, 200);
    ASSERT_TRUE(waitFor([&] { return loopStatus(recorder, 0, 0)["reencodes"].asUInt64() >= 1; }));
    // The live loop is another now (a black picture takes far fewer bytes);
    // the history's is not.
    EXPECT_LT(loopStatus(recorder, 0, 0)["bytes"].asUInt64(), loopBytesBefore);
    EXPECT_EQ(sizes(), before);
}
