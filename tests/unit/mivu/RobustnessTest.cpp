// SPDX-License-Identifier: GPL-3.0-or-later
// Malformed input, frames out of order and calls from the wrong place must
// never crash or wedge a decoder.
#include "TestStream.h"

#include "MIVUStream.h"
#include "proto/MediaFrame.h"

#include <gtest/gtest.h>

#include <random>

namespace mivu::test {
namespace {

constexpr int kWidth = 352;
constexpr int kHeight = 288;

MIVU_Statistics statisticsOf(std::uint32_t decoder)
{
    MIVU_Statistics s{};
    EXPECT_EQ(MIVU_GetStatistics(decoder, 0, &s), MIVU_OK);
    return s;
}

class Robustness : public testing::Test {
protected:
    void SetUp() override
    {
        const auto& pictures = testPictures(kWidth, kHeight, 30);
        MIVU_REQUIRE_STREAM(pictures);
        frames = containerFrames(pictures, 1'700'000'000'000ull, 40, kWidth, kHeight);
        const std::uint32_t handle = window.handle();
        ASSERT_EQ(MIVU_OpenStream(&handle, 1, MIVU_MODE_LIVE, &decoder), MIVU_OK);
    }
    void TearDown() override
    {
        if (decoder != 0) {
            EXPECT_EQ(MIVU_CloseStream(decoder), MIVU_OK);
        }
    }
    std::int32_t input(const Bytes& bytes)
    {
        return MIVU_InputFrame(decoder, 0, bytes.data(), std::uint32_t(bytes.size()));
    }
    // The real stream still decodes afterwards: the decoder recovered.
    void expectRecovers()
    {
        // Let the decoder work off what it has first: a live queue that is
        // still full would drop the good stream's first key frame.
        ASSERT_TRUE(spinUntil([&] { return statisticsOf(decoder).framesPending == 0; }));
        const std::uint64_t before = statisticsOf(decoder).picturesPresented;
        for (const Bytes& frame : frames)
            ASSERT_EQ(input(frame), MIVU_OK);
        EXPECT_TRUE(spinUntil([&] { return statisticsOf(decoder).picturesPresented >= before + 25; }))
            << "dropped " << statisticsOf(decoder).framesDropped << ", errors " << statisticsOf(decoder).decodeErrors;
    }

    TargetWindow window;
    std::vector<Bytes> frames;
    std::uint32_t decoder = 0;
};

TEST_F(Robustness, MalformedContainerFramesAreRefused)
{
    Bytes frame = frames[0];
    // Cut short: the header promises more than there is.
    EXPECT_EQ(MIVU_InputFrame(decoder, 0, frame.data(), std::uint32_t(frame.size() - 1)), MIVU_ERR_ARGUMENT);
    EXPECT_EQ(MIVU_InputFrame(decoder, 0, frame.data(), 11), MIVU_ERR_ARGUMENT);
    // Trailing bytes after the frame.
    Bytes longer = frame;
    longer.push_back(0);
    EXPECT_EQ(input(longer), MIVU_ERR_ARGUMENT);
    // No magic.
    Bytes noMagic = frame;
    noMagic[2] = 'x';
    EXPECT_EQ(input(noMagic), MIVU_ERR_ARGUMENT);
    // An item that overruns the frame.
    Bytes badItem = frame;
    badItem[13] = 0xFF;
    EXPECT_EQ(input(badItem), MIVU_ERR_ARGUMENT);
    // A kind this library does not know is skipped, and so is a frame
    // without payload (to libavcodec, an empty packet ends the stream).
    Bytes unknownKind = frame;
    unknownKind[0] = 0x7E;
    EXPECT_EQ(input(unknownKind), MIVU_OK);
    media::FrameFields empty;
    empty.kind = media::MediaKind::VideoKey;
    EXPECT_EQ(input(media::buildFrame(empty, {})), MIVU_OK);
    EXPECT_EQ(statisticsOf(decoder).framesQueued, 0u);
    expectRecovers();
}

TEST_F(Robustness, RandomBytesAndRandomPayloadsNeverCrash)
{
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 200; ++i) {
        Bytes noise(std::size_t(1 + random() % 3000));
        for (auto& b : noise)
            b = std::uint8_t(byte(random));
        const std::int32_t result = input(noise);
        EXPECT_TRUE(result == MIVU_OK || result == MIVU_ERR_ARGUMENT);
    }
    // Well-formed frames whose H.264 is noise, or real H.264 cut or damaged.
    for (int i = 0; i < 60; ++i) {
        const Bytes& source = frames[std::size_t(i) % frames.size()].size() > 40 ? frames[std::size_t(i) % frames.size()] : frames[0];
        const auto view = media::parseFrame(source);
        ASSERT_TRUE(view);
        Bytes payload(view->payload.begin(), view->payload.end());
        switch (i % 3) {
        case 0:
            for (auto& b : payload)
                b = std::uint8_t(byte(random));
            break;
        case 1:
            payload.resize(payload.size() / 2);
            break;
        default:
            for (int k = 0; k < 20; ++k)
                payload[random() % payload.size()] ^= std::uint8_t(1 + byte(random) % 255);
            break;
        }
        media::FrameFields fields;
        fields.kind = i % 2 == 0 ? media::MediaKind::VideoKey : media::MediaKind::VideoDelta;
        EXPECT_EQ(input(media::buildFrame(fields, payload)), MIVU_OK);
    }
    expectRecovers();
}

TEST_F(Robustness, DeltaFramesBeforeTheFirstKeyFrameAreDropped)
{
    for (std::size_t i = 1; i < 12; ++i)
        ASSERT_EQ(input(frames[i]), MIVU_OK);
    spinFor(50);
    MIVU_Statistics s = statisticsOf(decoder);
    EXPECT_EQ(s.framesDropped, 11u);
    EXPECT_EQ(s.picturesDecoded, 0u);
    expectRecovers();
}

struct Reentry {
    std::uint32_t decoder = 0;
    std::atomic<int> closeResult{-1};
    std::atomic<int> registerResult{-1};
};

std::int32_t callBackIntoTheLibrary(void* userData, void*, std::int32_t, std::int32_t)
{
    auto* reentry = static_cast<Reentry*>(userData);
    reentry->closeResult.store(MIVU_CloseStream(reentry->decoder));
    reentry->registerResult.store(MIVU_RegisterOSDCallBack(reentry->decoder, nullptr, nullptr));
    return 0;
}

TEST_F(Robustness, CallsThatWouldWaitForThemselvesAreRefused)
{
    Reentry reentry;
    reentry.decoder = decoder;
    ASSERT_EQ(MIVU_RegisterOSDCallBack(decoder, callBackIntoTheLibrary, &reentry), MIVU_OK);
    ASSERT_EQ(input(frames[0]), MIVU_OK);
    ASSERT_TRUE(spinUntil([&] { return reentry.registerResult.load() != -1; }));
    EXPECT_EQ(reentry.closeResult.load(), MIVU_ERR_BUSY);
    EXPECT_EQ(reentry.registerResult.load(), MIVU_ERR_BUSY);
    ASSERT_EQ(MIVU_RegisterOSDCallBack(decoder, nullptr, nullptr), MIVU_OK);
    expectRecovers();
}

}  // namespace
}  // namespace mivu::test
