// SPDX-License-Identifier: GPL-3.0-or-later
// One video window of a grid: it opens, shows and closes one live stream of
// one device channel, shows a status text while no picture is shown (in its
// view, CVideoLogView), draws its selection frame, plays sound when it is
// the selected window, offers a context menu and reports its gestures to
// its parent grid.
//
// Threads: the UI thread owns the widget. StartRealPlay and StopRealPlay
// also run on the preview panel's workers; StreamCallback runs on the
// network library's threads and OsdCallback on a decoder thread. State those
// threads share is atomic; whatever touches a widget or the sound is posted
// back to the UI thread as a private message.
#pragma once

#include "platform/Sync.h"
#include "platform/Window.h"
#include "preview/CVideoLogView.h"
#include "preview/LocalRecording.h"

#include <QPoint>
#include <QRect>
#include <QString>

#include <atomic>
#include <cstdint>

class IChannelDevice;
class QPainter;
class LanguageTable;

class CChannelEX : public platform::CWnd {
public:
    // The network library's stream callback (REALPLAY's CALLBACK): type,
    // user data (this window), data block, its length, and a kind.
    using StreamCallbackFunction = std::int32_t (*)(std::uint32_t type, void* userData, const std::uint8_t* data,
                                                    std::uint32_t length, std::uint32_t kind);

    // Result codes of this window's operations.
    static constexpr std::int32_t kBadArgument = static_cast<std::int32_t>(0x80060000u);
    static constexpr std::int32_t kNoView = static_cast<std::int32_t>(0x80050001u);
    static constexpr std::int32_t kNoSound = static_cast<std::int32_t>(0x80050003u);
    static constexpr std::int32_t kNoStream = static_cast<std::int32_t>(0x80020002u);
    static constexpr std::int32_t kNoPlayHandleToRecord = static_cast<std::int32_t>(0x8003001bu);
    // A record file or a snapshot could not be created.
    static constexpr std::int32_t kRecordFileNotCreated = static_cast<std::int32_t>(0x8002001fu);

    // Context menu command identifiers.
    enum MenuCommand {
        kMenuOpenWindow = 1000,
        kMenuCloseWindow = 1001,
        kMenuOpenAll = 1003,
        kMenuCloseAll = 1004,
        kMenuStartRecord = 1006,
        kMenuStopRecord = 1007,
        kMenuExitFullScreen = 1008,
    };

    explicit CChannelEX(int windowIndex);
    ~CChannelEX() override;

    // Opens the live stream of a channel (0..16) with a stream type (0..2)
    // and shows "IE_Open" until its first data block. Returns 0, the
    // library's result, the recorder's code for a refusal, kBadArgument or
    // kNoView. Runs on the UI thread or a preview worker.
    std::int32_t StartRealPlay(std::uint32_t deviceHandle, int channel, int streamType);
    // Closes the stream: 0 on success or when none was open, 7 when the
    // library answered 7. Runs on the UI thread or a preview worker.
    std::int32_t StopRealPlay();
    // Switches the open stream to another type; without a stream only a
    // sub stream the recorder refused before is opened again. UI thread.
    std::int32_t SwitchStreamType(int streamType);
    // Asks the library for the stream's decoder: 1 when one is known, else 0.
    // Runs on any thread.
    int QueryDecoder();
    // Sound of the decoder at a volume, for the active window only. UI thread.
    std::int32_t OpenSound(int volume);
    std::int32_t CloseSound();
    // Clamps to 0..100 and stores the volume; with a stream open it becomes
    // the process volume (0 returned), else kBadArgument. UI thread.
    std::int32_t SetVolume(int volume);
    // Marks the window selected or not and redraws its frame. UI thread.
    void SetActive(bool active);
    // Places the view for the shape mode and the picture size. UI thread.
    void LayoutVideoView();

    // Starts writing the stream to a new record file under the record root:
    // 0 (also when already recording), kNoPlayHandleToRecord without a
    // stream, kRecordFileNotCreated when the file could not be created (the
    // window is not recording then). Runs on the UI thread, a record worker
    // or the network library's callback thread (after a reconnect).
    std::int32_t StartLocalRecord(const QString& recordRoot, const QString& deviceAddress);
    // Finishes the record file: 0; -1 when the file was too short and was
    // deleted. Any thread.
    std::int32_t StopLocalRecord();
    // Saves the picture shown as a JPEG file in the channel's snapshot
    // folder and gives its path: 0; kRecordFileNotCreated when the folder
    // cannot be used or the file could not be written (nothing is saved
    // then); kNoStream when there is no picture to take. UI thread.
    std::int32_t CaptureLocalImage(const QString& snapRoot, const QString& deviceAddress,
                                   QString* savedPath = nullptr);

    // Setters used by the panels. Any thread unless marked.
    void setDeviceHandle(std::uint32_t handle) { m_deviceHandle.store(handle); }
    void setOccupied(bool occupied) { m_occupied.store(occupied); }
    // Sets the occupied flag when it was clear; true when this call set it.
    bool tryOccupy();
    void setRecordTarget(const QString& recordRoot, const QString& deviceAddress);
    void setDevicePort(int port) { m_devicePort.store(port); }
    void setDeviceObject(IChannelDevice* device) { m_device.store(device); }
    void setSoundAllowed(bool allowed) { m_soundAllowed.store(allowed); }
    void setLanguageTable(LanguageTable* table);
    // 0 stretch, 1 keep proportions; lays the view out again. UI thread.
    void setShapeMode(int mode);
    // A playback session shows into this window: it marks the window
    // playing and gives the picture's size (0, 0: none), which lays the view
    // out again. UI thread.
    void setPlaying(bool playing) { m_playing.store(playing); }
    void setPictureSize(int width, int height);
    // The rectangle the grid placed this window at. UI thread.
    void setGridRect(const QRect& rect) { m_gridRect = rect; }
    const QRect& gridRect() const { return m_gridRect; }

    // State. Any thread.
    int windowIndex() const { return m_windowIndex; }
    int channel() const { return m_channel.load(); }
    int volume() const { return m_volume.load(); }
    int streamType() const { return m_streamType.load(); }
    bool isPlaying() const { return m_playing.load(); }
    bool isSoundOn() const { return m_soundOn.load(); }
    bool isRecording() const { return m_recording.load(); }
    bool isOccupied() const { return m_occupied.load(); }
    bool isActive() const { return m_active.load(); }
    bool isSoundAllowed() const { return m_soundAllowed.load(); }
    bool isSubstreamRefused() const { return m_substreamRefused.load(); }
    bool isFirstFramePending() const { return m_firstFramePending.load(); }
    std::uint32_t deviceHandle() const { return m_deviceHandle.load(); }
    std::uint32_t playHandle() const { return m_playHandle.load(); }
    std::uint32_t decoderHandle() const { return m_decoderHandle.load(); }
    int shapeMode() const { return m_shapeMode.load(); }
    int pictureWidth() const { return m_pictureWidth.load(); }
    int pictureHeight() const { return m_pictureHeight.load(); }
    int devicePort() const { return m_devicePort.load(); }
    int status() const { return m_view.status(); }
    CVideoLogView& view() { return m_view; }
    const CVideoLogView& view() const { return m_view; }
    // Where the left button was last released, in global coordinates. UI thread.
    QPoint lastReleaseGlobal() const { return m_lastReleaseGlobal; }
    // The mark rectangle of the last OSD drawing (left, top, right, bottom).
    QRect markRect() const;

    // The callbacks handed to the libraries. StreamCallback runs on the
    // network library's threads; OsdCallback on a decoder thread.
    static std::int32_t StreamCallback(std::uint32_t type, void* userData, const std::uint8_t* data,
                                       std::uint32_t length, std::uint32_t kind);
    static std::int32_t OsdCallback(void* userData, void* drawContext, std::int32_t pictureWidth,
                                    std::int32_t pictureHeight);

    platform::LRESULT windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) override;

protected:
    bool onCreate() override;
    void onDestroy() override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The window's own mouse input, on its margin around the view.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // Stream side (CChannelEXStream.cpp).
    // Closes the stream with the stream lock held. Runs on the UI thread or a worker.
    std::int32_t stopRealPlayLocked();
    // Runs on the network library's threads.
    void onStreamData(const std::uint8_t* data, std::uint32_t length);
    // Runs on the network library's threads.
    void onVideoProperty(const std::uint8_t* data, std::uint32_t length);
    // Runs on the network library's threads.
    void onConnectionLost();
    // Asks the UI thread to close the stream and show a status. Any thread.
    void postStreamFailure(int status);
    // UI thread: the posted halves.
    void onStreamFailed(std::uint32_t generation, int status);
    void onFirstFrame(std::uint32_t generation);
    // Posts to the parent grid. Any thread.
    void postToParent(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) const;
    // Draws the red recording mark on a picture. Runs on a decoder thread.
    void drawRecordingMark(QPainter& painter, int pictureWidth, int pictureHeight);
    // Record side (CChannelEXRecord.cpp).
    // Appends one data block to the record file. Runs on the network library's threads.
    void writeRecordBlock(const std::uint8_t* data, std::uint32_t length);
    // Finishes the file of a lost stream but keeps the recording flag. Runs on the network library's threads.
    void suspendRecordingForReconnect();
    // Restarts a recording that a lost connection suspended. Runs on the network library's threads.
    void resumeSuspendedRecording();
    // The pack time of the device's settings, in minutes. Any thread.
    int packMinutesSetting() const;
    // Asks the recorder for a key frame, so that a new file starts with one. Any thread.
    void requestKeyFrame();
    // Ends the recording after a write error and tells the grid. Runs on the network library's threads.
    void onRecordWriteFailed();

    // Gestures and menu (CChannelEX.cpp). UI thread.
    void onClick();
    void onButtonUp(const QPoint& globalPos);
    void onDoubleClick();
    void onDrag();
    void showContextMenu();
    void onMenuCommand(int id);

    CVideoLogView m_view;
    std::atomic<std::uint32_t> m_deviceHandle{0};
    std::atomic<std::uint32_t> m_playHandle{0};
    const int m_windowIndex;
    std::atomic<int> m_channel;
    std::atomic<int> m_volume{50};
    std::atomic<int> m_streamType{0};
    std::atomic<bool> m_playing{false};
    std::atomic<bool> m_soundOn{false};
    std::atomic<bool> m_recording{false};
    std::atomic<bool> m_occupied{false};
    std::atomic<platform::WindowHandle> m_parentHandle{0};
    // This window's handle for other threads to post to; 0 when not created.
    std::atomic<platform::WindowHandle> m_postHandle{0};
    std::atomic<bool> m_active{false};
    std::atomic<bool> m_soundAllowed{true};
    // Guards the record file and the record fields (m_recordRoot,
    // m_deviceAddress): the stream callback writes blocks under it.
    mutable platform::CriticalSection m_recordLock;
    QString m_recordRoot;      // guarded by m_recordLock
    QString m_deviceAddress;   // guarded by m_recordLock
    preview::LocalRecording m_localRecording;  // guarded by m_recordLock
    // A lost connection finished the file but left the recording flag set:
    // the next first frame starts a new file.
    std::atomic<bool> m_recordResumePending{false};
    std::atomic<int> m_devicePort{80};
    std::atomic<std::uint32_t> m_decoderHandle{0};
    std::atomic<bool> m_firstFramePending{false};
    std::atomic<int> m_markLeft{4}, m_markTop{10}, m_markRight{24}, m_markBottom{60};
    std::atomic<LanguageTable*> m_language{nullptr};
    std::atomic<int> m_shapeMode{0};
    std::atomic<int> m_pictureHeight{0};
    std::atomic<int> m_pictureWidth{0};
    int m_shownHeight = 300;  // UI thread only
    int m_shownWidth = 300;   // UI thread only
    std::atomic<IChannelDevice*> m_device{nullptr};
    bool m_hoverTracking = false;  // UI thread only
    bool m_buttonDown = false;     // UI thread only
    bool m_dragReported = false;   // UI thread only: one drag message per press
    std::atomic<bool> m_substreamRefused{false};

    // Serialises opening, closing and switching this window's stream between
    // the UI thread and the preview workers; held across the library call
    // (bounded by the library's timeouts). Stream callbacks never take it.
    platform::CriticalSection m_streamLock;
    // Counts streams opened and closed, so that a failure or first frame
    // posted for one stream is not applied to the next.
    std::atomic<std::uint32_t> m_streamGeneration{0};
    QRect m_gridRect;             // UI thread only
    QPoint m_lastReleaseGlobal;   // UI thread only
};
