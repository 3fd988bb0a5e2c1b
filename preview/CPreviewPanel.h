// SPDX-License-Identifier: GPL-3.0-or-later
// The live-preview page of the control (child window id 292). It keeps the
// state the control and the device session give it: device, folders, channel
// count, stream type, sound, volume, layout and shape mode. The video grid,
// its windows and the supervisor thread that opens and closes channels fill
// it in later; until then no channel opens and nothing is drawn but the
// background.
#pragma once

#include "device/PanelLinks.h"
#include "platform/Window.h"

#include <atomic>
#include <cstdint>

class LanguageTable;

class CPreviewPanel : public platform::CWnd, public IPreviewLink {
public:
    static constexpr int kMaxChannels = 16;

    CPreviewPanel();
    ~CPreviewPanel() override;

    // Shared with every channel window; not owned.
    void setLanguageTable(LanguageTable* table) { m_language = table; }
    LanguageTable* languageTable() const { return m_language; }

    // IPreviewLink (the device session).
    void setDevice(std::uint32_t deviceHandle, const QString& recordFolder) override;
    void setDeviceAddress(const QString& address, std::uint32_t webPort) override;
    void setSession(DeviceSession* session) override { m_session = session; }
    void setControlWindow(platform::WindowHandle control) override { m_notifyWindow = control; }
    void closeAllChannels(int reasonFlag) override;
    void capture(const QString& snapFolder, const QString& address) override;
    void startLocalRecord(const QString& recordFolder, const QString& address) override;
    void stopLocalRecord() override;
    int activeChannel() const override;
    std::uint32_t streamType() const override { return m_streamType; }
    std::uint32_t switchStreamType(std::uint32_t type) override;
    std::uint32_t openChannelMask() const override { return m_openMask; }
    void setRecordFolder(const QString& folder) override { m_recordRoot = folder; }

    // Automation requests.
    // Opens channels 0..count-1 with the stream type (stream type 0..2).
    void startViewAll(int channelCount, std::uint32_t streamType);
    // Closes every open channel.
    void stopPreviewAll();
    // Grid layout by window count; 0 toggles full screen; above 16 nothing.
    void showChannels(std::uint32_t windowCount);
    // Assigns grid windows to channels 0..count-1.
    void assignWindows(int channelCount);
    void nextGroup();
    void previousGroup();
    void setSoundEnabled(bool on) { m_soundEnabled = on; }
    void setVolume(std::uint32_t volume) { m_volume = volume; }
    // 0 stretch, 1 keep proportions.
    void setShapeMode(int mode) { m_shapeMode = mode; }

    // State, for the control and tests.
    std::uint32_t deviceHandle() const { return m_deviceHandle; }
    const QString& recordFolder() const { return m_recordRoot; }
    const QString& deviceAddress() const { return m_deviceAddress; }
    std::uint32_t webPort() const { return m_webPort; }
    platform::WindowHandle notifyWindow() const { return m_notifyWindow; }
    DeviceSession* session() const { return m_session; }
    int channelCount() const { return m_channelCount; }
    int layoutCount() const { return m_layoutCount; }
    bool isFullScreen() const { return m_fullScreen; }
    bool soundEnabled() const { return m_soundEnabled; }
    std::uint32_t volume() const { return m_volume; }
    int shapeMode() const { return m_shapeMode; }

    // The grid layout a window count asks for (1, 3, 4, 6, 8, 9, 13 or 16);
    // 0 for the full-screen toggle (0) and for counts above 16.
    static int layoutForWindowCount(std::uint32_t windowCount);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LanguageTable* m_language = nullptr;
    DeviceSession* m_session = nullptr;
    // Read by the supervisor and its workers once they exist.
    std::atomic<std::uint32_t> m_deviceHandle{0};
    std::atomic<std::uint32_t> m_volume{50};
    QString m_recordRoot;
    QString m_deviceAddress;
    std::uint32_t m_webPort = 80;
    platform::WindowHandle m_notifyWindow = 0;
    std::atomic<int> m_channelCount{4};
    std::atomic<std::uint32_t> m_streamType{0};
    std::atomic<bool> m_soundEnabled{true};
    std::atomic<std::uint32_t> m_openMask{0};
    bool m_fullScreen = false;
    int m_layoutCount = 4;
    int m_shapeMode = 0;
};
