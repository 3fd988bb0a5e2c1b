// SPDX-License-Identifier: GPL-3.0-or-later
// The control: owns the four panels, the language table and the current
// session pointer; its window procedure turns private messages into events.
#pragma once

#include "control/Automation.h"
#include "overlay/COverlayWnd.h"
#include "platform/Window.h"
#include "playback/CPlayBackPanel.h"
#include "preview/CPreviewPanel.h"
#include "schedule/CWndRecordSchedule.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class LanguageTable;
class DeviceSession;
struct BackupProgress;

class CVELK_DVRCtrl : public platform::CWnd {
public:
    // Child window ids of the four panels.
    static constexpr int kPlaybackPanelId = 204;
    static constexpr int kPreviewPanelId = 292;
    static constexpr int kOverlayWindowId = 205;
    static constexpr int kScheduleWindowId = 206;

    // Codes returned to the page.
    static constexpr std::uint32_t kMalformedArgument = 0x80060000u;

    CVELK_DVRCtrl();
    ~CVELK_DVRCtrl() override;

    // Where fired events go (the host). UI thread only.
    void setEventSink(EventSink sink);
    // Where the paths of saved snapshots go (the host tells the page). UI thread only.
    using SnapshotSink = std::function<void(const QString& jpegPath, int channel)>;
    void setSnapshotSink(SnapshotSink sink)
    {
        m_snapshotSink = sink;
        m_playback.bar().setSnapshotSink(std::move(sink));
    }

    // The automation methods are reached through the dispatch table
    // (control/Automation.h); the members they call are declared below, all
    // on the UI thread, named as the page names them.

    // Session and page methods (CVELK_DVRCtrlSession.cpp).
    QString Login(const QString& deviceIp, std::uint32_t mediaPort, const QString& userName,
                  const QString& userPassword);
    std::uint32_t Logout(std::uint32_t devId);
    void SetClientID(std::uint32_t clientId) { m_clientId = clientId; }
    void SetWebport(std::uint32_t webPort) { m_webPort = webPort; }
    void SetDeviceType(std::uint32_t /*deviceType*/) {}
    std::uint32_t SwitchPage(std::uint32_t page);
    void SetSize(std::uint32_t width, std::uint32_t height);
    void RePlace(std::uint16_t type, std::int16_t x, std::int16_t y);
    void SetToolbarState(std::uint32_t, std::uint32_t) {}
    std::uint32_t SetMax(std::uint32_t) { return 0; }
    std::uint32_t SetViewBkColor(std::uint32_t) { return 0; }
    std::uint32_t StartTalk(std::uint32_t) { return 0; }
    std::uint32_t StopTalk(std::uint32_t) { return 0; }
    std::uint32_t ClearRecordPeriod() { return 0; }
    std::uint32_t SetLanguageString(std::uint32_t devId, const QString& key, const QString& value);
    QString SetLocalParameter(std::uint32_t devId, const QString& key, const QString& value,
                              const QString& operation);
    // Runs a nested event loop while the folder dialog is open.
    QString GetFolderPath(std::uint32_t devId);
    QString CreateOsdMatrix(const QString& text, std::uint32_t unused);

    // Live preview methods (CVELK_DVRCtrlPreview.cpp).
    std::uint32_t StartViewAll(std::uint32_t devId, std::uint32_t channelCount, std::uint32_t streamType);
    std::uint32_t StartView(std::uint32_t, std::uint32_t, std::uint32_t) { return 0xFFFFFFFFu; }
    std::uint32_t StopView(std::uint32_t devId, std::uint32_t channel);
    std::uint32_t StopPreviewAll(std::uint32_t devId);
    void ShowChannels(std::uint32_t windowCount);
    std::int32_t SetChannelCnt(std::uint32_t devId, std::uint32_t channelCount);
    void NextGroupVideos();
    void PreviousGoupVides();
    std::int32_t GetActiveChannel(std::uint32_t devId);
    std::uint32_t SwitchPreviewStreamType(std::uint32_t devId, std::uint16_t streamType);
    void SetPreviewVideoShapeMode(std::int16_t shapeMode);
    std::uint32_t SetPreviewSoundState(std::uint32_t devId, std::uint32_t on);
    std::uint32_t SetVolume(std::uint32_t devId, std::uint32_t unused, std::uint32_t volume);
    std::uint32_t GetVolume(std::uint32_t devId);
    std::uint32_t StartRecord(std::uint32_t devId, std::uint32_t unused, const QString& unusedText);
    std::uint32_t StopRecord(std::uint32_t devId, std::uint32_t unused);
    std::uint32_t CaptureImage(std::uint32_t devId);

    // Playback and backup methods (CVELK_DVRCtrlPlayback.cpp).
    std::uint32_t SetPlaybackDate(std::uint32_t devId, const QString& date);
    std::uint32_t SetRecordPeriod(std::uint32_t devId, const QString& start, const QString& end,
                                  std::uint32_t channel, std::uint32_t recordType, std::uint32_t unused);
    std::uint32_t CompleteSetRecordPeriod(std::uint32_t devId);
    void SetPlayBackChannels(std::uint32_t channelMask);
    std::uint32_t AllowPlaybackRecordTypeToPlay(std::uint32_t devId, std::uint16_t recordType);
    std::uint32_t StopPlayback(std::uint32_t devId);
    std::uint32_t StartBackup(std::uint32_t devId, const QString& deviceFileName, const QString& channel,
                              const QString& start, const QString& end, const QString& backupKey);
    std::uint32_t StopBackup(std::uint32_t devId, const QString& backupKey);

    // Schedule methods (CVELK_DVRCtrlSchedule.cpp).
    std::uint32_t SetRecSchedule(std::uint32_t devId, std::int16_t mode, std::int16_t channel,
                                 const QString& scheduleData);
    QString GetRecSchedule(std::uint32_t devId, std::int16_t mode, std::uint16_t channel);
    std::uint32_t SetScheduleMode(std::uint32_t devId, std::int16_t mode);
    std::uint32_t SelectSchedelBtnType(std::uint32_t devId, std::int16_t buttonType);

    // Overlay methods (CVELK_DVRCtrlOverlay.cpp).
    std::uint32_t InitOverlay(std::uint32_t devId, std::int32_t channel, std::uint32_t kind,
                              std::uint32_t streamType, std::uint16_t pictureWidth, std::uint16_t pictureHeight);
    std::uint32_t UninitOverlay();
    std::uint32_t ClearOverlayScreen();
    QString SetOverlayMDInitData(std::uint32_t devId, const QString& cells, std::uint32_t unused);
    QString SetOverlayOsdInitData(std::uint32_t devId, std::uint32_t index, std::uint32_t packedPair,
                                  const QString& text, std::uint32_t visible, std::uint32_t referenceWidth,
                                  std::uint32_t referenceHeight, std::uint32_t x, std::uint32_t y);
    QString SetOverlayShelterInitData(std::uint32_t devId, std::uint32_t index, std::uint32_t left,
                                      std::uint32_t top, std::uint32_t right, std::uint32_t bottom,
                                      std::uint32_t referenceWidth, std::uint32_t referenceHeight);
    QString GetOverlayMDData(std::uint32_t devId);
    QString GetShelterData(std::uint32_t devId, std::int32_t index);
    QString GetOsdOverlayData(std::uint32_t devId, std::uint32_t index);
    void SetOSD_AlignPixels(std::uint16_t pixels);

    // State, for the host and tests.
    DeviceSession* currentSession() const;  // nullptr when none
    std::int32_t currentPage() const { return m_currentPage; }
    std::uint32_t clientId() const { return m_clientId; }
    std::uint32_t webPort() const { return m_webPort; }
    LanguageTable* languageTable() const { return m_language.get(); }
    CPlayBackPanel& playbackPanel() { return m_playback; }
    CPreviewPanel& previewPanel() { return m_preview; }
    COverlayWnd& overlayWindow() { return m_overlay; }
    CWndRecordSchedule& scheduleWindow() { return m_schedule; }

    platform::LRESULT windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) override;

protected:
    bool onCreate() override;
    void onDestroy() override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The listed session with this id, or nullptr.
    static DeviceSession* listedSession(std::uint32_t devId);
    void fireEvent(int dispid, std::vector<Variant> args);
    void onBackupNotify(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam);
    // Turns the backup notes waiting for this window into events; notes of
    // backups no longer in their session's table (stopped, ended, logged
    // out) are dropped.
    void onBackupMail();
    // Fires UploadBackupProcess, then keeps the session's backup table up to
    // date: an ended backup (flags 1, 2, 4) is stopped and removed (its
    // flag 3 follows) and the next queued one starts.
    void handleBackupEvent(DeviceSession* session, std::uint32_t flag, const QString& key,
                           const BackupProgress& progress);
    void onAlarm(std::uint32_t type, platform::WPARAM wParam, platform::LPARAM lParam);
    void layoutPanels();
    // Shows or hides a panel that has a window; panels without one stay as they are.
    static void showPanel(platform::CWnd& panel, bool show);
    // Ends the current session: logs it out and removes it from the list.
    void endCurrentSession();
    // Drops the panel links of every listed session this control logged in.
    void unlinkSessions();

    // The current session by id, resolved through the session list, so that a
    // session removed elsewhere is never used after its deletion. 0 = none.
    std::uint32_t m_currentSessionId = 0;
    CPlayBackPanel m_playback;
    CPreviewPanel m_preview;
    COverlayWnd m_overlay;
    CWndRecordSchedule m_schedule;
    std::unique_ptr<LanguageTable> m_language;
    std::int32_t m_currentPage = 0;
    std::uint32_t m_clientId = 0;
    std::uint32_t m_webPort = 80;
    EventSink m_eventSink;
    SnapshotSink m_snapshotSink;
    // Sessions this control logged in; their links to our panels are dropped
    // before the panels go.
    std::vector<std::uint32_t> m_loggedInSessionIds;
};
