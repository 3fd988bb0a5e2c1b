// SPDX-License-Identifier: GPL-3.0-or-later
// A live decoder fed through the inner interface, showing in a window.
#include "TestStream.h"

#include "MIVUStream.h"

#include <QDir>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace mivu::test {
namespace {

constexpr int kWidth = 352;
constexpr int kHeight = 288;

MIVU_Statistics statisticsOf(std::uint32_t decoder, int index = 0)
{
    MIVU_Statistics s{};
    EXPECT_EQ(MIVU_GetStatistics(decoder, index, &s), MIVU_OK);
    return s;
}

class LiveDecode : public testing::Test {
protected:
    void SetUp() override
    {
        const auto& pictures = testPictures(kWidth, kHeight, 30);
        MIVU_REQUIRE_STREAM(pictures);
        frames = containerFrames(pictures, 1'700'000'000'000ull, 40, kWidth, kHeight);
        ASSERT_EQ(frames.size(), 30u);
        const std::uint32_t handle = window.handle();
        ASSERT_EQ(MIVU_OpenStream(&handle, 1, MIVU_MODE_LIVE, &decoder), MIVU_OK);
        ASSERT_NE(decoder, 0u);
    }
    void TearDown() override
    {
        if (decoder != 0) {
            EXPECT_EQ(MIVU_CloseStream(decoder), MIVU_OK);
        }
    }

    void feed(std::size_t first = 0, std::size_t count = SIZE_MAX)
    {
        for (std::size_t i = first; i < frames.size() && i - first < count; ++i)
            ASSERT_EQ(MIVU_InputFrame(decoder, 0, frames[i].data(), std::uint32_t(frames[i].size())), MIVU_OK);
    }
    bool waitPresented(std::uint64_t count)
    {
        return spinUntil([&] { return statisticsOf(decoder).picturesPresented >= count; });
    }

    TargetWindow window;
    std::vector<Bytes> frames;
    std::uint32_t decoder = 0;
};

TEST_F(LiveDecode, EveryPictureReachesTheWindow)
{
    std::vector<std::uint64_t> shownTimes;
    window.setShownHook([&](std::uint64_t t) { shownTimes.push_back(t); });
    feed();
    ASSERT_TRUE(waitPresented(30));
    ASSERT_TRUE(spinUntil([&] { return window.picturesShown() + window.picturesDropped() == 30; }));
    const MIVU_Statistics s = statisticsOf(decoder);
    EXPECT_EQ(s.framesQueued, 30u);
    EXPECT_EQ(s.framesDropped, 0u);
    EXPECT_EQ(s.picturesDecoded, 30u);
    EXPECT_EQ(s.decodeErrors, 0u);
    EXPECT_EQ(s.width, kWidth);
    EXPECT_EQ(s.height, kHeight);
    EXPECT_EQ(window.picture().image.size(), QSize(kWidth, kHeight));
    ASSERT_FALSE(shownTimes.empty());
    EXPECT_EQ(shownTimes.back(), 1'700'000'000'000ull + 29 * 40);  // the last frame's time
    // The last picture as drawn: its light square at x 232..303, y 72..143,
    // over a dark corner of the gradient.
    EXPECT_GT(qGray(window.picture().image.pixel(260, 100)), 200);
    EXPECT_LT(qGray(window.picture().image.pixel(10, 10)), 60);
}

struct OsdRecord {
    std::mutex lock;
    int calls = 0;
    bool nullPainter = false;
    QSize size;
};

std::int32_t drawRedCorner(void* userData, void* drawContext, std::int32_t width, std::int32_t height)
{
    auto* record = static_cast<OsdRecord*>(userData);
    std::lock_guard<std::mutex> lock(record->lock);
    ++record->calls;
    record->size = QSize(width, height);
    auto* painter = static_cast<QPainter*>(drawContext);
    if (painter == nullptr) {
        record->nullPainter = true;
        return 1;
    }
    painter->fillRect(0, 0, 24, 24, QColor(255, 0, 0));
    return 0;
}

TEST_F(LiveDecode, DrawingCallbackDrawsOnShownPicturesButNotOnCaptures)
{
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath("shot.bmp").toStdString();
    EXPECT_EQ(MIVU_CapturePicture(decoder, 0, path.c_str()), MIVU_ERR_NO_PICTURE);

    OsdRecord record;
    ASSERT_EQ(MIVU_RegisterOSDCallBack(decoder, drawRedCorner, &record), MIVU_OK);
    feed(0, 15);
    ASSERT_TRUE(waitPresented(15));
    {
        std::lock_guard<std::mutex> lock(record.lock);
        EXPECT_EQ(record.calls, 15);
        EXPECT_FALSE(record.nullPainter);
        EXPECT_EQ(record.size, QSize(kWidth, kHeight));
    }
    // Compare with the picture captured below: the last one, frame 14.
    ASSERT_TRUE(spinUntil([&] { return window.picture().frameTimeMs == 1'700'000'000'000ull + 14 * 40; }));
    const QImage shown = window.picture().image;
    EXPECT_EQ(shown.pixelColor(5, 5), QColor(255, 0, 0));
    EXPECT_NE(shown.pixelColor(40, 40), QColor(255, 0, 0));

    ASSERT_EQ(MIVU_CapturePicture(decoder, 0, path.c_str()), MIVU_OK);
    const QImage captured(QString::fromStdString(path), "BMP");
    ASSERT_FALSE(captured.isNull());
    EXPECT_EQ(captured.size(), QSize(kWidth, kHeight));
    EXPECT_NE(captured.pixelColor(5, 5), QColor(255, 0, 0));  // the picture as decoded
    EXPECT_LE(std::abs(qGray(captured.pixel(100, 100)) - qGray(shown.pixel(100, 100))), 2);

    // Once removed, the callback is not called again.
    ASSERT_EQ(MIVU_RegisterOSDCallBack(decoder, nullptr, nullptr), MIVU_OK);
    feed(15);
    ASSERT_TRUE(waitPresented(30));
    std::lock_guard<std::mutex> lock(record.lock);
    EXPECT_EQ(record.calls, 15);
}

TEST_F(LiveDecode, CaptureRefusesBadPaths)
{
    feed(0, 1);
    ASSERT_TRUE(waitPresented(1));
    EXPECT_EQ(MIVU_CapturePicture(decoder, 0, nullptr), MIVU_ERR_ARGUMENT);
    EXPECT_EQ(MIVU_CapturePicture(decoder, 0, ""), MIVU_ERR_ARGUMENT);
    EXPECT_EQ(MIVU_CapturePicture(decoder, 0, "/nonexistent-folder/x/shot.bmp"), MIVU_ERR_WRITE);
    EXPECT_EQ(MIVU_CapturePicture(decoder, 1, "/tmp/shot.bmp"), MIVU_ERR_ARGUMENT);
}

TEST_F(LiveDecode, HandlesAndArgumentsAreChecked)
{
    const std::uint32_t unknown = decoder + 1000;
    MIVU_Statistics s{};
    for (std::uint32_t handle : {0u, unknown}) {
        EXPECT_EQ(MIVU_SetSound(handle, 0, 1), MIVU_ERR_HANDLE);
        EXPECT_EQ(MIVU_RegisterOSDCallBack(handle, nullptr, nullptr), MIVU_ERR_HANDLE);
        EXPECT_EQ(MIVU_CapturePicture(handle, 0, "/tmp/x.bmp"), MIVU_ERR_HANDLE);
        EXPECT_EQ(MIVU_Pause(handle, 1), MIVU_ERR_HANDLE);
        EXPECT_EQ(MIVU_SetSpeed(handle, 2), MIVU_ERR_HANDLE);
        EXPECT_EQ(MIVU_PlayFrame(handle, 1), MIVU_ERR_HANDLE);
        EXPECT_EQ(MIVU_InputFrame(handle, 0, frames[0].data(), std::uint32_t(frames[0].size())), MIVU_ERR_HANDLE);
        EXPECT_EQ(MIVU_ResetStream(handle), MIVU_ERR_HANDLE);
        EXPECT_EQ(MIVU_CloseStream(handle), MIVU_ERR_HANDLE);
        EXPECT_EQ(MIVU_GetStatistics(handle, 0, &s), MIVU_ERR_HANDLE);
    }
    EXPECT_EQ(MIVU_SetSound(decoder, -1, 1), MIVU_ERR_ARGUMENT);
    EXPECT_EQ(MIVU_SetSound(decoder, 1, 1), MIVU_ERR_ARGUMENT);
    EXPECT_EQ(MIVU_SetSound(decoder, 0, 2), MIVU_ERR_ARGUMENT);
    EXPECT_EQ(MIVU_Pause(decoder, 5), MIVU_ERR_ARGUMENT);
    EXPECT_EQ(MIVU_SetSpeed(decoder, 0), MIVU_ERR_ARGUMENT);
    EXPECT_EQ(MIVU_SetSpeed(decoder, 65), MIVU_ERR_ARGUMENT);
    EXPECT_EQ(MIVU_SetSpeed(decoder, -65), MIVU_ERR_ARGUMENT);
    EXPECT_EQ(MIVU_PlayFrame(decoder, 0), MIVU_ERR_ARGUMENT);
    EXPECT_EQ(MIVU_InputFrame(decoder, 0, nullptr, 10), MIVU_ERR_ARGUMENT);
    EXPECT_EQ(MIVU_GetStatistics(decoder, 0, nullptr), MIVU_ERR_ARGUMENT);

    std::uint32_t other = 0;
    const std::uint32_t windows[17] = {};
    EXPECT_EQ(MIVU_OpenStream(windows, 0, MIVU_MODE_LIVE, &other), MIVU_ERR_ARGUMENT);
    EXPECT_EQ(MIVU_OpenStream(windows, 17, MIVU_MODE_LIVE, &other), MIVU_ERR_ARGUMENT);
    EXPECT_EQ(MIVU_OpenStream(windows, 1, 7, &other), MIVU_ERR_ARGUMENT);
    EXPECT_EQ(MIVU_OpenStream(nullptr, 1, MIVU_MODE_LIVE, &other), MIVU_ERR_ARGUMENT);
    EXPECT_EQ(MIVU_OpenStream(windows, 1, MIVU_MODE_LIVE, nullptr), MIVU_ERR_ARGUMENT);
    // A second decoder gets a handle of its own, which dies with its close.
    ASSERT_EQ(MIVU_OpenStream(windows, 16, MIVU_MODE_LIVE, &other), MIVU_OK);
    EXPECT_NE(other, decoder);
    EXPECT_EQ(MIVU_CloseStream(other), MIVU_OK);
    EXPECT_EQ(MIVU_CloseStream(other), MIVU_ERR_HANDLE);
}

TEST_F(LiveDecode, SoundSwitchesWithoutAnAudioDevice)
{
    EXPECT_EQ(MIVU_SetSound(decoder, 0, 1), MIVU_OK);
    const Bytes audio = muLawFrame(320);
    feed(0, 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(MIVU_InputFrame(decoder, 0, audio.data(), std::uint32_t(audio.size())), MIVU_OK);
    ASSERT_TRUE(waitPresented(10));
    spinUntil([&] { return statisticsOf(decoder).framesQueued >= 20; });
    EXPECT_EQ(MIVU_SetSound(decoder, 0, 0), MIVU_OK);
    // From another thread (the network library's callback does that), the
    // output is opened on the main thread later.
    std::int32_t result = -1;
    std::thread([&] { result = MIVU_SetSound(decoder, 0, 1); }).join();
    EXPECT_EQ(result, MIVU_OK);
    spinFor(20);
    EXPECT_EQ(statisticsOf(decoder).decodeErrors, 0u);
}

TEST_F(LiveDecode, SoundSwitchedOnJustBeforeClosing)
{
    std::thread([&] { MIVU_SetSound(decoder, 0, 1); }).join();
    EXPECT_EQ(MIVU_CloseStream(decoder), MIVU_OK);
    decoder = 0;
    spinFor(20);  // the queued opening finds its sub-picture gone
}

TEST_F(LiveDecode, PlaybackSwitchesAreKeptButLivePicturesFlow)
{
    EXPECT_EQ(MIVU_Pause(decoder, 1), MIVU_OK);
    EXPECT_EQ(MIVU_SetSpeed(decoder, -4), MIVU_OK);
    EXPECT_EQ(MIVU_PlayFrame(decoder, 1), MIVU_OK);
    feed();
    EXPECT_TRUE(waitPresented(30));
}

TEST_F(LiveDecode, AWindowThatDoesNotPaintDropsAndCounts)
{
    TargetWindow hidden(false);
    const std::uint32_t handle = hidden.handle();
    std::uint32_t second = 0;
    ASSERT_EQ(MIVU_OpenStream(&handle, 1, MIVU_MODE_LIVE, &second), MIVU_OK);
    for (const Bytes& frame : frames)
        ASSERT_EQ(MIVU_InputFrame(second, 0, frame.data(), std::uint32_t(frame.size())), MIVU_OK);
    ASSERT_TRUE(spinUntil([&] { return statisticsOf(second).picturesPresented == 30; }));
    spinFor(50);
    EXPECT_EQ(hidden.picturesShown(), 0u);
    EXPECT_EQ(hidden.picturesDropped(), 29u);  // the newest waits for a paint
    EXPECT_EQ(statisticsOf(second).framesDropped, 0u);  // the decoder itself kept up
    EXPECT_EQ(MIVU_CloseStream(second), MIVU_OK);
}

TEST_F(LiveDecode, PictureSizeChangesMidStream)
{
    const auto& small = testPictures(176, 144, 6);
    const auto smallFrames = containerFrames(small, 1'700'000'100'000ull, 40, 176, 144);
    feed(0, 12);
    ASSERT_TRUE(waitPresented(12));
    for (const Bytes& frame : smallFrames)
        ASSERT_EQ(MIVU_InputFrame(decoder, 0, frame.data(), std::uint32_t(frame.size())), MIVU_OK);
    ASSERT_TRUE(waitPresented(18));
    const MIVU_Statistics s = statisticsOf(decoder);
    EXPECT_EQ(s.width, 176);
    EXPECT_EQ(s.height, 144);
    // The window goes on showing pictures of its own size, now made from
    // the smaller ones.
    ASSERT_TRUE(spinUntil([&] { return window.picture().frameTimeMs >= 1'700'000'100'000ull; }));
    EXPECT_EQ(window.picture().image.size(), QSize(kWidth, kHeight));
}

TEST_F(LiveDecode, PicturesComeAtTheWindowsSize)
{
    // A window of another size than the stream, and one resized meanwhile:
    // the decoder hands each the pictures at its size, so the window only
    // copies them.
    TargetWindow other(true, QSize(200, 150));
    const std::uint32_t handle = other.handle();
    std::uint32_t second = 0;
    ASSERT_EQ(MIVU_OpenStream(&handle, 1, MIVU_MODE_LIVE, &second), MIVU_OK);
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(MIVU_InputFrame(second, 0, frames[i].data(), std::uint32_t(frames[i].size())), MIVU_OK);
    ASSERT_TRUE(spinUntil([&] { return other.picture().image.size() == QSize(200, 150); }));
    other.resize(300, 100);
    for (int i = 10; i < 20; ++i)
        ASSERT_EQ(MIVU_InputFrame(second, 0, frames[i].data(), std::uint32_t(frames[i].size())), MIVU_OK);
    ASSERT_TRUE(spinUntil([&] { return other.picture().image.size() == QSize(300, 100); }));
    EXPECT_EQ(MIVU_CloseStream(second), MIVU_OK);
}

TEST_F(LiveDecode, ClosingWithFramesStillQueued)
{
    feed();
    EXPECT_EQ(MIVU_CloseStream(decoder), MIVU_OK);
    EXPECT_EQ(MIVU_InputFrame(decoder, 0, frames[0].data(), std::uint32_t(frames[0].size())), MIVU_ERR_HANDLE);
    decoder = 0;
    spinFor(20);  // repaint requests of the closed decoder are harmless
}

}  // namespace
}  // namespace mivu::test
