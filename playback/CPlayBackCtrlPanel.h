// SPDX-License-Identifier: GPL-3.0-or-later
// The playback control bar (child window 202 of the playback page): the day
// timeline with its zoom and the horizontal scroll bar that pages through a
// zoomed day, the transport, snapshot, sound, split, paging, full-screen and
// view-mode buttons, the volume slider, and the two text lines. The bar
// turns the page's day, channel selection and record spans into the
// timeline's rows and spans and holds the remote playback session
// (PlaybackSession), whose windows come from the page's playback grid.
//
// Files: CPlayBackCtrlPanel.cpp (timeline, day, zoom, painting),
// CPlayBackCtrlPanelSession.cpp (the session's bar side and messages),
// CPlayBackCtrlPanelButtons.cpp (buttons, layout, split and paging),
// CPlayBackCtrlPanelSound.cpp (mute and volume), CPlayBackCtrlPanelSnapshot.cpp.
#pragma once

#include "playback/CControlPlayer.h"
#include "playback/PlaybackGridWindow.h"
#include "playback/PlaybackSession.h"
#include "platform/Window.h"
#include "widgets/CBitmapSlider.h"
#include "widgets/CGdipButton.h"
#include "widgets/CXeScrollBar.h"

#include <QPixmap>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class CChannelPanel;
class LanguageTable;

class CPlayBackCtrlPanel : public platform::CWnd, private playback::IPlaybackBarView {
public:
    // A snapshot was saved: its JPEG file and the channel. UI thread.
    using SnapshotSink = std::function<void(const QString& jpegPath, int channel)>;

    explicit CPlayBackCtrlPanel(playback::IPlaybackLibrary& library = playback::realPlaybackLibrary());
    ~CPlayBackCtrlPanel() override;

    void setLanguageTable(LanguageTable* table) { m_language = table; }
    // The page's playback grid, whose windows the session shows into.
    void setGrid(CChannelPanel* grid);
    CChannelPanel* grid() const { return m_grid; }
    // SetDevice: the session's device, the snapshot folder's address and
    // port; the tooltips are looked up again.
    void setDevice(std::uint32_t deviceHandle, const QString& address, std::uint32_t port);
    void setSnapPath(const QString& folder) { m_snapPath = folder; }
    const QString& snapPath() const { return m_snapPath; }
    void setSnapshotSink(SnapshotSink sink) { m_snapshotSink = std::move(sink); }
    void setRecordType(std::uint32_t type) { m_session.setRecordType(type); }

    playback::PlaybackSession& session() { return m_session; }
    const playback::PlaybackSession& session() const { return m_session; }

    // A new playback day (yyyy-mm-dd): back to the whole day; the timeline
    // shows that day with no spans and its cursor at the day's last second.
    // The same day again (with channels selected) only hides the spans until
    // they are complete again. Returns false for a text that is no date.
    bool setPlayDate(const QString& date, bool channelsSelected);
    // The selected channels (bit n = channel n): the session stops when they
    // change; they give the timeline's rows, the grid's layout and the split
    // buttons.
    void setChannelMask(std::uint32_t mask);
    // A record span from the page: from the start to the end's time of day
    // on the start's date.
    void addRecordSpan(std::uint32_t channel, std::uint32_t recordType, const QString& start, const QString& end);
    // The spans are complete: show them, cursor to the earliest start.
    void completeRecordPeriods();

    // The zoom buttons: the bar's level counts down from 7 (whole day).
    void zoomIn();
    void zoomOut();
    int zoomLevel() const { return m_zoomLevel; }
    int pageCount() const { return m_pageCount; }

    // Expanded: a 100-pixel timeline; collapsed: 40 pixels.
    void setTimelineExpanded(bool expanded);

    CControlPlayer& timeline() { return m_timeline; }
    CXeScrollBar& timelineScroll() { return m_timelineScroll; }
    // The time of the last seek the timeline asked for.
    std::optional<platform::DateTime> lastSeek() const { return m_lastSeek; }

    // Looks the buttons' tooltips up again (the page may have changed the
    // language's texts).
    void refreshToolTips();

    void setStatusText(const QString& text) override;
    void setProgressText(const QString& text) override;
    const QString& statusText() const { return m_statusText; }
    const QString& progressText() const { return m_progressText; }

    // Button actions besides the session's transport (buttons file).
    void splitTo(int windows);  // 4, 9 or 16
    void previousPage();
    void nextPage();
    // Split and paging buttons for the channel count, their states for the
    // grid's window count.
    void showSplitButtons(int channelCount);
    void refreshSplitStates(int windowCount);
    void toggleFullScreen();
    void toggleViewMode();
    bool isFullScreen() const { return m_fullScreen; }
    int viewMode() const { return m_viewMode; }
    // Sound (sound file): the mute pair, the volume slider's position.
    void toggleMute();
    void onVolumeSlider(int position);
    // A playback snapshot of the window heard (snapshot file); the JPEG's
    // path, or empty when nothing was saved.
    QString takeSnapshot();

    // The bar's controls, for the page and tests.
    enum Button {
        kPlayButton, kPauseButton, kStopButton, kSlowButton, kFastButton, kNextFrameButton, kSnapshotButton,
        kZoomInButton, kZoomOutButton, kVolumeButton, kMutedButton, kSplit4Button, kSplit9Button,
        kSplit16Button, kPreviousButton, kNextButton, kFullScreenButton, kViewModeButton, kButtonCount
    };
    CGdipButton& button(Button which) { return m_buttons[static_cast<std::size_t>(which)]; }
    CBitmapSlider& volumeSlider() { return m_volumeSlider; }

    platform::LRESULT windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) override;

protected:
    bool onCreate() override;
    void onTimer(std::uint32_t id) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // IPlaybackBarView (session file).
    QString text(const char* key) override;
    void updateButtons(bool busy) override;
    void enableBar(bool enabled) override;
    playback::IPlaybackWindow* allocateWindow() override;
    platform::DateTime cursorTime() override;
    void setPlayTime(const platform::DateTime& time) override;
    void startWatchdog(std::uint32_t intervalMs) override;
    void killWatchdog() override;
    void seekSelf(const platform::DateTime& time) override;
    platform::WindowHandle windowHandle() const override { return handle(); }

    void layoutChildren();
    void layoutButtons();
    bool createButtons();
    bool createButton(CGdipButton& button, int id, const QString& skin, QSize size = QSize(27, 25));
    void setButtonOn(Button which, bool on);
    // The scroll bar's range for the current page count.
    void applyPageCount();
    void onHorizontalScroll(std::uint32_t code, int trackPosition);
    void onTimelineView(const platform::SystemTime* viewStart);
    void onTimelineSeek(const platform::SystemTime* time);

    LanguageTable* m_language = nullptr;
    CControlPlayer m_timeline;
    CXeScrollBar m_timelineScroll;
    std::array<CGdipButton, kButtonCount> m_buttons;
    CBitmapSlider m_volumeSlider;
    CChannelPanel* m_grid = nullptr;
    // The session's view of the grid's sixteen windows.
    std::array<playback::PlaybackGridWindow, 16> m_gridWindows;
    playback::PlaybackSession m_session;
    QString m_deviceAddress;
    std::uint32_t m_devicePort = 80;
    QString m_snapPath;
    SnapshotSink m_snapshotSink;
    bool m_fullScreen = false;
    int m_viewMode = 0;  // 0 stretch, 1 keep proportions
    bool m_timelineExpanded = true;
    int m_zoomLevel = 7;
    int m_pageCount = 1;
    QString m_dateText;
    platform::DateTime m_selectedDay;
    platform::DateTime m_earliestSpanStart;
    std::optional<platform::DateTime> m_lastSeek;
    QString m_statusText;
    QString m_progressText;
    QPixmap m_background;  // stretched over the bar
    QPixmap m_infoArea;    // behind the two text lines
    QPixmap m_band;        // behind the buttons
};
