// SPDX-License-Identifier: GPL-3.0-or-later
// A camera channel's live stream against a feed and a sink of the test's
// own (no sockets): flow control with big key frames, the catch-up run at
// the start, key frame requests, format changes, type switches, and streams
// that end while the feed is handing a frame out.
#include "CameraFeed.h"
#include "MediaLibrary.h"
#include "StreamSender.h"

#include "proto/FrameCodec.h"
#include "proto/MediaFrame.h"

#include <gtest/gtest.h>

#include <boost/asio.hpp>

#include <functional>
#include <memory>
#include <utility>

using namespace velk::recorder;
namespace proto = velk::proto;

namespace {

constexpr std::uint32_t kChannel = 2;
const CameraFormat kMainFormat{media::VideoCodec::H265, 2688, 1520, 25};
const CameraFormat kSubFormat{media::VideoCodec::H264, 640, 360, 15};

class FakeSink : public StreamSink {
public:
    void sendMessage(const proto::Message& message) override { messages.push_back(message); log.push_back(message.name); }
    void sendMediaFrame(std::string frame) override
    {
        const std::size_t header = proto::encodeFrame(proto::FrameType::Media, "").size();
        const auto view = media::parseFrame(std::span<const std::uint8_t>(
            reinterpret_cast<const std::uint8_t*>(frame.data()) + header, frame.size() - header));
        ASSERT_TRUE(view && view->time);
        const std::int64_t t = std::int64_t(view->time->seconds) * 1000 + view->time->milliseconds;
        times.push_back(t);
        log.push_back(view->kind == media::MediaKind::VideoKey ? "key" : "delta");
        if (growing)
            unsent += frame.size();
        if (onFrame)
            onFrame();
    }
    std::size_t unsentBytes() const override { return unsent; }
    bool frozen() const override { return isFrozen; }

    std::vector<proto::Message> messages;
    std::vector<std::int64_t> times;  // of the frames sent
    std::vector<std::string> log;     // message names and "key"/"delta", in order
    std::size_t unsent = 0;
    bool growing = false;  // every frame sent stays unsent (a client that does not read)
    bool isFrozen = false;
    std::function<void()> onFrame;
};

CameraFrame frame(bool key, std::int64_t wallMs, std::size_t bytes = 1000)
{
    CameraFrame f;
    f.key = key;
    f.wallMs = wallMs;
    auto data = std::make_shared<std::vector<std::uint8_t>>(bytes, 0x55);
    (*data)[0] = (*data)[1] = (*data)[2] = 0;
    (*data)[3] = 1;
    f.annexB = std::move(data);
    return f;
}

class CameraStreamUnit : public ::testing::Test {
protected:
    CameraStreamUnit() { m_feeds.addChannel(kChannel, true); }
    CameraFeed& main() { return *m_feeds.find(kChannel, 0); }
    CameraFeed& sub() { return *m_feeds.find(kChannel, 1); }
    std::shared_ptr<StreamSender> open(FakeSink& sink, std::uint32_t streamType = 0)
    {
        auto sender = std::make_shared<StreamSender>(m_io.get_executor(), m_media, m_feeds, sink, kChannel, streamType);
        sender->start();
        return sender;
    }

    boost::asio::io_context m_io;
    MediaLibrary m_media{0};
    CameraFeeds m_feeds;
};

struct BehindCase {
    std::size_t keyBytes;  // the camera's key frames
    std::size_t unsent;    // what waits on the connection after the key frame
    bool skips;            // whether the deltas then wait for the next key frame
};

class CameraStreamBehind : public CameraStreamUnit, public ::testing::WithParamInterface<BehindCase> {};

// A client is behind past 512 KiB unsent, or past twice the stream's
// biggest key frame when that is more (a 4 MP key frame still in flight
// is no reason to skip the deltas after it), but never past 2 MiB; behind,
// it gets nothing until it has caught up, then the next key frame.
TEST_P(CameraStreamBehind, SkipsWhileBehindAndGoesOnAtAKeyFrame)
{
    const BehindCase& c = GetParam();
    FakeSink sink;
    auto stream = open(sink);
    main().publish(kMainFormat, frame(true, 1000, c.keyBytes));
    sink.unsent = c.unsent;
    main().publish(kMainFormat, frame(false, 1040));
    main().publish(kMainFormat, frame(false, 1080));
    sink.unsent = 0;
    main().publish(kMainFormat, frame(false, 1120));
    main().publish(kMainFormat, frame(true, 1160, c.keyBytes));
    main().publish(kMainFormat, frame(false, 1200));
    const std::vector<std::int64_t> expected = c.skips ? std::vector<std::int64_t>{1000, 1160, 1200}
                                                       : std::vector<std::int64_t>{1000, 1040, 1080, 1120, 1160, 1200};
    EXPECT_EQ(sink.times, expected);
    EXPECT_EQ(stream->counters().skippedTicks, c.skips ? 3u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CameraStreamBehind,
                         ::testing::Values(BehindCase{20000, 600 * 1024, true},
                                           BehindCase{20000, 400 * 1024, false},
                                           BehindCase{700 * 1024, 1200 * 1024, false},
                                           BehindCase{700 * 1024, 1500 * 1024, true},
                                           BehindCase{1500 * 1024, 2100 * 1024, true}));

// A stream opened on a live feed gets the format and every frame since the
// last key frame at once; a client that does not read stops that run
// where it falls behind and goes on at the next key frame.
TEST_F(CameraStreamUnit, CatchUpRunStopsWhereTheClientFallsBehind)
{
    main().publish(kMainFormat, frame(true, 1000, 100000));
    for (int i = 1; i < 20; ++i)
        main().publish(kMainFormat, frame(false, 1000 + 40 * i, 100000));
    FakeSink reading;
    auto readingStream = open(reading);
    ASSERT_EQ(reading.times.size(), 20u);
    EXPECT_EQ(reading.times.front(), 1000);
    EXPECT_EQ(reading.log.front(), proto::kEventVideoProperty);
    EXPECT_EQ(reading.messages.front().body["codec"].asString(), "h265");
    EXPECT_EQ(reading.messages.front().body["width"].asUInt(), 2688u);

    FakeSink stuck;
    stuck.growing = true;
    auto stuckStream = open(stuck);
    // 512 KiB is passed after six frames of about 100 KB; nothing after.
    EXPECT_EQ(stuck.times.size(), 6u);
    main().publish(kMainFormat, frame(false, 1800, 100000));
    EXPECT_EQ(stuck.times.size(), 6u);
    stuck.unsent = 0;
    stuck.growing = false;
    main().publish(kMainFormat, frame(false, 1840, 100000));
    EXPECT_EQ(stuck.times.size(), 6u);
    main().publish(kMainFormat, frame(true, 1880, 100000));
    ASSERT_EQ(stuck.times.size(), 7u);
    EXPECT_EQ(stuck.times.back(), 1880);
    EXPECT_EQ(stuck.log.back(), "key");
}

// A camera cannot make a key frame on request: the stream goes on at its
// next one. A frozen recorder sends nothing and also goes on at a key frame.
TEST_F(CameraStreamUnit, KeyFrameRequestAndFreezeWaitForTheNextKeyFrame)
{
    FakeSink sink;
    auto stream = open(sink);
    main().publish(kMainFormat, frame(true, 1000));
    main().publish(kMainFormat, frame(false, 1040));
    stream->requestKeyFrame();
    main().publish(kMainFormat, frame(false, 1080));
    main().publish(kMainFormat, frame(true, 1120));
    sink.isFrozen = true;
    main().publish(kMainFormat, frame(false, 1160));
    sink.isFrozen = false;
    main().publish(kMainFormat, frame(false, 1200));
    main().publish(kMainFormat, frame(true, 1240));
    EXPECT_EQ(sink.times, (std::vector<std::int64_t>{1000, 1040, 1120, 1240}));
}

// A key frame whose format differs from the one announced comes after a
// new videoProperty; the same format is not announced again.
TEST_F(CameraStreamUnit, FormatChangesAreAnnouncedBeforeTheKeyFrame)
{
    FakeSink sink;
    auto stream = open(sink);
    EXPECT_EQ(sink.messages.at(0).body["width"].asUInt(), 0u);  // nothing yet
    main().publish(kMainFormat, frame(true, 1000));
    main().publish(kMainFormat, frame(false, 1040));
    main().publish(kMainFormat, frame(true, 1080));
    const CameraFormat smaller{media::VideoCodec::H264, 1920, 1080, 30};
    main().publish(smaller, frame(true, 1120));
    EXPECT_EQ(sink.log, (std::vector<std::string>{proto::kEventVideoProperty, proto::kEventVideoProperty, "key",
                                                   "delta", "key", proto::kEventVideoProperty, "key"}));
    EXPECT_EQ(sink.messages.back().body["codec"].asString(), "h264");
    EXPECT_EQ(sink.messages.back().body["height"].asUInt(), 1080u);
}

// Switching between main and sub leaves one feed for the other, with the
// other's format and kept frames; stopping leaves the feed.
TEST_F(CameraStreamUnit, TypeSwitchMovesToTheOtherFeed)
{
    main().publish(kMainFormat, frame(true, 1000));
    sub().publish(kSubFormat, frame(true, 1001));
    sub().publish(kSubFormat, frame(false, 1041));
    FakeSink sink;
    auto stream = open(sink);
    EXPECT_EQ(main().listenerCount(), 1u);
    stream->switchType(1, true);
    EXPECT_EQ(main().listenerCount(), 0u);
    EXPECT_EQ(sub().listenerCount(), 1u);
    EXPECT_EQ(sink.log, (std::vector<std::string>{proto::kEventVideoProperty, "key", proto::kEventStreamType,
                                                   proto::kEventVideoProperty, "key", "delta"}));
    EXPECT_EQ(sink.messages.back().body["width"].asUInt(), 640u);
    EXPECT_EQ(stream->info().width, 640u);
    main().publish(kMainFormat, frame(false, 1040));
    EXPECT_EQ(sink.times.back(), 1041);
    stream->stop();
    EXPECT_EQ(sub().listenerCount(), 0u);
}

// Streams that end while the feed hands a frame out, from inside their own
// send (the connection dropped for falling too far behind ends the stream
// and frees it) or another's: the rest get the frame, the ended ones
// nothing more, and the feed goes on.
TEST_F(CameraStreamUnit, StreamsEndingDuringAHandOutAreSafe)
{
    for (const std::size_t ender : {0u, 2u, 5u}) {
        CameraFeeds feeds;
        feeds.addChannel(kChannel, false);
        CameraFeed& feed = *feeds.find(kChannel, 0);
        std::vector<std::unique_ptr<FakeSink>> sinks;
        std::vector<std::shared_ptr<StreamSender>> streams;
        for (int i = 0; i < 6; ++i) {
            sinks.push_back(std::make_unique<FakeSink>());
            streams.push_back(
                std::make_shared<StreamSender>(m_io.get_executor(), m_media, feeds, *sinks.back(), kChannel, 0));
            streams.back()->start();
        }
        // The ender ends itself and the stream after it (or the first).
        const std::size_t other = (ender + 1) % streams.size();
        bool ended = false;
        sinks[ender]->onFrame = [&, ender, other] {
            if (std::exchange(ended, true))
                return;
            for (const std::size_t i : {ender, other}) {
                streams[i]->stop();
                streams[i].reset();
            }
        };
        feed.publish(kMainFormat, frame(true, 1000));
        feed.publish(kMainFormat, frame(false, 1040));
        EXPECT_EQ(feed.listenerCount(), 4u);
        for (std::size_t i = 0; i < sinks.size(); ++i) {
            const std::size_t expected = i == ender ? 1 : i == other ? (other < ender ? 1 : 0) : 2;
            EXPECT_EQ(sinks[i]->times.size(), expected) << "ender " << ender << " stream " << i;
        }
    }
}

}  // namespace
