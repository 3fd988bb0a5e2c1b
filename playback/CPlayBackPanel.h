// SPDX-License-Identifier: GPL-3.0-or-later
// The playback page of the control (child window id 204). It keeps what the
// control and the device session give it: device, snapshot folder, play
// date, channel selection, record type and the record spans of the day. The
// grid, the control bar with its timeline and the remote playback session
// fill it in later; until then nothing plays and only the background is drawn.
#pragma once

#include "device/PanelLinks.h"
#include "platform/Window.h"

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
    void setSnapFolder(const QString& folder) override { m_snapFolder = folder; }
    void setRecordPeriod(std::uint32_t channel, std::uint32_t recordType, const QString& start,
                         const QString& end) override;

    // Automation requests.
    void setPlayDate(const QString& date);          // yyyy-mm-dd
    void setChannelMask(std::uint32_t mask);        // bit n = channel n
    // Stops first when the type changes; types above 2 are kept as 2.
    void setRecordType(std::uint32_t type);
    // The record spans of the day are complete.
    void completeRecordPeriods() { m_spansComplete = true; }
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
    int playState() const { return m_playState; }
    // Waits for every stop worker started so far. UI thread.
    void waitForStopWorkers();

protected:
    void onDestroy() override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Runs on a stop worker thread (and on the UI thread when the window goes).
    void stopPlay();

    struct StopWorker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    // Joins the workers that have ended. UI thread.
    void reapStopWorkers();

    LanguageTable* m_language = nullptr;
    std::atomic<std::uint32_t> m_deviceHandle{0};
    QString m_deviceAddress;
    std::uint32_t m_webPort = 80;
    QString m_snapFolder;
    QString m_playDate;
    std::uint32_t m_channelMask = 0;
    std::uint32_t m_recordType = 2;
    std::vector<RecordSpan> m_spans;
    bool m_spansComplete = false;
    // Written by stop workers, read on the UI thread.
    std::atomic<int> m_playState{kStopped};
    std::vector<StopWorker> m_stopWorkers;  // UI thread only
};
