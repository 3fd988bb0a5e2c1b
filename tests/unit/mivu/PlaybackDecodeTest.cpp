// SPDX-License-Identifier: GPL-3.0-or-later
// Playback decoders: pacing, pause, single pictures, speed, a full queue,
// seeks, and several sub-pictures in one decoder.
#include "TestStream.h"

#include "MIVUStream.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>

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
    EXPECT_EQ(MIVU_SetSound(decoder, 0, 0), MIVU_OK);
    EXPECT_EQ(MIVU_SetSound(decoder, 2, 1), MIVU_ERR_ARGUMENT);
    EXPECT_EQ(MIVU_CapturePicture(decoder, 1, "/nonexistent-folder/x.bmp"), MIVU_ERR_WRITE);
    // Each sub-picture captures its own last picture.
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath("slot1.bmp").toStdString();
    ASSERT_EQ(MIVU_CapturePicture(decoder, 1, path.c_str()), MIVU_OK);
    EXPECT_EQ(QImage(QString::fromStdString(path), "BMP").size(), QSize(kWidth, kHeight));
}

std::uint64_t shownTime(std::uint32_t decoder, int index)
{
    MIVU_Statistics s{};
    EXPECT_EQ(MIVU_GetStatistics(decoder, index, &s), MIVU_OK);
    return s.shownFrameTimeMs;
}

// Two channels of one playback: the second starts at a later key frame (as
// the recorder starts each channel at its own key frame), and all frames
// are queued at once. Whatever each decode thread does, the pictures shown
// at any moment are at most one frame apart.
TEST_F(PlaybackDecode, SubPicturesShowPicturesOfTheSameTimeTogether)
{
    open(2, 40);
    if (decoder == 0)
        return;
    constexpr std::uint64_t kStart = 1'600'000'000'000ull;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        ASSERT_EQ(input(i, 0), MIVU_OK);
        if (i >= 12) {
            ASSERT_EQ(input(i, 1), MIVU_OK);
        }
    }
    std::uint64_t samples = 0;
    std::uint64_t worst = 0;
    ASSERT_TRUE(spinUntil([&] {
        // A pair read while the second did not change is a true snapshot.
        const std::uint64_t second = shownTime(decoder, 1);
        const std::uint64_t first = shownTime(decoder, 0);
        if (shownTime(decoder, 1) != second)
            return false;
        if (second != 0) {
            ++samples;
            worst = std::max(worst, first > second ? first - second : second - first);
        } else {
            // Nothing of channel 1 yet: channel 0 has not gone past its start.
            EXPECT_LE(first, kStart + 12 * 40);
        }
        return presented(decoder, 0) == 30 && presented(decoder, 1) == 18;
    }));
    EXPECT_GT(samples, 0u);
    EXPECT_LE(worst, 40u);
    std::uint64_t playbackTime = 0;
    ASSERT_EQ(MIVU_GetPlaybackTime(decoder, &playbackTime), MIVU_OK);
    EXPECT_EQ(playbackTime, kStart + 29 * 40);
}

TEST_F(PlaybackDecode, PlayFrameStepsEverySubPictureToItsNextPicture)
{
    open(2, 40);
    if (decoder == 0)
        return;
    ASSERT_EQ(MIVU_Pause(decoder, 1), MIVU_OK);
    feed(0, 10, 0);
    feed(0, 10, 1);
    for (std::uint64_t step = 1; step <= 3; ++step) {
        ASSERT_EQ(MIVU_PlayFrame(decoder, 1), MIVU_OK);
        ASSERT_TRUE(spinUntil([&] { return presented(decoder, 0) == step && presented(decoder, 1) == step; }));
        EXPECT_EQ(shownTime(decoder, 0), 1'600'000'000'000ull + (step - 1) * 40);
        EXPECT_EQ(shownTime(decoder, 1), 1'600'000'000'000ull + (step - 1) * 40);
    }
    ASSERT_EQ(MIVU_Pause(decoder, 0), MIVU_OK);
    ASSERT_TRUE(spinUntil([&] { return presented(decoder, 0) == 10 && presented(decoder, 1) == 10; }));
}

TEST_F(PlaybackDecode, PlaybackTimeIsTheLastShownFrameTimeUntilAReset)
{
    open(1, 40);
    if (decoder == 0)
        return;
    std::uint64_t time = 1;
    ASSERT_EQ(MIVU_GetPlaybackTime(decoder, &time), MIVU_OK);
    EXPECT_EQ(time, 0u);
    EXPECT_EQ(MIVU_GetPlaybackTime(decoder, nullptr), MIVU_ERR_ARGUMENT);
    EXPECT_EQ(MIVU_GetPlaybackTime(decoder + 1000, &time), MIVU_ERR_HANDLE);

    feed(0, 5);
    ASSERT_TRUE(spinUntil([&] { return presented(decoder) == 5; }));
    ASSERT_EQ(MIVU_GetPlaybackTime(decoder, &time), MIVU_OK);
    EXPECT_EQ(time, 1'600'000'000'000ull + 4 * 40);

    // After a seek nothing is shown until the new stream's first picture.
    ASSERT_EQ(MIVU_ResetStream(decoder), MIVU_OK);
    ASSERT_EQ(MIVU_GetPlaybackTime(decoder, &time), MIVU_OK);
    EXPECT_EQ(time, 0u);
    feed(12, 3);
    ASSERT_TRUE(spinUntil([&] { return presented(decoder) == 8; }));
    ASSERT_EQ(MIVU_GetPlaybackTime(decoder, &time), MIVU_OK);
    EXPECT_EQ(time, 1'600'000'000'000ull + 14 * 40);
}

TEST(PlaybackTime, LiveDecodersAnswerZero)
{
    TargetWindow window;
    const std::uint32_t handle = window.handle();
    std::uint32_t decoder = 0;
    ASSERT_EQ(MIVU_OpenStream(&handle, 1, MIVU_MODE_LIVE, &decoder), MIVU_OK);
    std::uint64_t time = 1;
    EXPECT_EQ(MIVU_GetPlaybackTime(decoder, &time), MIVU_OK);
    EXPECT_EQ(time, 0u);
    EXPECT_EQ(MIVU_CloseStream(decoder), MIVU_OK);
}

}  // namespace
}  // namespace mivu::test
