// SPDX-License-Identifier: GPL-3.0-or-later
// The playback bar's windows under the offscreen platform with the libraries
// faked: its buttons and their states, the volume slider's room, the split
// and paging buttons, the session's windows from the playback grid, view
// mode, mute, snapshots, and the page's full screen.
#include "FakePlayback.h"

#include "platform/Messages.h"
#include "playback/CPlayBackCtrlPanel.h"
#include "playback/CPlayBackPanel.h"
#include "playback/PlaybackBarIds.h"
#include "preview/CChannelPanel.h"
#include "widgets/LanguageTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using Bar = CPlayBackCtrlPanel;
using playback_test::FakeLibrary;

namespace {

void processEvents()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

class PlaybackBar : public ::testing::Test {
protected:
    void SetUp() override
    {
        grid.setPlayback(true);
        ASSERT_TRUE(grid.createWindow(nullptr, QRect(0, 0, 640, 360), playback_ids::kGrid, true));
        bar.setLanguageTable(&language);
        bar.setGrid(&grid);
        ASSERT_TRUE(bar.createWindow(nullptr, QRect(0, 0, 960, 163), playback_ids::kBar, true));
        bar.setDevice(7, QStringLiteral("10.1.2.3"), 8080);
    }
    void TearDown() override
    {
        bar.destroyWindow();
        grid.destroyWindow();
    }
    bool on(Bar::Button which) { return bar.button(which).isEnabled() && !bar.button(which).IsGrey(); }
    // Opens a session and delivers its first data.
    void playWithData()
    {
        bar.session().play();
        playback::CallbackEvent first;
        first.kind = playback::CallbackKind::FirstData;
        first.generation = bar.session().generation();
        bar.session().onCallback(first);
    }

    LanguageTable language;
    FakeLibrary library;
    CChannelPanel grid;
    Bar bar{library};
};

}  // namespace

TEST_F(PlaybackBar, ButtonsHaveTheirIdsAndTooltipsFromSetDevice)
{
    const int ids[] = {310, 311, 312, 313, 314, 315, 316, 317, 318, 319, 320, 321, 322, 323, 324, 325, 301, 359};
    for (int i = 0; i < Bar::kButtonCount; ++i) {
        EXPECT_TRUE(bar.button(static_cast<Bar::Button>(i)).isCreated());
        EXPECT_EQ(bar.button(static_cast<Bar::Button>(i)).controlId(), ids[i]);
    }
    EXPECT_EQ(bar.button(Bar::kPlayButton).ToolTipText(), language.lookup(QStringLiteral("STR_Playing")));
    EXPECT_TRUE(bar.button(Bar::kMutedButton).isHidden());
    // A changed text shows after the next SetDevice only.
    ASSERT_TRUE(language.replace(QStringLiteral("STR_Playing"), QStringLiteral("Abspielen")));
    EXPECT_NE(bar.button(Bar::kPlayButton).ToolTipText(), QStringLiteral("Abspielen"));
    bar.setDevice(7, QStringLiteral("10.1.2.3"), 8080);
    EXPECT_EQ(bar.button(Bar::kPlayButton).ToolTipText(), QStringLiteral("Abspielen"));
    // The slider: 0..100 at 50, page 10.
    EXPECT_EQ(bar.volumeSlider().GetRangeMin(), 0);
    EXPECT_EQ(bar.volumeSlider().GetRangeMax(), 100);
    EXPECT_EQ(bar.volumeSlider().GetPos(), 50);
    EXPECT_EQ(bar.volumeSlider().GetPageSize(), 10);
}

TEST_F(PlaybackBar, ButtonsFollowTheSessionsState)
{
    bar.setChannelMask(0x3);
    auto expectOn = [&](bool play, bool steer, bool other) {
        EXPECT_EQ(on(Bar::kPlayButton), play);
        for (Bar::Button b : {Bar::kPauseButton, Bar::kNextFrameButton, Bar::kFastButton, Bar::kSlowButton})
            EXPECT_EQ(on(b), steer) << b;
        for (Bar::Button b : {Bar::kSnapshotButton, Bar::kStopButton, Bar::kViewModeButton})
            EXPECT_EQ(on(b), other) << b;
    };
    expectOn(true, false, false);  // stopped
    bar.session().play();
    expectOn(false, false, false);  // opening: busy
    EXPECT_FALSE(bar.isEnabled());
    playWithData();
    EXPECT_TRUE(bar.isEnabled());
    expectOn(false, true, true);  // playing
    bar.session().pause();
    expectOn(true, false, true);
    bar.session().fast();
    expectOn(true, true, true);
    bar.session().stopPlay();
    expectOn(true, false, false);
}

TEST_F(PlaybackBar, TheVolumeSliderNeedsRoom)
{
    for (const auto& [width, mask, shown] : std::vector<std::tuple<int, std::uint32_t, bool>>{
             {800, 0x1F, false}, {800, 0xF, true}, {782, 0x1, false}, {817, 0xFFFF, true}, {816, 0xFFFF, false}}) {
        bar.setChannelMask(mask);
        bar.resize(width, 163);
        EXPECT_EQ(!bar.volumeSlider().isHidden(), shown) << width << " " << mask;
    }
}

TEST_F(PlaybackBar, SplitAndPagingButtonsByChannelCount)
{
    struct Case {
        std::uint32_t mask;
        bool split4, split9, split16, paging;
        int gridWindows;
    };
    for (const Case& c : std::vector<Case>{{0x1, false, false, false, false, 1},
                                           {0x7, true, false, false, true, 4},
                                           {0x1F, true, true, false, true, 9},
                                           {0xFFF, true, true, true, true, 16}}) {
        SCOPED_TRACE(c.mask);
        bar.setChannelMask(c.mask);
        EXPECT_EQ(!bar.button(Bar::kSplit4Button).isHidden(), c.split4);
        EXPECT_EQ(!bar.button(Bar::kSplit9Button).isHidden(), c.split9);
        EXPECT_EQ(!bar.button(Bar::kSplit16Button).isHidden(), c.split16);
        EXPECT_EQ(!bar.button(Bar::kNextButton).isHidden(), c.paging);
        EXPECT_EQ(grid.layoutCount(), c.gridWindows);
    }
    // From the right: Next, Previous, Split 16, Split 9, Split 4, 36 apart.
    const int r = bar.width();
    EXPECT_EQ(bar.button(Bar::kNextButton).x(), r - 103);
    EXPECT_EQ(bar.button(Bar::kPreviousButton).x(), r - 139);
    EXPECT_EQ(bar.button(Bar::kSplit16Button).x(), r - 175);
    EXPECT_EQ(bar.button(Bar::kSplit4Button).x(), r - 247);
    EXPECT_EQ(bar.button(Bar::kFullScreenButton).x(), r - 35);
    EXPECT_EQ(bar.button(Bar::kViewModeButton).x(), r - 68);

    // The split shown is greyed; paging needs more channels than windows.
    EXPECT_FALSE(on(Bar::kSplit16Button));
    EXPECT_TRUE(on(Bar::kSplit9Button));
    EXPECT_FALSE(on(Bar::kNextButton));
    bar.splitTo(9);
    EXPECT_EQ(grid.layoutCount(), 9);
    EXPECT_FALSE(on(Bar::kSplit9Button));
    EXPECT_TRUE(on(Bar::kSplit16Button));
    EXPECT_TRUE(on(Bar::kNextButton));
    bar.nextPage();
    // Channels up to 12 take 13 positions; the last page is full.
    EXPECT_EQ(grid.firstPosition(), 4);
    bar.splitTo(16);
    EXPECT_EQ(grid.layoutCount(), 16);
    EXPECT_EQ(grid.firstPosition(), 0);
}

TEST_F(PlaybackBar, TheSessionShowsIntoTheGridsWindows)
{
    bar.setChannelMask(0x5);
    EXPECT_EQ(grid.layoutCount(), 4);
    bar.session().play();
    const auto opens = library.commands("REMOTEPLAY");
    ASSERT_EQ(opens.size(), 1u);
    ASSERT_EQ(opens[0]["PARAM"]["HWND"].size(), 2u);
    EXPECT_EQ(opens[0]["PARAM"]["HWND"][0].asUInt(), grid.window(0)->view().postHandle());
    EXPECT_EQ(opens[0]["PARAM"]["HWND"][1].asUInt(), grid.window(1)->view().postHandle());
    EXPECT_TRUE(grid.window(0)->isPlaying());
    EXPECT_TRUE(grid.window(1)->isOccupied());
    EXPECT_FALSE(grid.window(2)->isOccupied());
    EXPECT_EQ(opens[0]["PARAM"]["USERDATA"].asUInt64() & 0xFFFFFFFFu, bar.handle());

    // A callback reaches the session through the bar's window.
    playback::CallbackEvent size;
    size.kind = playback::CallbackKind::VideoProperty;
    size.generation = bar.session().generation();
    size.slot = 1;
    size.width = 704;
    size.height = 576;
    const auto [wParam, lParam] = playback::packEvent(size);
    platform::postMessage(bar.handle(), playback::WM_PLAYBACK_CALLBACK, wParam, lParam);
    processEvents();
    EXPECT_EQ(grid.window(1)->pictureWidth(), 704);

    // View mode reaches every window of the session.
    bar.toggleViewMode();
    EXPECT_EQ(grid.window(0)->shapeMode(), 1);
    EXPECT_EQ(grid.window(1)->shapeMode(), 1);
    bar.toggleViewMode();
    EXPECT_EQ(grid.window(1)->shapeMode(), 0);

    bar.session().stopPlay();
    EXPECT_FALSE(grid.window(0)->isPlaying());
    EXPECT_FALSE(grid.window(0)->isOccupied());
    EXPECT_EQ(grid.window(1)->pictureWidth(), 0);
}

TEST_F(PlaybackBar, TimelineSeeksReachTheSession)
{
    bar.setChannelMask(0x1);
    playWithData();
    platform::SystemTime target = platform::DateTime::fromParts(2026, 12, 8, 11, 0, 0).toSystemTime();
    platform::sendMessage(bar.handle(), platform::WM_TIMELINE_SEEK, reinterpret_cast<platform::WPARAM>(&target), 0);
    const auto seeks = library.commands("REMOTEPLAYSEEK");
    ASSERT_EQ(seeks.size(), 1u);
    EXPECT_EQ(seeks[0]["PARAM"]["STARTTIME"].asString(), "20261208110000");
    EXPECT_TRUE(bar.hasTimer(playback::kWatchdogTimer));
}

TEST_F(PlaybackBar, MuteShowsOneOfThePairAndTheSliderUnmutes)
{
    bar.setChannelMask(0x1);
    playWithData();
    bar.toggleMute();
    EXPECT_TRUE(bar.button(Bar::kVolumeButton).isHidden());
    EXPECT_FALSE(bar.button(Bar::kMutedButton).isHidden());
    platform::sendMessage(bar.handle(), platform::WM_SLIDER_POS, playback_ids::kVolumeSlider, 30);
    EXPECT_EQ(bar.session().volume(), 30);
    EXPECT_FALSE(bar.session().muted());
    EXPECT_FALSE(bar.button(Bar::kVolumeButton).isHidden());
    EXPECT_TRUE(bar.button(Bar::kMutedButton).isHidden());
}

TEST_F(PlaybackBar, SnapshotsGoToTheChannelsFolderAsJpeg)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    bar.setSnapPath(root.path());
    std::vector<std::pair<QString, int>> told;
    bar.setSnapshotSink([&](const QString& path, int channel) { told.emplace_back(path, channel); });
    EXPECT_TRUE(bar.takeSnapshot().isEmpty());  // stopped: nothing
    bar.setChannelMask(0x1A);  // channels 1, 3, 4
    playWithData();
    grid.selectWindow(2);
    const QString saved = bar.takeSnapshot();
    ASSERT_FALSE(saved.isEmpty());
    const QFileInfo file(saved);
    EXPECT_TRUE(file.exists());
    EXPECT_EQ(file.absolutePath(), QDir(root.path()).absoluteFilePath(QStringLiteral("10.1.2.3_8080/CAPTURE/CH03")));
    EXPECT_TRUE(file.fileName().startsWith(QLatin1String("pb_")));
    EXPECT_TRUE(file.fileName().endsWith(QLatin1String(".jpeg")));
    EXPECT_EQ(file.fileName().size(), QStringLiteral("pb_20261208-101500.jpeg").size());
    EXPECT_FALSE(QFileInfo::exists(saved.chopped(4) + QStringLiteral("bmp")));
    EXPECT_EQ(library.calls().back(), "capture(2)");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].second, 4);  // the third selected channel

    // A refused capture saves nothing.
    library.setDecoderResult("capture", 3);
    EXPECT_TRUE(bar.takeSnapshot().isEmpty());
    EXPECT_EQ(told.size(), 1u);
}

TEST(PlaybackPage, FullScreenAndBackToItsPlace)
{
    QWidget host;
    host.resize(960, 540);
    CPlayBackPanel page;
    ASSERT_TRUE(page.createWindow(&host, QRect(10, 20, 900, 500), 204, true));
    host.show();
    const QRect before = page.geometry();
    // The bar's full-screen button posts to the page.
    page.bar().toggleFullScreen();
    processEvents();
    ASSERT_TRUE(page.isFullScreen());
    EXPECT_TRUE(page.isWindow());
    EXPECT_EQ(page.parentWidget(), nullptr);
    EXPECT_FALSE(host.isVisible());
    EXPECT_EQ(page.geometry().size(), QGuiApplication::primaryScreen()->geometry().size());
    // The grid and the bar are laid out for the screen.
    EXPECT_EQ(page.bar().width(), page.width());
    page.bar().toggleFullScreen();
    processEvents();
    EXPECT_FALSE(page.isFullScreen());
    EXPECT_EQ(page.parentWidget(), &host);
    EXPECT_FALSE(page.isWindow());
    EXPECT_EQ(page.geometry(), before);
    EXPECT_TRUE(host.isVisible());
    EXPECT_FALSE(page.bar().isFullScreen());
    page.destroyWindow();
}

TEST(PlaybackPage, DeviceAndSnapshotFolderReachTheBarAndTheGrid)
{
    CPlayBackPanel page;
    ASSERT_TRUE(page.createWindow(nullptr, QRect(0, 0, 960, 540), 204, true));
    EXPECT_EQ(page.grid().controlId(), playback_ids::kGrid);
    EXPECT_TRUE(page.grid().isPlayback());
    // The grid fills the page above the handle and the bar.
    EXPECT_EQ(page.grid().geometry(), QRect(3, 2, 954, 540 - 170 - 2));
    page.setDevice(9, QStringLiteral("10.9.8.7"), 8080);
    EXPECT_EQ(page.bar().session().deviceHandle(), 9u);
    EXPECT_EQ(page.grid().deviceAddress(), QStringLiteral("10.9.8.7"));
    EXPECT_EQ(page.grid().devicePort(), 8080);
    page.setSnapFolder(QStringLiteral("/tmp/snaps/"));
    EXPECT_EQ(page.bar().snapPath(), QStringLiteral("/tmp/snaps/"));
    // The selection reaches the session and the grid before and after a change.
    page.setChannelMask(0x30);
    EXPECT_EQ(page.bar().session().channelCount(), 2);
    EXPECT_EQ(page.grid().layoutCount(), 4);
    page.destroyWindow();
}
