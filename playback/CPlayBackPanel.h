// SPDX-License-Identifier: GPL-3.0-or-later
// The playback page of the control (child window id 204). It keeps what the
// control and the device session give it: device, snapshot folder, play
// date, channel selection, record type and the record spans of the day, and
// shows the playback grid (child 201) above the control bar (child 202),
// which holds the day's timeline and the remote playback session, with a
// handle between them that gives the timeline more or less room. Full
// screen makes the page a top-level window over the whole screen
// (CPlayBackPanelFullScreen.cpp).
#pragma once

#include "device/PanelLinks.h"
#include "playback/CPlayBackCtrlPanel.h"
#include "preview/CChannelPanel.h"
#include "widgets/CGdipButton.h"
#include "platform/Window.h"

#include <QPixmap>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

class LanguageTable;

class CPlayBackPanel : public platform::CWnd, public IPlaybackLink {
public:
    enum PlayState { kPlaying = 0, kPaused = 1, kStopped = 2, kFast = 3, kSlow = 4, kSingleFrame = 5 };

    struct RecordSpan {
        std::uint32_t channel;
        std::uint32_t recordType;
        QString start;  // YYYY-MM-DD HH:MM:SS as the page gave it
        QString end;
    };

    CPlayBackPanel();
    ~CPlayBackPanel() override;

    // Shared with the bar and the grid; not owned.
    void setLanguageTable(LanguageTable* table) { m_language = table; }
    LanguageTable* languageTable() const { return m_language; }

    // IPlaybackLink (the device session).
    void setDevice(std::uint32_t deviceHandle, const QString& address, std::uint32_t webPort) override;
    void setSnapFolder(const QString& folder) override
    {
        m_snapFolder = folder;
        m_bar.setSnapPath(folder);
    }
    void setRecordPeriod(std::uint32_t channel, std::uint32_t recordType, const QString& start,
                         const QString& end) override;

    // Automation requests.
    // yyyy-mm-dd; false (and nothing changed) for a text that is no date.
    bool setPlayDate(const QString& date);
    void setChannelMask(std::uint32_t mask);        // bit n = channel n
    // Stops first when the type changes; types above 2 are kept as 2.
    void setRecordType(std::uint32_t type);
    // The record spans of the day are complete.
    void completeRecordPeriods();
    // Stops playback on a short-lived worker thread and returns at once.
    void stopPlaybackAsync();

    std::uint32_t deviceHandle() const { return m_deviceHandle; }
    const QString& deviceAddress() const { return m_deviceAddress; }
    std::uint32_t webPort() const { return m_webPort; }
    const QString& snapFolder() const { return m_snapFolder; }
    const QString& playDate() const { return m_playDate; }
    std::uint32_t channelMask() const { return m_channelMask; }
    std::uint32_t recordType() const { return m_recordType; }
    const std::vector<RecordSpan>& recordSpans() const { return m_spans; }
    bool spansComplete() const { return m_spansComplete; }
    int playState() const { return m_bar.session().playState(); }
    CPlayBackCtrlPanel& bar() { return m_bar; }
    CChannelPanel& grid() { return m_grid; }
    bool isFullScreen() const { return m_fullScreen; }
    // Full screen on (a top-level window over the screen) or off (back in
    // its parent at its old place). UI thread.
    void setFullScreen(bool on);
    bool timelineExpanded() const { return m_timelineExpanded; }
    // Waits for every stop worker started so far. UI thread.
    void waitForStopWorkers();

    platform::LRESULT windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) override;

protected:
    bool onCreate() override;
    void onDestroy() override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:

    struct StopWorker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    // Joins the workers that have ended. UI thread.
    void reapStopWorkers();

    void layoutChildren();

    LanguageTable* m_language = nullptr;
    CChannelPanel m_grid;
    CPlayBackCtrlPanel m_bar;
    // The handle between the pictures and the bar: a larger or smaller timeline.
    CGdipButton m_timelineToggle;
    bool m_timelineExpanded = true;
    QPixmap m_background;
    std::atomic<std::uint32_t> m_deviceHandle{0};
    QString m_deviceAddress;
    std::uint32_t m_webPort = 80;
    QString m_snapFolder;
    QString m_playDate;
    std::uint32_t m_channelMask = 0;
    std::uint32_t m_recordType = 2;
    std::vector<RecordSpan> m_spans;
    bool m_spansComplete = false;
    std::vector<StopWorker> m_stopWorkers;  // UI thread only
    bool m_fullScreen = false;
    // What full screen restores: the parent and the place in it.
    QWidget* m_savedParent = nullptr;
    QRect m_savedGeometry;
};
