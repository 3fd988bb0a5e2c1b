// SPDX-License-Identifier: GPL-3.0-or-later
// The overlay editor page of the control (child window id 205): the live
// picture of one channel, opened by the window itself, with the motion
// cells, the privacy masks or the on-screen text items drawn on every
// decoded picture and edited with the mouse. The page loads the data with
// the Set... methods and reads it back with the Get... methods.
//
// Threads: the UI thread owns the window, the model (OverlayModel) and all
// editing. StreamCallback runs on the network library's callback thread
// and OsdCallback on the decoder's thread; they share only atomics and the
// published snapshot (see m_snapshotLock), and whatever touches the window
// is posted back to the UI thread.
#pragma once

#include "overlay/OverlayModel.h"
#include "platform/RenderTarget.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class LanguageTable;

class COverlayWnd : public platform::CRenderTargetWnd {
public:
    enum Mode { kMotionCells = overlay::kMotionCells, kPrivacyMasks = overlay::kPrivacyMasks,
                kTextItems = overlay::kTextItems };
    static constexpr int kCellColumns = overlay::kCellColumns;
    static constexpr int kCellRows = overlay::kCellRows;
    static constexpr int kCellCount = overlay::kCellCount;
    static constexpr int kMotionTextChars = overlay::kMotionTextChars;

    // What the window shows while no picture is drawn.
    enum Status {
        kStatusNone = 0,
        kStatusOpening,        // "IE_Open"
        kStatusOpenFailed,     // "IE_OpenFailed"
        kStatusNetworkError,   // "IE_NetworkError"
        kStatusUnknownError,   // "IE_UnkownErr"
        kStatusDeviceOffline,  // "IE_DVRoffline"
    };
    // The language table key of a status (empty for none).
    static const char* statusKey(Status status);

    COverlayWnd();
    ~COverlayWnd() override;

    // Not owned. Any thread.
    void setLanguageTable(LanguageTable* table) { m_language.store(table); }
    // Sets the status and repaints. UI thread.
    void setStatus(Status status);
    Status status() const { return static_cast<Status>(m_status.load()); }
    // The text of the status from the language table. Any thread.
    QString statusText() const;

    // Starts editing one channel: clears the overlay, takes the kind (Mode),
    // the device's picture size and the channel, and opens the channel's
    // live stream on this window (a stream still open is closed first).
    // UI thread.
    void startEditing(std::uint32_t deviceHandle, int mode, int channel, std::uint32_t streamType,
                      int pictureWidth, int pictureHeight);
    // Closes the stream; the channel becomes -1. Safe when not editing. UI thread.
    void endEditing();
    bool isEditing() const { return m_channel.load() != -1; }
    // A picture has arrived since the stream opened: the mouse edits.
    bool isEditable() const { return m_editable.load(); }

    // The page's data (UI thread); see OverlayModel for the forms.
    void clearOverlay();
    bool setMotionText(const QString& text);
    QString motionText() const { return m_model.motionText(); }
    void setCell(int index, bool on);
    bool cell(int index) const { return m_model.cell(index); }
    bool setMask(std::uint32_t index, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                 std::int32_t referenceWidth, std::int32_t referenceHeight);
    QString maskText(std::int32_t index) const { return m_model.maskText(index); }
    bool setTextItem(std::uint32_t index, std::uint32_t packedPair, const QString& text, bool visible,
                     std::int32_t referenceWidth, std::int32_t referenceHeight, std::int32_t x, std::int32_t y);
    QString textItemText(std::uint32_t index) const { return m_model.textItemText(index); }
    void setAlignPixels(std::uint16_t pixels);
    std::uint16_t alignPixels() const { return m_model.alignPixels(); }
    const overlay::OverlayModel& model() const { return m_model; }

    int mode() const { return m_model.mode(); }
    int channel() const { return m_channel.load(); }
    int pictureWidth() const { return m_model.pictureWidth(); }
    int pictureHeight() const { return m_model.pictureHeight(); }
    std::uint32_t streamType() const { return m_streamType; }
    // Any thread.
    std::uint32_t deviceHandle() const { return m_deviceHandle.load(); }
    std::uint32_t playHandle() const { return m_playHandle.load(); }
    std::uint32_t decoderHandle() const { return m_decoderHandle.load(); }

    // The overlay as the drawing sees it now. Any thread.
    std::shared_ptr<const overlay::OverlaySnapshot> snapshot() const;

    // The callbacks handed to the libraries. StreamCallback runs on the
    // network library's callback thread; OsdCallback on the decoder's thread.
    static std::int32_t StreamCallback(std::uint32_t type, void* userData, const std::uint8_t* data,
                                       std::uint32_t length, std::uint32_t kind);
    static std::int32_t OsdCallback(void* userData, void* drawContext, std::int32_t pictureWidth,
                                    std::int32_t pictureHeight);

    platform::LRESULT windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) override;

protected:
    bool onCreate() override;
    void onDestroy() override;
    void paintNoPicture(QPainter& painter) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // Stream side (COverlayWndStream.cpp). UI thread.
    void openStream(int channel);
    void closeStream();
    // Runs on the network library's callback thread.
    void onStreamData();
    void onDeviceOffline();
    void onStreamEnded();
    // Runs on the decoder's thread.
    void drawOnPicture(QPainter& painter, int pictureWidth, int pictureHeight);
    // The posted halves. UI thread.
    void onStatusChanged(std::uint32_t generation);
    void onMeasureRequested();
    void onStreamEndedPosted(std::uint32_t generation);

    // Makes a new snapshot of the model for the drawing and repaints. UI thread.
    void publish();
    void applyCursor(overlay::Cursor cursor);

    overlay::OverlayModel m_model;  // UI thread only
    std::atomic<int> m_channel{-1};  // written on the UI thread only
    std::uint32_t m_streamType = 1;  // UI thread only

    // Guards m_snapshot, and only the pointer: the UI thread swaps in a new
    // snapshot, the drawing copies the pointer and paints without the lock.
    mutable std::mutex m_snapshotLock;
    std::shared_ptr<const overlay::OverlaySnapshot> m_snapshot;

    std::atomic<LanguageTable*> m_language{nullptr};
    std::atomic<int> m_status{kStatusNone};
    std::atomic<bool> m_editable{false};
    // The sound is switched off at the first picture after the decoder is known.
    std::atomic<bool> m_soundOffPending{false};
    std::atomic<std::uint32_t> m_deviceHandle{0};
    std::atomic<std::uint32_t> m_playHandle{0};
    std::atomic<std::uint32_t> m_decoderHandle{0};
    // Counts opened and closed streams, so that a message posted for a
    // stream that is gone is ignored.
    std::atomic<std::uint32_t> m_streamGeneration{0};
    std::atomic<platform::WindowHandle> m_postHandle{0};
    // The picture size the drawing last saw, and whether a measuring of the
    // text items was asked for and has not run yet.
    std::atomic<int> m_drawnWidth{0};
    std::atomic<int> m_drawnHeight{0};
    std::atomic<bool> m_measureRequested{false};
};
