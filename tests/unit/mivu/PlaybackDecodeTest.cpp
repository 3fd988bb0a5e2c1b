// SPDX-License-Identifier: GPL-3.0-or-later
// Playback decoders: pacing, pause, single pictures, speed, a full queue,
// seeks, and several sub-pictures in one decoder.
#include "TestStream.h"

#include "MIVUStream.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace mivu::test {
namespace {

constexpr int kWidth = 352;
constexpr int kHeight = 288;

std::uint64_t presented(std::uint32_t decoder, int index = 0)
{
    MIVU_Statistics s{};
    EXPECT_EQ(MIVU_GetStatistics(decoder, index, &s), MIVU_OK);
    return s.picturesPresented;
}

class PlaybackDecode : public testing::Test {
protected:
    void open(int subPictures, std::uint32_t frameIntervalMs)
    {
        const auto& pictures = testPictures(kWidth, kHeight, 30);
        MIVU_REQUIRE_STREAM(pictures);
        frames = containerFrames(pictures, 1'600'000'000'000ull, frameIntervalMs, kWidth, kHeight);
        std::vector<std::uint32_t> handles;
        for (int i = 0; i < subPictures; ++i) {
            windows.push_back(std::make_unique<TargetWindow>());
            handles.push_back(windows.back()->handle());
        }
        ASSERT_EQ(MIVU_OpenStream(handles.data(), subPictures, MIVU_MODE_PLAYBACK, &decoder), MIVU_OK);
    }
    void TearDown() override
    {
        if (decoder != 0) {
            EXPECT_EQ(MIVU_CloseStream(decoder), MIVU_OK);
        }
    }
    std::int32_t input(std::size_t i, int index = 0)
    {
        return MIVU_InputFrame(decoder, index, frames[i].data(), std::uint32_t(frames[i].size()));
    }
    void feed(std::size_t first, std::size_t count, int index = 0)
    {
        for (std::size_t i = first; i < first + count; ++i)
            ASSERT_EQ(input(i, index), MIVU_OK);
    }

    std::vector<std::unique_ptr<TargetWindow>> windows;
    std::vector<Bytes> frames;
    std::uint32_t decoder = 0;
};

TEST_F(PlaybackDecode, PicturesArePacedByTheirFrameTimes)
{
    open(1, 200);
    if (decoder == 0)
        return;
    QElapsedTimer clock;
    clock.start();
    feed(0, 6);
    // Six pictures 200 ms apart in frame time cannot all be shown before a
    // second has passed at normal speed.
    ASSERT_TRUE(spinUntil([&] { return presented(decoder) == 6; }));
    EXPECT_GE(clock.elapsed(), 1000 - 20);

    // Eight times faster: the next six (1 s of frame time) pass quickly.
    ASSERT_EQ(MIVU_SetSpeed(decoder, 8), MIVU_OK);
    feed(6, 6);
    ASSERT_TRUE(spinUntil([&] { return presented(decoder) == 12; }));
}

TEST_F(PlaybackDecode, PauseHoldsPicturesAndPlayFrameStepsOneAtATime)
{
    open(1, 40);
    if (decoder == 0)
        return;
    feed(0, 3);
    ASSERT_TRUE(spinUntil([&] { return presented(decoder) == 3; }));

    ASSERT_EQ(MIVU_Pause(decoder, 1), MIVU_OK);
    feed(3, 10);
    spinFor(300);
    EXPECT_EQ(presented(decoder), 3u);

    ASSERT_EQ(MIVU_PlayFrame(decoder, 1), MIVU_OK);
    ASSERT_TRUE(spinUntil([&] { return presented(decoder) == 4; }));
    spinFor(200);
    EXPECT_EQ(presented(decoder), 4u);
    ASSERT_TRUE(spinUntil([&] { return windows[0]->picture().frameTimeMs == 1'600'000'000'000ull + 3 * 40; }));

    // Stepping from playing pauses too; resuming plays the rest.
    ASSERT_EQ(MIVU_Pause(decoder, 0), MIVU_OK);
    ASSERT_TRUE(spinUntil([&] { return presented(decoder) == 13; }));
    ASSERT_EQ(MIVU_PlayFrame(decoder, 2), MIVU_OK);
    feed(13, 5);
    ASSERT_TRUE(spinUntil([&] { return presented(decoder) >= 15; }));
    spinFor(200);
    EXPECT_LE(presented(decoder), 15u);
    ASSERT_EQ(MIVU_Pause(decoder, 0), MIVU_OK);
    ASSERT_TRUE(spinUntil([&] { return presented(decoder) == 18; }));
}

TEST_F(PlaybackDecode, AFullQueueRefusesFramesInsteadOfDroppingThem)
{
    open(1, 40);
    if (decoder == 0)
        return;
    ASSERT_EQ(MIVU_Pause(decoder, 1), MIVU_OK);
    int refused = 0;
    for (int round = 0; round < 5 && refused == 0; ++round) {
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const std::int32_t result = input(i);
            ASSERT_TRUE(result == MIVU_OK || result == MIVU_ERR_BUSY) << result;
            refused += result == MIVU_ERR_BUSY;
        }
    }
    EXPECT_GT(refused, 0);
    MIVU_Statistics s{};
    ASSERT_EQ(MIVU_GetStatistics(decoder, 0, &s), MIVU_OK);
    EXPECT_EQ(s.framesDropped, 0u);
    EXPECT_EQ(s.picturesPresented, 0u);
}

TEST_F(PlaybackDecode, ResetDropsQueuedFramesAndStartsAtTheNextKeyFrame)
{
    open(1, 40);
    if (decoder == 0)
        return;
    ASSERT_EQ(MIVU_Pause(decoder, 1), MIVU_OK);
    feed(0, 20);
    ASSERT_EQ(MIVU_ResetStream(decoder), MIVU_OK);
    ASSERT_EQ(MIVU_Pause(decoder, 0), MIVU_OK);
    // After the seek the stream goes on mid-GOP: deltas wait for frame 24's key.
    feed(20, 10);
    ASSERT_TRUE(spinUntil([&] { return presented(decoder) == 6; }));
    spinFor(100);
    MIVU_Statistics s{};
    ASSERT_EQ(MIVU_GetStatistics(decoder, 0, &s), MIVU_OK);
    EXPECT_EQ(s.picturesPresented, 6u);
    EXPECT_EQ(s.framesDropped, 4u);
    EXPECT_EQ(s.decodeErrors, 0u);
}

TEST_F(PlaybackDecode, SubPicturesShowInTheirOwnWindows)
{
    open(2, 40);
    if (decoder == 0)
        return;
    feed(0, 12, 0);
    feed(0, 8, 1);
    ASSERT_TRUE(spinUntil([&] { return presented(decoder, 0) == 12 && presented(decoder, 1) == 8; }));
    ASSERT_TRUE(spinUntil([&] { return windows[0]->hasPicture() && windows[1]->hasPicture(); }));
    EXPECT_EQ(windows[1]->picture().frameTimeMs, 1'600'000'000'000ull + 7 * 40);
    EXPECT_EQ(MIVU_SetSound(decoder, 1, 1), MIVU_OK);
    EXPECT_EQ(MIVU_SetSound(decoder, 2, 1), MIVU_ERR_ARGUMENT);
    EXPECT_EQ(MIVU_CapturePicture(decoder, 1, "/nonexistent-folder/x.bmp"), MIVU_ERR_WRITE);
}

}  // namespace
}  // namespace mivu::test
