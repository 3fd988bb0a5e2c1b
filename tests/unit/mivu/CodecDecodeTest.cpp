// SPDX-License-Identifier: GPL-3.0-or-later
// Real-camera pictures: H.264 and H.265, the sizes cameras send (odd ones
// too), B-frames (pictures out later than their packets and in display
// order), and a stream whose codec changes at a key frame.
#include "TestStream.h"

#include "mivu/PictureTimes.h"

#include "MIVUStream.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace mivu::test {
namespace {

constexpr std::uint64_t kStartMs = 1'750'000'000'000ull;
constexpr std::uint32_t kIntervalMs = 40;

MIVU_Statistics statisticsOf(std::uint32_t decoder)
{
    MIVU_Statistics s{};
    EXPECT_EQ(MIVU_GetStatistics(decoder, 0, &s), MIVU_OK);
    return s;
}

// A decoder on one window that remembers, for every picture the window
// showed, which test picture it was and the frame time it came with.
class ShownPictures {
public:
    ShownPictures(std::int32_t mode, QSize windowSize, int pictureWidth, int pictureHeight)
        : m_window(true, windowSize), m_width(pictureWidth), m_height(pictureHeight)
    {
        m_window.setShownHook([this](std::uint64_t timeMs) {
            m_shown.emplace_back(pictureIndexOf(m_window.picture().image, m_width, m_height), timeMs);
        });
        const std::uint32_t handle = m_window.handle();
        EXPECT_EQ(MIVU_OpenStream(&handle, 1, mode, &m_decoder), MIVU_OK);
    }
    ~ShownPictures()
    {
        if (m_decoder != 0) {
            EXPECT_EQ(MIVU_CloseStream(m_decoder), MIVU_OK);
        }
    }
    void feed(const std::vector<Bytes>& frames)
    {
        for (const Bytes& frame : frames)
            ASSERT_EQ(MIVU_InputFrame(m_decoder, 0, frame.data(), std::uint32_t(frame.size())), MIVU_OK);
    }
    bool waitPresented(std::uint64_t count)
    {
        return spinUntil([&] { return statisticsOf(m_decoder).picturesPresented >= count; }) &&
               spinUntil([&] { return m_window.picturesShown() + m_window.picturesDropped() >= count; });
    }

    std::uint32_t decoder() const { return m_decoder; }
    const std::vector<std::pair<int, std::uint64_t>>& shown() const { return m_shown; }
    const platform::PresentedPicture& picture() const { return m_window.picture(); }

private:
    TargetWindow m_window;
    int m_width;
    int m_height;
    std::uint32_t m_decoder = 0;
    std::vector<std::pair<int, std::uint64_t>> m_shown;  // (test picture index, frame time)
};

// Every shown picture is the next in display order, and it carries the
// time of its place in that order.
void expectDisplayOrderWithTheirTimes(const std::vector<std::pair<int, std::uint64_t>>& shown)
{
    ASSERT_FALSE(shown.empty());
    int lastIndex = -1;
    for (const auto& [index, timeMs] : shown) {
        SCOPED_TRACE(testing::Message() << "picture " << index << " at " << timeMs - kStartMs);
        EXPECT_GT(index, lastIndex);
        EXPECT_EQ(timeMs, kStartMs + std::uint64_t(index) * kIntervalMs);
        lastIndex = index;
    }
}

TEST(PictureTimes, PicturesTakeTheTimesInTheOrderTheyComeOut)
{
    // Decoding order I0 P3 B1 B2 with a reorder delay of one picture: the
    // decoder gives I0 after P3 went in, then B1, B2, then P3 after the next.
    PictureTimes times;
    times.sent(100);  // I0
    times.trim(1);
    times.sent(140);  // P3
    EXPECT_EQ(times.take(), 100);  // I0
    times.trim(1);
    times.sent(180);  // B1
    EXPECT_EQ(times.take(), 140);  // B1 shows second
    times.trim(1);
    times.sent(220);  // B2
    EXPECT_EQ(times.take(), 180);
    times.trim(1);
    EXPECT_EQ(times.size(), 1u);  // P3 is still held back
    times.clear();
    EXPECT_EQ(times.take(), std::nullopt);
}

TEST(PictureTimes, APacketWithoutAPictureDoesNotDelayLaterTimes)
{
    PictureTimes times;
    for (const int depth : {0, 2}) {
        times.clear();
        // Steady state: `depth` pictures held back.
        std::int64_t next = 0;
        for (int i = 0; i < depth; ++i)
            times.sent(next++);
        times.sent(next++);  // a damaged packet: nothing comes out
        times.trim(depth);
        times.sent(next++);
        const auto taken = times.take();
        times.trim(depth);
        // The picture out now is the one decoded `depth` packets ago.
        EXPECT_EQ(taken, next - 1 - depth) << depth;
        EXPECT_EQ(times.size(), std::size_t(depth));
    }
}

struct CodecCase {
    media::VideoCodec codec;
    int width;
    int height;
    int count;
    int bFrames;
};

std::string describe(const CodecCase& c)
{
    return std::string(c.codec == media::VideoCodec::H265 ? "H265_" : "H264_") + std::to_string(c.width) + "x" +
           std::to_string(c.height) + (c.bFrames > 0 ? "_B" + std::to_string(c.bFrames) : "");
}

std::string caseName(const testing::TestParamInfo<CodecCase>& info)
{
    return describe(info.param);
}

void PrintTo(const CodecCase& c, std::ostream* out)
{
    *out << describe(c);
}

class CodecDecode : public testing::TestWithParam<CodecCase> {};

// Live: every picture reaches the window at its own size, in display
// order and with its time; the square is where the encoder put it.
TEST_P(CodecDecode, LivePicturesComeInDisplayOrderWithTheirTimes)
{
    const CodecCase& c = GetParam();
    const auto& pictures = testPictures(c.width, c.height, c.count, {c.codec, c.bFrames});
    MIVU_REQUIRE_STREAM(pictures);
    ASSERT_EQ(int(pictures.size()), c.count);
    ShownPictures shown(MIVU_MODE_LIVE, QSize(c.width, c.height), c.width, c.height);
    shown.feed(containerFrames(pictures, kStartMs, kIntervalMs, std::uint16_t(c.width), std::uint16_t(c.height),
                               c.codec));
    // B-pictures wait in the decoder for the anchor after them: the last
    // few come out only with the next packets a camera sends.
    const std::uint64_t expected = std::uint64_t(c.count - c.bFrames);
    ASSERT_TRUE(shown.waitPresented(expected));
    const MIVU_Statistics s = statisticsOf(shown.decoder());
    EXPECT_EQ(s.decodeErrors, 0u);
    EXPECT_EQ(s.width, c.width);
    EXPECT_EQ(s.height, c.height);
    EXPECT_GE(s.picturesDecoded, expected);
    EXPECT_EQ(shown.picture().image.size(), QSize(c.width, c.height));
    expectDisplayOrderWithTheirTimes(shown.shown());
    EXPECT_GE(shown.shown().back().first, int(expected) - 1);
}

// Playback: pictures paced by their times come out in display order, each
// with the time of its place, and the playback time never goes back.
TEST_P(CodecDecode, PlaybackPicturesAreTimedInDisplayOrder)
{
    const CodecCase& c = GetParam();
    if (c.width * c.height > 1'000'000)
        GTEST_SKIP() << "the live case covers large pictures";
    const auto& pictures = testPictures(c.width, c.height, c.count, {c.codec, c.bFrames});
    MIVU_REQUIRE_STREAM(pictures);
    ShownPictures shown(MIVU_MODE_PLAYBACK, QSize(c.width, c.height), c.width, c.height);
    ASSERT_EQ(MIVU_SetSpeed(shown.decoder(), 4), MIVU_OK);
    shown.feed(containerFrames(pictures, kStartMs, kIntervalMs, std::uint16_t(c.width), std::uint16_t(c.height),
                               c.codec));
    ASSERT_TRUE(shown.waitPresented(std::uint64_t(c.count - c.bFrames)));
    expectDisplayOrderWithTheirTimes(shown.shown());
    std::uint64_t playbackTimeMs = 0;
    ASSERT_EQ(MIVU_GetPlaybackTime(shown.decoder(), &playbackTimeMs), MIVU_OK);
    EXPECT_EQ(playbackTimeMs, shown.shown().back().second);
}

INSTANTIATE_TEST_SUITE_P(Cameras, CodecDecode,
                         testing::Values(CodecCase{media::VideoCodec::H264, 352, 288, 20, 0},
                                         CodecCase{media::VideoCodec::H264, 352, 288, 20, 2},
                                         CodecCase{media::VideoCodec::H264, 1278, 720, 8, 2},
                                         CodecCase{media::VideoCodec::H264, 2560, 1440, 3, 0},
                                         CodecCase{media::VideoCodec::H265, 352, 288, 20, 0},
                                         CodecCase{media::VideoCodec::H265, 318, 240, 20, 2},
                                         CodecCase{media::VideoCodec::H265, 1920, 1080, 4, 0}),
                         caseName);

// A camera replaced by one of another codec and size: the decoder follows
// at the key frame, and the old stream's pictures held back for display
// order are still shown before the new ones.
TEST(CodecChange, TheDecoderFollowsTheCodecAtTheNextKeyFrame)
{
    for (const std::int32_t mode : {MIVU_MODE_LIVE, MIVU_MODE_PLAYBACK}) {
        SCOPED_TRACE(mode == MIVU_MODE_LIVE ? "live" : "playback");
        const auto& first = testPictures(352, 288, 12, {media::VideoCodec::H264, 2});
        const auto& second = testPictures(320, 240, 12, {media::VideoCodec::H265, 0});
        const auto& third = testPictures(352, 288, 12, {media::VideoCodec::H264, 0});
        MIVU_REQUIRE_STREAM(first);
        MIVU_REQUIRE_STREAM(second);
        ShownPictures shown(mode, QSize(352, 288), 352, 288);
        if (mode == MIVU_MODE_PLAYBACK) {
            ASSERT_EQ(MIVU_SetSpeed(shown.decoder(), 8), MIVU_OK);
        }
        shown.feed(containerFrames(first, kStartMs, kIntervalMs, 352, 288, media::VideoCodec::H264));
        shown.feed(containerFrames(second, kStartMs + 12 * kIntervalMs, kIntervalMs, 320, 240,
                                   media::VideoCodec::H265));
        ASSERT_TRUE(shown.waitPresented(24)) << statisticsOf(shown.decoder()).picturesPresented << " "
                                             << statisticsOf(shown.decoder()).picturesDecoded << " "
                                             << statisticsOf(shown.decoder()).framesDropped << " "
                                             << statisticsOf(shown.decoder()).decodeErrors;
        MIVU_Statistics s = statisticsOf(shown.decoder());
        EXPECT_EQ(s.width, 320);
        EXPECT_EQ(s.height, 240);
        EXPECT_EQ(s.decodeErrors, 0u);
        EXPECT_EQ(s.picturesDecoded, 24u);
        // And back, to the codec it began with.
        shown.feed(containerFrames(third, kStartMs + 24 * kIntervalMs, kIntervalMs, 352, 288,
                                   media::VideoCodec::H264));
        ASSERT_TRUE(shown.waitPresented(36));
        s = statisticsOf(shown.decoder());
        EXPECT_EQ(s.width, 352);
        EXPECT_EQ(s.decodeErrors, 0u);
        // Frame times went on without a step back across both changes.
        std::uint64_t last = 0;
        for (const auto& [index, timeMs] : shown.shown()) {
            EXPECT_GT(timeMs, last);
            last = timeMs;
        }
        EXPECT_EQ(last, kStartMs + 35 * kIntervalMs);
    }
}

}  // namespace
}  // namespace mivu::test
