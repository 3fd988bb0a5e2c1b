// SPDX-License-Identifier: GPL-3.0-or-later
// Live streams of camera channels on a recorder in this process, whose
// feeds the test fills with pictures it encodes itself (H.264 and H.265,
// several sizes, rates and key frame intervals, with and without B-frames):
// the format announced and answered, the kept frames at the start, frame
// times, losses and returns, streams opened while the camera is away, and
// the stream types a camera channel has. Read by raw device-protocol
// clients at the container level and decoded with libavcodec.
#include "CameraRecorder.h"
#include "RawDeviceClient.h"

#include "StreamSender.h"

#include "proto/DetailCode.h"
#include "proto/MediaFrame.h"
#include "proto/StreamMessages.h"

#include <gtest/gtest.h>

#include <set>

#include <variant>

using namespace nettest;
using velk::recorder::CameraFormat;
namespace proto = velk::proto;

namespace {

constexpr std::uint32_t kCamera = 2;

// What a media connection delivered, in order.
struct VideoFrame {
    bool key = false;
    std::uint8_t streamType = 0;
    std::uint16_t sequence = 0;
    std::int64_t timeMs = 0;
    std::optional<media::VideoInfo> video;
    std::vector<std::uint8_t> payload;
};
using Event = std::variant<proto::Message, VideoFrame>;

std::optional<Event> nextEvent(RawDeviceClient& client, int timeoutMs = 3000)
{
    for (;;) {
        auto frame = client.readFrame(timeoutMs);
        if (!frame)
            return std::nullopt;
        if (frame->type == proto::FrameType::Json) {
            if (auto message = proto::decodeMessage(frame->payload))
                return Event{*message};
            continue;
        }
        const auto view = media::parseFrame(std::span<const std::uint8_t>(
            reinterpret_cast<const std::uint8_t*>(frame->payload.data()), frame->payload.size()));
        if (!view || !media::isVideo(view->kind))
            return Event{VideoFrame{}};  // anything else is wrong here: sound, a spoilt frame
        VideoFrame video;
        video.key = view->kind == media::MediaKind::VideoKey;
        video.streamType = view->streamType;
        video.sequence = view->sequence;
        video.timeMs = view->time ? std::int64_t(view->time->seconds) * 1000 + view->time->milliseconds : -1;
        video.video = view->video;
        video.payload.assign(view->payload.begin(), view->payload.end());
        return Event{std::move(video)};
    }
}

std::optional<VideoFrame> nextVideo(RawDeviceClient& client, std::vector<proto::Message>* messages = nullptr)
{
    while (auto event = nextEvent(client)) {
        if (auto* video = std::get_if<VideoFrame>(&*event))
            return *video;
        if (messages)
            messages->push_back(std::get<proto::Message>(*event));
    }
    return std::nullopt;
}

std::optional<proto::Message> nextMessage(RawDeviceClient& client, std::vector<VideoFrame>* videos = nullptr)
{
    while (auto event = nextEvent(client)) {
        if (auto* message = std::get_if<proto::Message>(&*event))
            return *message;
        if (videos)
            videos->push_back(std::get<VideoFrame>(*event));
    }
    return std::nullopt;
}

struct Pictures {
    CameraFormat format;
    std::vector<CameraPicture> pictures;
};

// count access units of a camera, beginning with a key frame.
Pictures encodePictures(const CameraEncoding& encoding, int count)
{
    CameraEncoder encoder(encoding);
    Pictures out;
    out.format = CameraFormat{encoding.codec, static_cast<std::uint16_t>(encoding.width),
                              static_cast<std::uint16_t>(encoding.height),
                              static_cast<std::uint8_t>(encoding.frameRate)};
    if (!encoder.ready())
        return out;
    while (static_cast<int>(out.pictures.size()) < count) {
        auto more = encoder.encode(count - static_cast<int>(out.pictures.size()));
        for (auto& picture : more)
            out.pictures.push_back(std::move(picture));
    }
    return out;
}

class CameraStream : public ::testing::Test {
protected:
    void startRecorder(bool sub = false)
    {
        m_recorder = std::make_unique<CameraRecorder>(std::vector<std::pair<std::uint32_t, bool>>{{kCamera, sub}});
        m_control = std::make_unique<RawDeviceClient>(m_recorder->devicePort());
        ASSERT_EQ(m_control->login("admin", "admin"), 0);
    }
    // A media connection with the stream open (or refused: then the answer's code is returned too).
    std::unique_ptr<RawDeviceClient> open(std::uint32_t streamType, proto::Message* answer = nullptr,
                                          std::uint32_t channel = kCamera)
    {
        auto client = std::make_unique<RawDeviceClient>(m_recorder->devicePort());
        const auto response = client->openStream(m_control->sessionToken(), channel, streamType);
        EXPECT_TRUE(response.has_value());
        if (response && answer)
            *answer = *response;
        return client;
    }
    void publish(std::uint32_t streamType, const CameraFormat& format, const CameraPicture& picture,
                 std::int64_t wallMs)
    {
        m_recorder->publish(kCamera, streamType, format, picture.key, picture.annexB, wallMs);
    }

    std::unique_ptr<CameraRecorder> m_recorder;
    std::unique_ptr<RawDeviceClient> m_control;
};

void expectFormat(const Json::Value& v, const CameraFormat& format, std::uint32_t streamType)
{
    EXPECT_EQ(v["channel"].asUInt(), kCamera);
    EXPECT_EQ(v["streamType"].asUInt(), streamType);
    EXPECT_EQ(v["width"].asUInt(), format.width);
    EXPECT_EQ(v["height"].asUInt(), format.height);
    EXPECT_EQ(v["frameRate"].asUInt(), format.frameRate);
    EXPECT_EQ(v["codec"].asString(), format.codec == media::VideoCodec::H265 ? "h265" : "h264");
}

struct StreamCase {
    CameraEncoding encoding;
    int before;  // pictures published before the stream opens (from a key frame)
    const char* name;
};

class CameraStreamFormats : public CameraStream, public ::testing::WithParamInterface<StreamCase> {};

// The stream answers with the camera's format, announces it with its codec,
// begins at once with the frames since the last key frame (decodable from
// the first), then passes on each frame as it comes, with the frame's own
// time and the stream's own sequence numbers.
TEST_P(CameraStreamFormats, StartsWithTheKeptFramesThenEachFrameWithItsTime)
{
    const StreamCase& c = GetParam();
    const int total = c.before + 2 * c.encoding.keyInterval;
    const Pictures media = encodePictures(c.encoding, total);
    if (media.pictures.empty())
        GTEST_SKIP() << "this libavcodec has no encoder for " << c.name;
    ASSERT_TRUE(media.pictures.front().key);
    startRecorder();

    const std::int64_t base = systemNowMs();
    const std::int64_t step = 1000 / c.encoding.frameRate;
    for (int i = 0; i < c.before; ++i)
        publish(0, media.format, media.pictures[i], base + i * step);
    // The frames the feed keeps begin at the last key frame published.
    int lastKey = 0;
    for (int i = 0; i < c.before; ++i)
        if (media.pictures[i].key)
            lastKey = i;

    proto::Message answer;
    auto client = open(0, &answer);
    ASSERT_EQ(answer.code, 0);
    std::vector<proto::Message> messages;
    int next = c.before;
    if (c.before == 0) {
        // Nothing yet: 0 x 0, and the format comes with the first key frame.
        expectFormat(answer.body, CameraFormat{}, 0);
        const auto waiting = nextMessage(*client);
        ASSERT_TRUE(waiting);
        EXPECT_EQ(waiting->name, proto::kEventVideoProperty);
        EXPECT_EQ(waiting->body["width"].asUInt(), 0u);
        publish(0, media.format, media.pictures[0], base);
        next = 1;
    } else {
        expectFormat(answer.body, media.format, 0);
    }
    auto first = nextVideo(*client, &messages);
    ASSERT_TRUE(first);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].name, proto::kEventVideoProperty);
    expectFormat(messages[0].body, media.format, 0);
    EXPECT_TRUE(first->key);
    ASSERT_TRUE(first->video);
    EXPECT_EQ(first->video->width, media.format.width);
    EXPECT_EQ(first->video->height, media.format.height);
    EXPECT_EQ(first->video->frameRate, media.format.frameRate);
    EXPECT_EQ(first->timeMs, base + lastKey * step);
    EXPECT_EQ(first->payload, media.pictures[lastKey].annexB);

    CameraDecoder decoder(c.encoding.codec);
    ASSERT_TRUE(decoder.ready());
    decoder.decode(first->payload);
    std::vector<VideoFrame> received{*first};
    for (int i = lastKey + 1; i < c.before; ++i) {
        auto frame = nextVideo(*client, &messages);
        ASSERT_TRUE(frame) << i;
        received.push_back(*frame);
    }
    // Then live.
    for (int i = next; i < total; ++i) {
        publish(0, media.format, media.pictures[i], base + i * step);
        auto frame = nextVideo(*client, &messages);
        ASSERT_TRUE(frame) << i;
        received.push_back(*frame);
    }
    EXPECT_EQ(messages.size(), 1u) << "no second videoProperty while the format stays";
    for (std::size_t k = 0; k < received.size(); ++k) {
        const int i = lastKey + static_cast<int>(k);
        const VideoFrame& frame = received[k];
        EXPECT_EQ(frame.key, media.pictures[i].key) << i;
        EXPECT_EQ(frame.payload, media.pictures[i].annexB) << i;
        EXPECT_EQ(frame.timeMs, base + i * step) << i;
        EXPECT_EQ(frame.video.has_value(), frame.key) << i;
        EXPECT_EQ(frame.sequence, static_cast<std::uint16_t>(received[0].sequence + k)) << i;
        if (k > 0)
            decoder.decode(frame.payload);
    }
    // Every picture sent comes out, but those B-frames still hold back.
    EXPECT_GE(decoder.pictures(), static_cast<int>(received.size()) - 2 * c.encoding.bFrames - 1);
    EXPECT_EQ(decoder.errors(), 0);
    EXPECT_EQ(decoder.width(), c.encoding.width);
    EXPECT_EQ(decoder.height(), c.encoding.height);
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, CameraStreamFormats,
    ::testing::Values(StreamCase{{media::VideoCodec::H264, 320, 240, 25, 10, 0}, 14, "h264_320x240_25"},
                      StreamCase{{media::VideoCodec::H264, 640, 360, 30, 15, 2}, 7, "h264_bframes_640x360_30"},
                      StreamCase{{media::VideoCodec::H264, 176, 144, 10, 5, 0}, 0, "h264_176x144_10_opened_first"},
                      StreamCase{{media::VideoCodec::H265, 320, 240, 15, 12, 0}, 5, "h265_320x240_15"},
                      StreamCase{{media::VideoCodec::H265, 480, 272, 25, 8, 2}, 11, "h265_bframes_480x272_25"}),
    [](const ::testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

// A loss is told once; frames stop; when the camera is back (here with a
// new size and codec) the stream announces the format and goes on at its
// first key frame.
TEST_F(CameraStream, LossIsToldAndTheReturnAnnouncesTheFormatBeforeTheKeyFrame)
{
    const Pictures before = encodePictures({media::VideoCodec::H264, 320, 240, 25, 10, 0}, 12);
    const Pictures after = encodePictures({media::VideoCodec::H265, 352, 288, 20, 6, 0}, 8);
    if (before.pictures.empty() || after.pictures.empty())
        GTEST_SKIP() << "no H.264 or H.265 encoder";
    startRecorder();
    const std::int64_t base = systemNowMs();
    publish(0, before.format, before.pictures[0], base);
    auto client = open(0);
    ASSERT_TRUE(nextVideo(*client));
    publish(0, before.format, before.pictures[1], base + 40);
    ASSERT_TRUE(nextVideo(*client));

    m_recorder->markLost(kCamera, 0);
    m_recorder->markLost(kCamera, 0);  // still lost: told once
    std::vector<VideoFrame> videos;
    const auto lost = nextMessage(*client, &videos);
    ASSERT_TRUE(lost);
    EXPECT_EQ(lost->name, velk::proto::kEventSourceLost);
    EXPECT_EQ(lost->body["channel"].asUInt(), kCamera);
    EXPECT_EQ(lost->body["streamType"].asUInt(), 0u);
    EXPECT_TRUE(videos.empty());

    // Deltas of the old picture are no use after the loss; the new one
    // begins with a key frame 60 s later.
    const std::int64_t back = base + 60000;
    publish(0, before.format, before.pictures[2], back - 100);
    for (int i = 0; i < 4; ++i)
        publish(0, after.format, after.pictures[i], back + i * 50);
    std::vector<proto::Message> messages;
    auto key = nextVideo(*client, &messages);
    ASSERT_TRUE(key);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].name, proto::kEventVideoProperty);
    expectFormat(messages[0].body, after.format, 0);
    EXPECT_TRUE(key->key);
    EXPECT_EQ(key->timeMs, back);
    ASSERT_TRUE(key->video);
    EXPECT_EQ(key->video->width, 352);
    CameraDecoder decoder(media::VideoCodec::H265);
    decoder.decode(key->payload);
    for (int i = 1; i < 4; ++i) {
        auto frame = nextVideo(*client, &messages);
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->timeMs, back + i * 50);
        decoder.decode(frame->payload);
    }
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(decoder.errors(), 0);
    EXPECT_GE(decoder.pictures(), 3);

    const Json::Value status = m_recorder->onIo([this] { return m_recorder->recorder().status(); });
    ASSERT_EQ(status["streams"].size(), 1u);
    EXPECT_EQ(status["streams"][0]["sourceLosses"].asUInt64(), 1u);
    EXPECT_EQ(status["streams"][0]["videoFrames"].asUInt64(), 6u);
    EXPECT_EQ(status["streams"][0]["audioFrames"].asUInt64(), 0u);
}

// A stream opened while the camera is away is answered with the last
// format and hears of the loss at once; one opened before the first
// picture gets 0 x 0 and the format with the first key frame.
TEST_F(CameraStream, OpenedWhileLostOrBeforeTheFirstPicture)
{
    const Pictures media = encodePictures({media::VideoCodec::H264, 320, 240, 25, 5, 0}, 6);
    if (media.pictures.empty())
        GTEST_SKIP() << "no H.264 encoder";
    startRecorder();

    proto::Message answer;
    auto early = open(0, &answer);
    ASSERT_EQ(answer.code, 0);
    expectFormat(answer.body, CameraFormat{}, 0);
    auto property = nextMessage(*early);
    ASSERT_TRUE(property);
    EXPECT_EQ(property->name, proto::kEventVideoProperty);
    EXPECT_EQ(property->body["width"].asUInt(), 0u);

    const std::int64_t base = systemNowMs();
    publish(0, media.format, media.pictures[0], base);
    std::vector<proto::Message> messages;
    auto key = nextVideo(*early, &messages);
    ASSERT_TRUE(key);
    EXPECT_TRUE(key->key);
    ASSERT_EQ(messages.size(), 1u);
    expectFormat(messages[0].body, media.format, 0);

    m_recorder->markLost(kCamera, 0);
    auto late = open(0, &answer);
    ASSERT_EQ(answer.code, 0);
    expectFormat(answer.body, media.format, 0);
    auto first = nextMessage(*late);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->name, proto::kEventVideoProperty);
    auto lost = nextMessage(*late);
    ASSERT_TRUE(lost);
    EXPECT_EQ(lost->name, velk::proto::kEventSourceLost);

    // Back: both streams get the format, then the key frame.
    publish(0, media.format, media.pictures[5], base + 5000);
    for (RawDeviceClient* client : {early.get(), late.get()}) {
        std::vector<proto::Message> seen;
        auto frame = nextVideo(*client, &seen);
        ASSERT_TRUE(frame);
        EXPECT_TRUE(frame->key);
        EXPECT_EQ(frame->timeMs, base + 5000);
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back().name, proto::kEventVideoProperty);
    }
}

// Stream type 1 of a camera channel without a sub stream is refused, on
// opening and on switching (the stream then goes on); type 2 shows the
// main stream's frames under its own type. A camera with a sub stream
// switches between its two feeds.
TEST_F(CameraStream, StreamTypesOfACameraChannel)
{
    const Pictures main = encodePictures({media::VideoCodec::H264, 640, 360, 25, 5, 0}, 10);
    const Pictures sub = encodePictures({media::VideoCodec::H264, 320, 180, 25, 5, 0}, 10);
    if (main.pictures.empty())
        GTEST_SKIP() << "no H.264 encoder";
    {
        startRecorder(false);
        const std::int64_t base = systemNowMs();
        publish(0, main.format, main.pictures[0], base);
        proto::Message answer;
        auto refused = open(1, &answer);
        EXPECT_EQ(answer.code, proto::kDetailSubstreamNotEncoded);
        EXPECT_TRUE(refused->closedWithin(3000));

        auto third = open(2, &answer);
        ASSERT_EQ(answer.code, 0);
        expectFormat(answer.body, main.format, 2);
        auto key = nextVideo(*third);
        ASSERT_TRUE(key);
        EXPECT_TRUE(key->key);
        EXPECT_EQ(key->streamType, 2);
        EXPECT_EQ(key->payload, main.pictures[0].annexB);

        Json::Value params(Json::objectValue);
        params["streamType"] = 1;
        ASSERT_TRUE(third->sendMessage(proto::Message::request(5, proto::kMethodSwitchStream, params)));
        auto refusal = nextMessage(*third);
        ASSERT_TRUE(refusal);
        EXPECT_EQ(refusal->code, proto::kDetailSubstreamNotEncoded);
        publish(0, main.format, main.pictures[1], base + 40);
        auto next = nextVideo(*third);
        ASSERT_TRUE(next);
        EXPECT_EQ(next->streamType, 2);
        EXPECT_EQ(next->timeMs, base + 40);
        m_control.reset();
        third.reset();
        m_recorder.reset();
    }
    startRecorder(true);
    const std::int64_t base = systemNowMs();
    publish(0, main.format, main.pictures[0], base);
    publish(1, sub.format, sub.pictures[0], base + 1);
    auto client = open(0);
    ASSERT_TRUE(nextVideo(*client));
    Json::Value params(Json::objectValue);
    params["streamType"] = 1;
    ASSERT_TRUE(client->sendMessage(proto::Message::request(6, proto::kMethodSwitchStream, params)));
    std::vector<proto::Message> messages;
    auto key = nextVideo(*client, &messages);
    ASSERT_TRUE(key);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].code, 0);
    expectFormat(messages[0].body, sub.format, 1);
    EXPECT_EQ(messages[1].name, proto::kEventVideoProperty);
    expectFormat(messages[1].body, sub.format, 1);
    EXPECT_TRUE(key->key);
    EXPECT_EQ(key->streamType, 1);
    EXPECT_EQ(key->payload, sub.pictures[0].annexB);
    // The main feed's frames no longer come; the sub feed's do.
    publish(0, main.format, main.pictures[1], base + 40);
    publish(1, sub.format, sub.pictures[1], base + 41);
    auto next = nextVideo(*client);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->timeMs, base + 41);
    EXPECT_EQ(m_recorder->onIo([this] { return m_recorder->recorder().cameras().find(kCamera, 0)->listenerCount(); }),
              0u);
}

}  // namespace

namespace {

TEST(CameraChannels, EncodingAheadMakesLoopsOnlyForSyntheticChannels)
{
    CameraRecorder recorder({{1, true}, {3, false}}, {}, 0, true);
    const Json::Value status = recorder.onIo([&] { return recorder.recorder().status(); });
    std::set<std::pair<int, int>> loops;
    for (const Json::Value& loop : status["loops"])
        loops.insert({loop["channel"].asInt(), loop["streamType"].asInt()});
    EXPECT_EQ(loops, (std::set<std::pair<int, int>>{{0, 0}, {0, 1}, {2, 0}, {2, 1}}));
}

}  // namespace
