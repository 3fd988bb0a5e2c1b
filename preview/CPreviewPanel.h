// SPDX-License-Identifier: GPL-3.0-or-later
// The live-preview page of the control (child window 292): one grid of
// video windows, the mapping of the device's channels to grid windows
// (slots), opening and closing all channels through a supervisor thread and
// one worker thread per channel, and the sound, volume, stream type, shape
// mode and full screen of the whole preview. It reports the clicked window
// and the open and recording channel masks to the control, which turns them
// into events.
//
// Threads: the UI thread runs the automation requests, the window messages
// and open all / close all from a window's menu. The supervisor thread runs
// the queued requests. StartAll and StopAll (on either thread) start one
// worker per channel and join them all before they return; workers only
// ever post to windows, so the UI thread may wait for them.
#pragma once

#include "device/PanelLinks.h"
#include "platform/Window.h"
#include "preview/CChannelPanel.h"
#include "preview/IChannelDevice.h"
#include "preview/PreviewSupervisor.h"

#include <QPointer>
#include <QRect>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

class LanguageTable;

class CPreviewPanel : public platform::CWnd, public IPreviewLink, public IChannelDevice {
public:
    static constexpr int kMaxChannels = 16;
    static constexpr int kGridId = 201;
    // StartAll's result when the grid has no free window.
    static constexpr int kNoFreeWindow = static_cast<int>(0x80050001u);

    CPreviewPanel();
    ~CPreviewPanel() override;

    // Shared with every video window; not owned.
    void setLanguageTable(LanguageTable* table);
    LanguageTable* languageTable() const { return m_language; }

    // IPreviewLink (the device session). UI thread.
    void setDevice(std::uint32_t deviceHandle, const QString& recordFolder) override;
    void setDeviceAddress(const QString& address, std::uint32_t webPort) override;
    void setSession(DeviceSession* session) override { m_session = session; }
    void setControlWindow(platform::WindowHandle control) override { m_notifyWindow = control; }
    // Closes every channel at once, on this thread (dropping queued
    // requests); at logout (reason 1) the windows also forget the device.
    void closeAllChannels(int reasonFlag) override;
    void capture(const QString& snapFolder, const QString& address) override;
    // Snapshot of the selected window (the first active slot): 0 with the
    // JPEG file's path and the window's channel; CChannelEX::kRecordFileNotCreated
    // when the folder cannot be used (checked first, whatever the windows
    // show) or the file could not be written; CChannelEX::kNoStream when no
    // window is selected or it has no picture. UI thread.
    std::int32_t captureImage(const QString& snapFolder, const QString& address, QString* savedPath = nullptr,
                              int* channel = nullptr);
    // Record files for every playing window under the folder; stopping
    // finishes every recording. One thread per window, joined; the new
    // recording mask goes to the control. 0, or CChannelEX::kRecordFileNotCreated
    // when the folder cannot be used (no window starts) or a playing window
    // could not create its file (the others record). UI thread.
    std::int32_t startLocalRecord(const QString& recordFolder, const QString& address) override;
    void stopLocalRecord() override;
    int activeChannel() const override;
    std::uint32_t streamType() const override { return m_streamType.load(); }
    std::uint32_t switchStreamType(std::uint32_t type) override;
    // Bit i: the window of slot i (i below the channel count) is playing.
    std::uint32_t openChannelMask() const override;
    void setRecordFolder(const QString& folder) override;

    // IChannelDevice (the video windows' context menus). UI thread.
    bool isPreviewFullScreen() const override { return m_fullScreen; }
    bool allChannelsOpen() const override;
    bool noChannelOpen() const override { return openChannelMask() == 0; }

    // Automation requests. UI thread.
    // Stores count and stream type (0..2) and queues opening channels 0..count-1.
    void startViewAll(int channelCount, std::uint32_t streamType);
    // Queues closing every channel.
    void stopPreviewAll();
    // Grid layout by window count; 0 toggles full screen; above 16 nothing.
    void showChannels(std::uint32_t windowCount);
    // Assigns grid windows to channels 0..count-1.
    void assignWindows(int channelCount);
    // Page the grid; the window of the slot at the new first position is
    // selected and gets the sound.
    void nextGroup();
    void previousGroup();
    void setSoundEnabled(bool on);
    void setVolume(std::uint32_t volume);
    // 0 stretch, 1 keep proportions (other values count as 0).
    void setShapeMode(int mode);
    void setFullScreen(bool on);
    // The rectangle in the parent (the control's client area); in full
    // screen it is where the panel returns to.
    void placeInParent(const QRect& rect);

    // Opens channels 0..count-1 in parallel and waits for them: 0, -1 without
    // grid window or device, kNoFreeWindow. Runs on the UI or supervisor thread.
    int StartAll(int channelCount, int streamType);
    // Closes every slot's stream in parallel and waits. Runs on the UI or
    // supervisor thread.
    void StopAll();

    // State, for the control and tests.
    std::uint32_t deviceHandle() const { return m_deviceHandle.load(); }
    QString recordFolder() const;
    QString deviceAddress() const;
    std::uint32_t webPort() const { return m_webPort; }
    platform::WindowHandle notifyWindow() const { return m_notifyWindow; }
    DeviceSession* session() const { return m_session; }
    int channelCount() const { return m_channelCount.load(); }
    int layoutCount() const { return m_grid.layoutCount(); }
    bool isFullScreen() const { return m_fullScreen; }
    bool soundEnabled() const { return m_soundEnabled.load(); }
    std::uint32_t volume() const { return m_volume.load(); }
    int shapeMode() const { return m_shapeMode; }
    bool isRunning() const { return m_running.load(); }
    bool isStopping() const { return m_stopping.load(); }
    // Bit i: the window of slot i (i below the channel count) records.
    std::uint32_t recordingChannelMask() const;
    CChannelPanel& grid() { return m_grid; }
    const CChannelPanel& grid() const { return m_grid; }
    // The window shown for channel slot i, or nullptr. Any thread.
    CChannelEX* slotWindow(int slot) const;
    PreviewSupervisor& supervisor() { return m_supervisor; }

    platform::LRESULT windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) override;

protected:
    bool onCreate() override;
    void onDestroy() override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Channels (CPreviewPanelChannels.cpp).
    // The window of a slot, taking a free grid window for an empty slot.
    // Any thread.
    CChannelEX* ensureSlotWindow(int slot);
    // Gives a window what the panel knows of the device. Any thread.
    void configureWindow(CChannelEX& window);
    // One worker's open of one slot. Runs on a worker thread.
    void startWorker(std::uint32_t deviceHandle, int slot, int streamType);
    // One worker's close of one window. Runs on a worker thread.
    void stopWorker(CChannelEX* window);
    // Supervisor actions. Run on the supervisor thread.
    void supervisedStop();
    void supervisedRestart();
    void supervisedReopen();
    // Open all / close all from a window's menu, at once. UI thread.
    void openAllNow();
    void closeAllNow();

    // Messages from the grid. UI thread.
    void onWindowClicked(int windowIndex);
    void postViewState();
    void postRecordState();
    // Re-applies sound to the slots after the selection moved. UI thread.
    void applySelectionSound(const CChannelEX* selectedWindow);

    // Slot i shows device channel i; written by the UI and supervisor
    // threads, a window is put in an empty slot only (compare-exchange).
    std::array<std::atomic<CChannelEX*>, kMaxChannels> m_slots{};
    CChannelPanel m_grid;
    platform::WindowHandle m_parentHandle = 0;  // UI thread only
    std::atomic<std::uint32_t> m_deviceHandle{0};
    std::atomic<std::uint32_t> m_volume{50};
    // Guards m_recordRoot and m_deviceAddress, which the supervisor reads.
    mutable std::mutex m_deviceTextLock;
    QString m_recordRoot;
    QString m_deviceAddress;
    std::uint32_t m_webPort = 80;
    platform::WindowHandle m_notifyWindow = 0;  // UI thread only
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_channelCount{4};
    std::atomic<std::uint32_t> m_streamType{0};
    std::atomic<bool> m_soundEnabled{true};
    bool m_fullScreen = false;          // UI thread only
    QPointer<QWidget> m_formerParent;   // UI thread only
    QRect m_savedGeometry;              // UI thread only
    std::atomic<bool> m_running{false};
    DeviceSession* m_session = nullptr;  // UI thread only
    LanguageTable* m_language = nullptr;
    int m_shapeMode = 0;                 // UI thread only
    // The grid window exists: StartAll may run.
    std::atomic<bool> m_gridReady{false};
    // Serialises StartAll and StopAll between the UI thread and the
    // supervisor; held for one whole operation (its workers are joined).
    std::mutex m_channelsOpLock;
    // Last member: its thread starts once everything it uses exists, and
    // ends before anything else goes.
    PreviewSupervisor m_supervisor;
};
