// SPDX-License-Identifier: GPL-3.0-or-later
// velk-recorder's live streams: the synthetic pictures and their loops, the
// channel rules, and the media side of the protocol driven by raw clients.
#include "HttpClient.h"
#include "RawDeviceClient.h"
#include "RecorderProcess.h"

#include "BitmapFont.h"
#include "ChannelPolicy.h"
#include "EncodedLoop.h"
#include "LoopEncoder.h"
#include "RecorderOptions.h"
#include "SyntheticPicture.h"

#include "proto/DetailCode.h"
#include "proto/Hello.h"
#include "proto/MediaFrame.h"
#include "proto/StreamMessages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

using namespace velk::recorder;
using nettest::httpGet;
using nettest::httpPost;
using nettest::RawDeviceClient;
using nettest::RecorderProcess;
namespace proto = velk::proto;

namespace {

std::optional<media::FrameView> parseMedia(const proto::Frame& frame)
{
    return media::parseFrame(std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(frame.payload.data()), frame.payload.size()));
}

// The next media frame of a raw connection that is a video frame.
std::optional<proto::Frame> nextVideo(RawDeviceClient& client, std::vector<proto::Message>* messages = nullptr)
{
    for (int i = 0; i < 200; ++i) {
        auto frame = client.readFrame(2000);
        if (!frame)
            return std::nullopt;
        if (frame->type == proto::FrameType::Json) {
            if (messages)
                messages->push_back(*proto::decodeMessage(frame->payload));
            continue;
        }
        const auto view = parseMedia(*frame);
        if (view && media::isVideo(view->kind))
            return frame;
    }
    return std::nullopt;
}

EncodedPicture picture(bool key)
{
    return EncodedPicture{key, std::vector<std::uint8_t>(10, 0)};
}

}  // namespace

TEST(SyntheticPicture, DrawsTheChannelAndTheLoopClock)
{
    EXPECT_EQ(SyntheticPicture::channelText(4), "CH05");
    EXPECT_EQ(SyntheticPicture::clockText(0, 25), "00:00.00");
    EXPECT_EQ(SyntheticPicture::clockText(181, 25), "00:07.24");
    EXPECT_EQ(SyntheticPicture::clockText(1500, 25), "01:00.00");

    // Text lands where it is drawn, clipped at the edges.
    std::vector<std::uint8_t> pixels(20 * 10, 0);
    const Plane plane{pixels.data(), 20, 20, 10};
    drawText(plane, 0, 0, 1, "1", 200);
    EXPECT_EQ(pixels[2], 200);  // the top of the "1" (row 0x04)
    EXPECT_EQ(pixels[0], 0);
    drawText(plane, 18, 8, 2, "88", 200);  // mostly outside: no overrun
    EXPECT_EQ(textWidth("CH05", 2), 4 * 12 - 2);

    // Two pictures of a loop differ (the square and the clock move); the
    // same index gives the same picture.
    const auto profile = *streamProfile(2);
    SyntheticPicture source(4, profile, 250);
    const auto draw = [&](std::size_t index) {
        std::vector<std::uint8_t> y(profile.width * profile.height), u(y.size() / 4), v(y.size() / 4);
        source.draw(index, Plane{y.data(), profile.width, profile.width, profile.height},
                    Plane{u.data(), profile.width / 2, profile.width / 2, profile.height / 2},
                    Plane{v.data(), profile.width / 2, profile.width / 2, profile.height / 2});
        return y;
    };
    EXPECT_EQ(draw(10), draw(10));
    EXPECT_NE(draw(10), draw(11));
    EXPECT_EQ(draw(3), draw(253));
}

TEST(EncodedLoop, FindsKeyPicturesAmongThoseEncodedSoFar)
{
    EncodedLoop loop(0, *streamProfile(1), 6);
    EXPECT_EQ(loop.readyCount(), 0u);
    EXPECT_EQ(loop.keyAtOrBefore(4), 0u);
    EXPECT_FALSE(loop.keyAfter(0));
    for (const bool key : {true, false, false, true})
        ASSERT_TRUE(loop.append(picture(key)));
    EXPECT_EQ(loop.keyAtOrBefore(2), 0u);
    EXPECT_EQ(loop.keyAtOrBefore(5), 3u);  // beyond what is ready: the last ready key
    EXPECT_EQ(loop.keyAfter(0), 3u);
    EXPECT_FALSE(loop.keyAfter(3));        // not encoded that far yet
    EXPECT_FALSE(loop.complete());
    ASSERT_TRUE(loop.append(picture(false)));
    ASSERT_TRUE(loop.append(picture(false)));
    EXPECT_TRUE(loop.complete());
    EXPECT_EQ(loop.keyAfter(3), 0u);       // round the loop
    EXPECT_FALSE(loop.append(picture(true)));
    EXPECT_EQ(loop.encodedBytes(), 60u);
}

TEST(LoopEncoder, KeyPicturesExactlyEveryIntervalWithParameterSets)
{
    if (!LoopEncoder::available())
        GTEST_SKIP() << "libavcodec has no libx264 encoder";
    EncodedLoop loop(3, *streamProfile(2), 30);
    auto encoder = LoopEncoder::create(loop, 10);
    ASSERT_TRUE(encoder);
    while (encoder->encodeNext(loop)) {
    }
    ASSERT_TRUE(loop.complete());
    EXPECT_FALSE(loop.failed());
    for (std::size_t i = 0; i < loop.frameCount(); ++i) {
        const auto& p = loop.picture(i);
        EXPECT_EQ(p.key, i % 10 == 0) << i;
        ASSERT_GT(p.annexB.size(), 5u);
        EXPECT_EQ(p.annexB[0], 0);  // Annex B start code
        EXPECT_EQ(p.annexB[1], 0);
        if (p.key) {
            // A key picture starts with its sequence parameter set.
            const std::size_t start = p.annexB[2] == 1 ? 3 : 4;
            EXPECT_EQ(p.annexB[start] & 0x1F, 7) << i;
        }
    }
}

TEST(ChannelPolicy, DeniesPerUserAndRefusesSubStreamsThatAreOff)
{
    ChannelPolicy policy;
    EXPECT_EQ(policy.check("ann", 2, 1), proto::kDetailNone);
    policy.deny("ann", 2);
    policy.setSubstreamEncoded(5, false);
    EXPECT_EQ(policy.check("ann", 2, 0), proto::kDetailNoRight);
    EXPECT_EQ(policy.check("bob", 2, 0), proto::kDetailNone);
    EXPECT_EQ(policy.check("bob", 5, 1), proto::kDetailSubstreamNotEncoded);
    EXPECT_EQ(policy.check("bob", 5, 0), proto::kDetailNone);
    EXPECT_EQ(policy.check("bob", 5, 2), proto::kDetailNone);
    policy.allow("ann", 2);
    policy.setSubstreamEncoded(5, true);
    EXPECT_EQ(policy.check("ann", 2, 0), proto::kDetailNone);
    EXPECT_EQ(policy.check("bob", 5, 1), proto::kDetailNone);
}

TEST(RecorderOptions, StreamRules)
{
    const auto parse = [](std::vector<std::string> args, RecorderOptions& options) {
        args.insert(args.begin(), "velk-recorder");
        std::vector<const char*> argv;
        for (const auto& a : args)
            argv.push_back(a.c_str());
        std::string message;
        return parseOptions(static_cast<int>(argv.size()), argv.data(), options, message);
    };
    RecorderOptions o;
    ASSERT_EQ(parse({"--deny", "ann:3", "--deny=a:b:15", "--substream-off", "0", "--substream-off=15", "--encode-ahead"},
                    o),
              ParseOutcome::Run);
    EXPECT_TRUE(o.encodeAhead);
    ASSERT_EQ(o.denied.size(), 2u);
    EXPECT_EQ(o.denied[0], std::make_pair(std::string("ann"), 3u));
    EXPECT_EQ(o.denied[1], std::make_pair(std::string("a:b"), 15u));
    EXPECT_EQ(o.substreamOff, (std::vector<std::uint32_t>{0, 15}));
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"--deny", "ann"}, {"--deny", ":3"}, {"--deny", "ann:x"}, {"--deny", "ann:16"},
             {"--substream-off", "-1"}, {"--substream-off", "16"}, {"--channels", "4", "--substream-off", "4"}}) {
        RecorderOptions b;
        EXPECT_EQ(parse(bad, b), ParseOutcome::Error) << bad[0] << " " << bad[1];
    }
}

class RecorderStreams : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_recorder = std::make_unique<RecorderProcess>(std::vector<std::string>{
            "--channels", "8", "--user", "admin:admin", "--user", "ann:pw", "--deny", "ann:1", "--substream-off", "2"});
    }
    static void TearDownTestSuite() { s_recorder.reset(); }
    void SetUp() override { ASSERT_TRUE(s_recorder->started()) << s_recorder->firstLine(); }
    std::uint16_t port() const { return s_recorder->devicePort(); }
    std::uint16_t httpPort() const { return s_recorder->httpPort(); }

    static inline std::unique_ptr<RecorderProcess> s_recorder;
};

TEST_F(RecorderStreams, OpensOnlyForALiveLoginWithTheRight)
{
    RawDeviceClient control(port());
    ASSERT_EQ(control.login("ann", "pw"), 0);
    const auto refused = [&](const std::string& token, std::uint32_t channel, std::uint32_t type) {
        RawDeviceClient media(port());
        const auto reply = media.openStream(token, channel, type);
        EXPECT_TRUE(media.closedWithin(2000));
        return reply ? reply->code : -1;
    };
    EXPECT_EQ(refused("not-a-token", 0, 0), proto::kDetailNotLoggedIn);
    EXPECT_EQ(refused("", 0, 0), proto::kDetailNotLoggedIn);
    EXPECT_EQ(refused(control.sessionToken(), 8, 0), proto::kDetailNoSuchChannel);
    EXPECT_EQ(refused(control.sessionToken(), 0, 3), proto::kDetailBadRequest);
    EXPECT_EQ(refused(control.sessionToken(), 1, 0), proto::kDetailNoRight);
    EXPECT_EQ(refused(control.sessionToken(), 2, 1), proto::kDetailSubstreamNotEncoded);

    // Stream requests before the stream is open.
    RawDeviceClient early(port());
    proto::ClientHello hello;
    hello.role = proto::kRoleMedia;
    ASSERT_TRUE(early.sendMessage(proto::makeHello(hello)));
    ASSERT_TRUE(early.readMessage());
    ASSERT_TRUE(early.sendMessage(proto::Message::request(4, proto::kMethodKeyFrame)));
    EXPECT_EQ(early.readMessage()->code, proto::kDetailNotLoggedIn);
    // A media connection cannot log in.
    ASSERT_TRUE(early.sendMessage(proto::Message::request(5, proto::kMethodLogin)));
    EXPECT_EQ(early.readMessage()->code, proto::kDetailBadRequest);
}

TEST_F(RecorderStreams, AStreamStartsWithItsFormatAndAKeyFrameThenFollowsRequests)
{
    RawDeviceClient control(port());
    ASSERT_EQ(control.login("admin", "admin"), 0);
    RawDeviceClient media(port());
    const auto before = std::chrono::system_clock::now();
    const auto reply = media.openStream(control.sessionToken(), 5, 0);
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->code, 0);
    const auto info = proto::readStreamInfo(reply->body);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 704u);
    EXPECT_EQ(info->height, 576u);
    EXPECT_EQ(info->frameRate, 25u);

    std::vector<proto::Message> messages;
    auto frame = nextVideo(media, &messages);
    ASSERT_TRUE(frame);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].name, proto::kEventVideoProperty);
    auto view = parseMedia(*frame);
    EXPECT_EQ(view->kind, media::MediaKind::VideoKey);
    EXPECT_EQ(view->channel, 5);
    ASSERT_TRUE(view->video);
    EXPECT_EQ(view->video->width, 704);
    ASSERT_TRUE(view->time);
    const auto sent = std::chrono::system_clock::time_point(std::chrono::seconds(view->time->seconds)) +
                      std::chrono::milliseconds(view->time->milliseconds);
    EXPECT_GE(sent, before - std::chrono::milliseconds(1));
    EXPECT_LT(sent - before, std::chrono::seconds(2));

    // A key frame when asked, before anything else of the stream's video.
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(nextVideo(media));
    ASSERT_TRUE(media.sendMessage(proto::Message::request(2, proto::kMethodKeyFrame)));
    messages.clear();
    frame = nextVideo(media, &messages);
    ASSERT_TRUE(frame);
    EXPECT_EQ(parseMedia(*frame)->kind, media::MediaKind::VideoKey);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, 2u);

    // Another type: the answer, its format, a key frame of it.
    ASSERT_TRUE(media.sendMessage(proto::Message::request(3, proto::kMethodSwitchStream, proto::streamTypeParams(2))));
    messages.clear();
    frame = nextVideo(media, &messages);
    ASSERT_TRUE(frame);
    // Frames of the old type may still be on their way; skip to the new one.
    while (parseMedia(*frame)->streamType != 2) {
        frame = nextVideo(media, &messages);
        ASSERT_TRUE(frame);
    }
    EXPECT_EQ(parseMedia(*frame)->kind, media::MediaKind::VideoKey);
    EXPECT_EQ(parseMedia(*frame)->video->width, 176);
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0].code, 0);
    EXPECT_EQ(messages[1].name, proto::kEventVideoProperty);
    EXPECT_EQ(messages[1].body["width"].asUInt(), 176u);

    // Refused switches leave the stream as it was.
    ASSERT_TRUE(media.sendMessage(proto::Message::request(4, proto::kMethodSwitchStream, proto::streamTypeParams(9))));
    ASSERT_TRUE(media.sendMessage(proto::Message::request(5, proto::kMethodSwitchStream, proto::streamTypeParams(1))));
    std::vector<std::int32_t> codes;
    while (codes.size() < 2) {
        const auto answer = media.readMessage();
        ASSERT_TRUE(answer);
        if (answer->kind == proto::MessageKind::Response)
            codes.push_back(answer->code);
    }
    EXPECT_EQ(codes[0], proto::kDetailBadRequest);
    EXPECT_EQ(codes[1], 0);  // channel 5 has a sub stream

    const auto status = httpGet(httpPort(), "/sim/status").json;
    ASSERT_EQ(status["streams"].size(), 1u);
    EXPECT_EQ(status["streams"][0]["channel"].asUInt(), 5u);
    EXPECT_EQ(status["streams"][0]["user"].asString(), "admin");
    EXPECT_GE(status["streams"][0]["keyFrames"].asUInt(), 3u);

    // The login's end ends its streams.
    ASSERT_TRUE(control.sendMessage(proto::Message::request(9, proto::kMethodLogout)));
    EXPECT_TRUE(media.closedWithin(2000));
}

TEST_F(RecorderStreams, SimChecksItsStreamArguments)
{
    for (const char* target :
         {"/sim/deny?channel=1", "/sim/deny?user=&channel=1", "/sim/deny?user=a&channel=8", "/sim/allow?user=a",
          "/sim/substream?channel=1", "/sim/substream?channel=1&encoded=2", "/sim/streamtype?channel=1&type=3",
          "/sim/streamtype?type=1", "/sim/garbage?channel=x", "/sim/garbage?channel=1&kind=nope"}) {
        const auto reply = httpPost(httpPort(), target);
        EXPECT_EQ(reply.status, 400) << target;
        EXPECT_FALSE(reply.json["ok"].asBool()) << target;
    }
    EXPECT_EQ(httpGet(httpPort(), "/sim/deny?user=a&channel=1").status, 405);
    EXPECT_EQ(httpPost(httpPort(), "/sim/streamtype?channel=2&type=1").status, 409);
    const auto ok = httpPost(httpPort(), "/sim/garbage?channel=1");
    EXPECT_EQ(ok.status, 200);
    EXPECT_EQ(ok.json["streams"].asUInt(), 0u);
}
