// SPDX-License-Identifier: GPL-3.0-or-later
// The hand-off of pictures from other threads to render target windows.
#include "TestStream.h"

#include "platform/RenderTarget.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace mivu::test {
namespace {

using platform::PresentedPicture;
using platform::presentPicture;

PresentedPicture solid(QColor color, std::uint64_t frameTimeMs = 0, QSize size = QSize(64, 48))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return PresentedPicture{image, frameTimeMs};
}

class CountingTarget : public TargetWindow {
public:
    using TargetWindow::TargetWindow;
    int noPicturePaints = 0;

protected:
    void paintNoPicture(QPainter& painter) override
    {
        ++noPicturePaints;
        TargetWindow::paintNoPicture(painter);
    }
};

TEST(RenderTarget, OnlyRegisteredWindowsTakePictures)
{
    EXPECT_FALSE(presentPicture(0, solid(Qt::red)));
    EXPECT_FALSE(presentPicture(0xFFFFFFF0u, solid(Qt::red)));

    platform::WindowHandle handle = 0;
    {
        TargetWindow window;
        handle = window.handle();
        EXPECT_TRUE(platform::isRenderTarget(handle));
        EXPECT_TRUE(presentPicture(handle, solid(Qt::red)));  // still queued when the window goes
    }
    EXPECT_FALSE(platform::isRenderTarget(handle));
    EXPECT_FALSE(presentPicture(handle, solid(Qt::red)));
    spinFor(20);  // no repaint request may reach the dead window
}

TEST(RenderTarget, ShowsTheNewestPictureAndCountsTheOnesItSkipped)
{
    CountingTarget window;
    std::vector<std::uint64_t> shownTimes;
    window.setShownHook([&](std::uint64_t frameTimeMs) { shownTimes.push_back(frameTimeMs); });
    ASSERT_TRUE(spinUntil([&] { return window.noPicturePaints > 0; }));
    EXPECT_FALSE(window.hasPicture());

    // Three pictures before the window gets to paint: only the last is shown.
    presentPicture(window.handle(), solid(Qt::red, 1));
    presentPicture(window.handle(), solid(Qt::green, 2));
    presentPicture(window.handle(), solid(Qt::blue, 3));
    ASSERT_TRUE(spinUntil([&] { return window.picturesShown() == 1; }));
    EXPECT_EQ(window.picturesDropped(), 2u);
    EXPECT_EQ(shownTimes, std::vector<std::uint64_t>{3});
    EXPECT_EQ(window.picture().image.pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_NE(window.lastShownTick(), 0u);

    // The window shows it scaled over its whole client area.
    const QImage grabbed = window.grab().toImage();
    EXPECT_EQ(grabbed.pixelColor(grabbed.width() - 2, grabbed.height() - 2), QColor(Qt::blue));

    window.clearPicture();
    EXPECT_FALSE(window.hasPicture());
    const int before = window.noPicturePaints;
    ASSERT_TRUE(spinUntil([&] { return window.noPicturePaints > before; }));
}

TEST(RenderTarget, HiddenWindowKeepsOnlyTheNewestUntilShown)
{
    TargetWindow window(false);
    for (int i = 1; i <= 5; ++i)
        EXPECT_TRUE(presentPicture(window.handle(), solid(Qt::red, i)));
    spinFor(100);
    EXPECT_EQ(window.picturesShown(), 0u);
    EXPECT_EQ(window.picturesDropped(), 4u);

    window.show();
    ASSERT_TRUE(spinUntil([&] { return window.picturesShown() == 1; }));
    EXPECT_EQ(window.picture().frameTimeMs, 5u);
    // Painting again resumes the flow of repaint requests.
    presentPicture(window.handle(), solid(Qt::green, 6));
    ASSERT_TRUE(spinUntil([&] { return window.picturesShown() == 2; }));
}

TEST(RenderTarget, ManyThreadsPresentingWhileTheWindowPaints)
{
    TargetWindow window;
    constexpr int kThreads = 4;
    constexpr int kPictures = 150;
    std::atomic<int> finished{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPictures; ++i)
                presentPicture(window.handle(), solid(QColor(t * 60, i % 256, 0), std::uint64_t(i)));
            finished.fetch_add(1);
        });
    }
    ASSERT_TRUE(spinUntil([&] { return finished.load() == kThreads; }));
    for (auto& thread : threads)
        thread.join();
    spinFor(50);
    // Every picture was either shown or replaced; none is left waiting.
    EXPECT_EQ(window.picturesShown() + window.picturesDropped(), std::uint64_t(kThreads * kPictures));
    EXPECT_GE(window.picturesShown(), 1u);
}

}  // namespace
}  // namespace mivu::test
