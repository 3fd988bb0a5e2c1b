// SPDX-License-Identifier: GPL-3.0-or-later
// The preview panel with its grid and supervisor against a fake network
// library: opening and closing all channels, slots, notifications to the
// control, gestures, full screen.
#include "FakeStreamLibrary.h"
#include "PreviewTestSupport.h"

#include "platform/Messages.h"
#include "platform/Profile.h"
#include "preview/CPreviewPanel.h"
#include "preview/GridLayout.h"
#include "preview/PreviewMessages.h"
#include "preview/VideoStatus.h"
#include "widgets/LanguageTable.h"

#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace preview;
using namespace preview_test;

namespace {

constexpr std::uint32_t kDevice = 0x77;

class PreviewPanel : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake_stream::install();
        control.createWindow(nullptr, QRect(0, 0, 642, 482), 0, true);
        panel = std::make_unique<CPreviewPanel>();
        panel->setLanguageTable(&language);
        ASSERT_TRUE(panel->createWindow(&control, QRect(0, 0, 642, 482), 292, true));
        panel->setControlWindow(control.handle());
        panel->setDevice(kDevice, QStringLiteral("/tmp/rec/"));
        panel->setDeviceAddress(QStringLiteral("10.0.0.5"), 80);
    }
    void TearDown() override
    {
        panel.reset();
        control.destroyWindow();
        fake_stream::uninstall();
    }

    // Starts channels through the supervisor and waits until they run.
    void startAndWait(int count, std::uint32_t streamType = 0)
    {
        panel->startViewAll(count, streamType);
        ASSERT_TRUE(waitUntil([&] { return panel->isRunning() && panel->supervisor().pendingRequests() == 0; }));
    }

    CChannelEX& gridWindow(int index) { return *panel->grid().window(index); }

    LanguageTable language;
    MessageLog control;
    std::unique_ptr<CPreviewPanel> panel;
};

}  // namespace

TEST_F(PreviewPanel, TwoQuickStartsOpenEachChannelOnce)
{
    panel->startViewAll(4, 0);
    panel->startViewAll(4, 0);
    ASSERT_TRUE(waitUntil([&] { return panel->isRunning() && panel->supervisor().pendingRequests() == 0; }));
    processEvents();
    for (int channel = 0; channel < 4; ++channel) {
        EXPECT_EQ(fake_stream::realPlaysOf(channel), 1u) << channel;
        ASSERT_NE(panel->slotWindow(channel), nullptr);
        EXPECT_EQ(panel->slotWindow(channel)->channel(), channel);
        EXPECT_EQ(panel->slotWindow(channel)->status(), kStatusOpening);
    }
    EXPECT_EQ(panel->openChannelMask(), 0xFu);
    EXPECT_TRUE(panel->allChannelsOpen());
    EXPECT_EQ(panel->grid().total(), 4);
    // A stop as a marker: requests run in turn, so a second opening from the
    // two starts would have come before the channels close.
    panel->stopPreviewAll();
    ASSERT_TRUE(waitUntil([] { return fake_stream::count("REALPLAYSTOP") == 4; }));
    EXPECT_EQ(fake_stream::count("REALPLAY"), 4u);
}

TEST_F(PreviewPanel, AStopQueuedBehindAStartWinsOverIt)
{
    startAndWait(2);
    // The supervisor is busy closing while a start and a stop queue up.
    fake_stream::setStopDelayMs(300);
    panel->stopPreviewAll();
    ASSERT_TRUE(waitUntil([] { return fake_stream::count("REALPLAYSTOP") >= 1; }));
    panel->startViewAll(4, 0);
    panel->stopPreviewAll();
    ASSERT_TRUE(waitUntil([&] { return panel->supervisor().pendingRequests() == 0 && !panel->isRunning(); }));
    EXPECT_EQ(fake_stream::openStreams(), 0u);
    // A start of one channel as a marker: the dropped start of four would
    // have opened its channels before it.
    fake_stream::setStopDelayMs(0);
    panel->startViewAll(1, 0);
    ASSERT_TRUE(waitUntil([] { return fake_stream::count("REALPLAY") >= 3; }));
    ASSERT_TRUE(waitUntil([&] { return panel->supervisor().pendingRequests() == 0 && panel->isRunning(); }));
    EXPECT_EQ(fake_stream::count("REALPLAY"), 3u);
}

TEST_F(PreviewPanel, NeverMoreChannelsThanWindows)
{
    startAndWait(20);
    EXPECT_EQ(fake_stream::count("REALPLAY"), 16u);
    EXPECT_EQ(panel->grid().total(), 4);
    panel->closeAllChannels(0);
    EXPECT_EQ(fake_stream::openStreams(), 0u);
}

TEST_F(PreviewPanel, AFailedChannelShowsWhyAndKeepsItsWindow)
{
    fake_stream::setRealPlayAnswer(1, {7, 0x12, false});
    startAndWait(4);
    CChannelEX* failed = panel->slotWindow(1);
    ASSERT_NE(failed, nullptr);
    EXPECT_EQ(failed->status(), kStatusOpenFailed);
    EXPECT_FALSE(failed->isOccupied());
    EXPECT_EQ(panel->openChannelMask(), 0xDu);
    // A later assignment does not hand the failed channel's window to another slot.
    panel->assignWindows(6);
    for (int slot = 2; slot < 6; ++slot)
        EXPECT_NE(panel->slotWindow(slot), failed) << slot;
    EXPECT_EQ(panel->slotWindow(4)->windowIndex(), 4);
    EXPECT_EQ(panel->slotWindow(5)->windowIndex(), 5);
}

TEST_F(PreviewPanel, AStartWhileRunningOpensOnlyTheChannelsThatAreDown)
{
    fake_stream::setRealPlayAnswer(1, {5, 0, false});
    startAndWait(3);
    EXPECT_EQ(panel->slotWindow(1)->status(), kStatusNetworkError);
    fake_stream::setRealPlayAnswer(1, {0, 0, true});
    platform::takeDebugLines();
    panel->startViewAll(3, 0);
    ASSERT_TRUE(waitUntil([&] { return panel->slotWindow(1)->isPlaying(); }));
    EXPECT_EQ(fake_stream::realPlaysOf(0), 1u);
    EXPECT_EQ(fake_stream::realPlaysOf(1), 2u);
    EXPECT_EQ(fake_stream::realPlaysOf(2), 1u);
    EXPECT_EQ(fake_stream::openStreams(), 3u);
}

TEST_F(PreviewPanel, AssigningFiveChannelsInTheSixteenLayout)
{
    panel->showChannels(16);
    panel->assignWindows(5);
    EXPECT_EQ(panel->layoutCount(), 16);
    EXPECT_EQ(panel->channelCount(), 5);
    for (int slot = 0; slot < 5; ++slot) {
        ASSERT_NE(panel->slotWindow(slot), nullptr);
        EXPECT_TRUE(panel->slotWindow(slot)->isOccupied());
        EXPECT_EQ(panel->slotWindow(slot)->deviceHandle(), kDevice);
    }
    EXPECT_EQ(panel->slotWindow(5), nullptr);
    EXPECT_EQ(fake_stream::count("REALPLAY"), 0u);
    // Window 0 is the selected one from the start.
    EXPECT_EQ(panel->activeChannel(), 0);
}

TEST_F(PreviewPanel, OpenAllAndCloseAllFromAMenuTellTheControl)
{
    panel->assignWindows(3);
    fake_stream::setRealPlayAnswer(2, {1, 0, false});
    ASSERT_TRUE(platform::postMessage(panel->grid().handle(), WM_CHANNEL_VIEW_ALL, 0, 0));
    ASSERT_TRUE(waitUntil([&] { return !control.messages(platform::WM_CHANNEL_VIEW_STATE).empty(); }));
    processEvents();
    // What really opened, not what was asked for.
    EXPECT_EQ(control.messages(platform::WM_CHANNEL_VIEW_STATE).back().wParam, 0x3u);
    EXPECT_EQ(control.messages(platform::WM_CHANNEL_RECORD_STATE).back().wParam, 0u);
    EXPECT_TRUE(panel->isRunning());

    control.clear();
    ASSERT_TRUE(platform::postMessage(panel->grid().handle(), WM_CHANNEL_VIEW_ALL, 1, 0));
    ASSERT_TRUE(waitUntil([&] { return !control.messages(platform::WM_CHANNEL_VIEW_STATE).empty(); }));
    EXPECT_EQ(control.messages(platform::WM_CHANNEL_VIEW_STATE).back().wParam, 0u);
    EXPECT_EQ(fake_stream::openStreams(), 0u);
    EXPECT_FALSE(panel->isRunning());
}

TEST_F(PreviewPanel, AClickSelectsTheWindowAndTellsTheControlOnce)
{
    panel->assignWindows(4);
    const QPoint centre = gridWindow(2).view().rect().center();
    QTest::mouseClick(&gridWindow(2).view(), Qt::LeftButton, {}, centre);
    processEvents();
    ASSERT_EQ(control.messages(platform::WM_CHANNEL_CLICK).size(), 1u);
    EXPECT_EQ(control.messages(platform::WM_CHANNEL_CLICK)[0].wParam, 2u);
    EXPECT_TRUE(gridWindow(2).isActive());
    EXPECT_FALSE(gridWindow(0).isActive());
    EXPECT_EQ(panel->grid().selected(), 2);
    EXPECT_EQ(panel->activeChannel(), 2);
    // The selected window again: nothing new for the control.
    QTest::mouseClick(&gridWindow(2).view(), Qt::LeftButton, {}, centre);
    processEvents();
    EXPECT_EQ(control.messages(platform::WM_CHANNEL_CLICK).size(), 1u);
}

TEST_F(PreviewPanel, DoubleClickShowsOneWindowAndAgainComesBack)
{
    CChannelEX& window3 = gridWindow(3);
    QTest::mouseDClick(&window3.view(), Qt::LeftButton, {}, window3.view().rect().center());
    processEvents();
    EXPECT_TRUE(panel->grid().isSingleView());
    EXPECT_EQ(panel->layoutCount(), 1);
    EXPECT_EQ(window3.geometry(), QRect(1, 1, 640, 480));
    EXPECT_TRUE(gridWindow(0).isHidden());

    QTest::mouseDClick(&window3.view(), Qt::LeftButton, {}, window3.view().rect().center());
    processEvents();
    EXPECT_EQ(panel->layoutCount(), 4);
    EXPECT_EQ(window3.geometry(), QRect(321, 241, 320, 240));
    EXPECT_FALSE(gridWindow(0).isHidden());
}

TEST_F(PreviewPanel, DraggingOneWindowOntoAnotherSwapsThemAndRemembersTheOrder)
{
    CChannelEX& window0 = gridWindow(0);
    CChannelEX& window3 = gridWindow(3);
    QTest::mouseClick(&gridWindow(1).view(), Qt::LeftButton);  // window 0 is not selected now
    CVideoLogView& view0 = window0.view();
    // The button is released over window 3; the press's window still gets the release.
    const QPoint overWindow3 = view0.mapFromGlobal(window3.view().mapToGlobal(window3.view().rect().center()));
    QTest::mousePress(&view0, Qt::LeftButton, {}, view0.rect().center());
    QTest::mouseMove(&view0, view0.rect().center() + QPoint(30, 20));
    QTest::mouseRelease(&view0, Qt::LeftButton, {}, overWindow3);
    processEvents();

    EXPECT_EQ(panel->grid().order()[0], 3);
    EXPECT_EQ(panel->grid().order()[3], 0);
    EXPECT_EQ(window0.geometry(), QRect(321, 241, 320, 240));
    EXPECT_EQ(window3.geometry(), QRect(1, 1, 320, 240));
    const std::string path = panel->grid().settingsPath().toStdString();
    EXPECT_EQ(platform::readProfileString(path, "PreviewChannelOrder", "0"), "3");
    EXPECT_EQ(platform::readProfileString(path, "PreviewChannelOrder", "3"), "0");

    // The next login to this recorder finds its order again.
    CPreviewPanel again;
    again.setDeviceAddress(QStringLiteral("10.0.0.5"), 80);
    EXPECT_EQ(again.grid().order()[0], 3);
}

TEST_F(PreviewPanel, ASwapFromAnOrderThatIsNotTheIdentityExchangesTheWindowsDragged)
{
    // Drags window `from` onto window `to`, wherever they are shown.
    const auto drag = [&](int from, int to) {
        CVideoLogView& view = gridWindow(from).view();
        const QPoint target = view.mapFromGlobal(gridWindow(to).view().mapToGlobal(gridWindow(to).view().rect().center()));
        QTest::mousePress(&view, Qt::LeftButton, {}, view.rect().center());
        QTest::mouseMove(&view, view.rect().center() + QPoint(30, 20));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, target);
        processEvents();
    };
    const QRect cell[4] = {QRect(1, 1, 320, 240), QRect(321, 1, 320, 240), QRect(1, 241, 320, 240),
                           QRect(321, 241, 320, 240)};
    drag(0, 3);  // windows at positions 0..3: 3 1 2 0
    drag(2, 0);  // window 0 (at position 3) with window 2 (at position 2): 3 1 0 2
    drag(3, 1);  // window 3 (at position 0) with window 1 (at position 1): 1 3 0 2

    const WindowOrder expected = {1, 3, 0, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    EXPECT_EQ(panel->grid().order(), expected);
    for (int p = 0; p < 4; ++p)
        EXPECT_EQ(gridWindow(expected[static_cast<std::size_t>(p)]).geometry(), cell[p]) << "position " << p;
    const std::string path = panel->grid().settingsPath().toStdString();
    for (int p = 0; p < kGridWindows; ++p)
        EXPECT_EQ(platform::readProfileString(path, "PreviewChannelOrder", std::to_string(p)),
                  std::to_string(expected[static_cast<std::size_t>(p)]))
            << "position " << p;

    // An order read back from the settings file swaps the same way.
    CPreviewPanel again;
    again.setDeviceAddress(QStringLiteral("10.0.0.5"), 80);
    ASSERT_EQ(again.grid().order(), expected);
    WindowOrder reloaded = again.grid().order();
    ASSERT_TRUE(swapWindows(reloaded, 0, 3));  // positions 2 and 1
    EXPECT_EQ(reloaded, (WindowOrder{1, 0, 3, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
}

TEST_F(PreviewPanel, PagingSelectsTheFirstWindowOfThePage)
{
    startAndWait(8);
    panel->nextGroup();
    EXPECT_EQ(panel->grid().firstPosition(), 4);
    EXPECT_TRUE(panel->slotWindow(4)->isActive());
    EXPECT_FALSE(panel->slotWindow(0)->isActive());
    EXPECT_EQ(panel->activeChannel(), 4);
    EXPECT_EQ(panel->grid().selected(), panel->slotWindow(4)->windowIndex());
    panel->previousGroup();
    EXPECT_EQ(panel->activeChannel(), 0);
}

TEST_F(PreviewPanel, RecordingAndSnapshotsReportAFolderThatCannotBeUsed)
{
    startAndWait(2);
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(waitUntil([&] { return panel->slotWindow(i)->isPlaying(); }));
    QTemporaryDir dir;
    QFile blocker(dir.path() + QStringLiteral("/a-file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    // Refused before any window tries: relative, a drive letter, a network share.
    for (const QString& unusable : {QStringLiteral("rec/"), QStringLiteral("D:\\rec\\"),
                                    QStringLiteral("\\\\server\\share\\rec")}) {
        SCOPED_TRACE(unusable.toStdString());
        EXPECT_EQ(panel->startLocalRecord(unusable, QStringLiteral("10.0.0.5")), CChannelEX::kRecordFileNotCreated);
        EXPECT_EQ(panel->recordFolder(), unusable) << "the menu's recording uses it too, and fails the same way";
        QString saved;
        int channel = -1;
        EXPECT_EQ(panel->captureImage(unusable, QStringLiteral("10.0.0.5"), &saved, &channel),
                  CChannelEX::kRecordFileNotCreated);
        EXPECT_TRUE(saved.isEmpty());
    }
    // Usable as text, but the windows cannot create their files.
    EXPECT_EQ(panel->startLocalRecord(blocker.fileName() + QStringLiteral("/rec/"), QStringLiteral("10.0.0.5")),
              CChannelEX::kRecordFileNotCreated);
    EXPECT_EQ(fake_stream::count("REQUESTIFRAME"), 0u);
    for (int i = 0; i < 2; ++i)
        EXPECT_FALSE(panel->slotWindow(i)->isRecording()) << i;

    // A folder that works records every playing window; a snapshot of a
    // window without a picture saves nothing and says so.
    EXPECT_EQ(panel->startLocalRecord(dir.path() + QStringLiteral("/rec/"), QStringLiteral("10.0.0.5")), 0);
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(panel->slotWindow(i)->isRecording()) << i;
    panel->stopLocalRecord();
    EXPECT_EQ(panel->captureImage(dir.path() + QStringLiteral("/snaps/"), QStringLiteral("10.0.0.5")),
              CChannelEX::kNoStream);
}

TEST_F(PreviewPanel, StreamTypeChangesReachTheControl)
{
    startAndWait(2);
    fake_stream::callBack(panel->slotWindow(1)->playHandle(), 9, {}, 2);
    ASSERT_TRUE(waitUntil([&] { return !control.messages(platform::WM_STREAMTYPE_CHANGED).empty(); }));
    EXPECT_EQ(control.messages(platform::WM_STREAMTYPE_CHANGED)[0].wParam, 2u);
    EXPECT_EQ(panel->streamType(), 2u);

    // Switching from the page: the open streams switch, the panel keeps the type.
    EXPECT_EQ(panel->switchStreamType(1), static_cast<std::uint32_t>(CChannelEX::kNoStream));
    EXPECT_EQ(fake_stream::count("REALPLAYSWITCHSTREAM"), 2u);
    EXPECT_EQ(panel->streamType(), 1u);
    panel->switchStreamType(7);  // counts as 1 in every window
    EXPECT_EQ(panel->streamType(), 1u);
}

TEST_F(PreviewPanel, VolumeAndShapeModeReachEveryWindow)
{
    panel->setVolume(150);
    EXPECT_EQ(panel->volume(), 150u);
    EXPECT_EQ(gridWindow(9).volume(), 100);
    panel->setVolume(0xFFFFFFFDu);
    EXPECT_EQ(gridWindow(9).volume(), 0);
    panel->setShapeMode(7);
    EXPECT_EQ(panel->shapeMode(), 0);
    panel->setShapeMode(1);
    EXPECT_EQ(gridWindow(15).shapeMode(), 1);
    panel->setSoundEnabled(false);
    EXPECT_FALSE(gridWindow(3).isSoundAllowed());
}

TEST_F(PreviewPanel, FullScreenAndBack)
{
    const QRect placed = panel->geometry();
    panel->showChannels(0);
    EXPECT_TRUE(panel->isFullScreen());
    EXPECT_TRUE(panel->isWindow());
    EXPECT_TRUE(control.isHidden());
    EXPECT_EQ(panel->geometry(), panel->screen()->geometry());

    platform::sendMessage(panel->handle(), WM_EXIT_FULLSCREEN);
    EXPECT_FALSE(panel->isFullScreen());
    EXPECT_EQ(panel->parentWidget(), &control);
    EXPECT_FALSE(control.isHidden());
    EXPECT_EQ(panel->geometry(), placed);
    panel->setFullScreen(false);  // off twice: nothing
    EXPECT_EQ(panel->parentWidget(), &control);

    panel->showChannels(0);
    QTest::keyClick(panel.get(), Qt::Key_Control);
    EXPECT_TRUE(panel->isFullScreen());
    QTest::keyClick(panel.get(), Qt::Key_Escape);
    EXPECT_FALSE(panel->isFullScreen());
}

TEST_F(PreviewPanel, LogoutClosesEverythingAndForgetsTheDevice)
{
    startAndWait(3);
    panel->startViewAll(3, 0);  // queued, dropped by the logout
    panel->closeAllChannels(1);
    EXPECT_EQ(fake_stream::openStreams(), 0u);
    EXPECT_EQ(panel->deviceHandle(), 0u);
    EXPECT_EQ(gridWindow(0).deviceHandle(), 0u);
    EXPECT_EQ(panel->supervisor().pendingRequests(), 0u);
    platform::sleepMs(200);
    EXPECT_EQ(fake_stream::openStreams(), 0u);
}

TEST_F(PreviewPanel, DestroyingThePanelWhileChannelsOpenClosesThem)
{
    fake_stream::setRealPlayDelayMs(200);
    panel->startViewAll(4, 0);
    ASSERT_TRUE(waitUntil([] { return fake_stream::count("REALPLAY") >= 1; }));
    panel.reset();
    EXPECT_EQ(fake_stream::openStreams(), 0u);
}
