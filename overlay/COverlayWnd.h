// SPDX-License-Identifier: GPL-3.0-or-later
// The overlay editor page of the control (child window id 205): one live
// channel with motion-detection cells, privacy masks or on-screen text
// positions over it. For now it keeps the overlay data the page loads and
// reads back (motion cells, masks, text items, alignment step) and the
// editing state; the live stream, the drawing on the picture and the mouse
// editing fill it in later.
#pragma once

#include "platform/Window.h"

#include <QString>

#include <array>
#include <cstdint>
#include <map>
#include <vector>

class LanguageTable;

class COverlayWnd : public platform::CWnd {
public:
    enum Mode { kMotionCells = 0, kPrivacyMasks = 1, kTextItems = 2 };
    static constexpr int kCellColumns = 15;
    static constexpr int kCellRows = 12;
    static constexpr int kCellCount = kCellColumns * kCellRows;  // 180
    static constexpr int kMotionTextChars = 64;

    // A privacy mask in the device's picture coordinates.
    struct Mask {
        std::int32_t left, top, right, bottom;
        std::int32_t referenceWidth, referenceHeight;
    };
    // An on-screen text item; x, y in reference coordinates.
    struct TextItem {
        QString text;
        std::uint32_t packedPair;  // stored only
        bool visible;
        std::int32_t referenceWidth, referenceHeight;
        std::int32_t x, y;
    };

    COverlayWnd();
    ~COverlayWnd() override;

    // Not owned.
    void setLanguageTable(LanguageTable* table) { m_language = table; }
    void setStatusText(const QString& text);
    const QString& statusText() const { return m_statusText; }

    // Starts editing one channel: the device, the overlay kind (Mode), the
    // channel, its stream type and the device's picture size. Clears the
    // overlay data.
    void startEditing(std::uint32_t deviceHandle, int mode, int channel, std::uint32_t streamType,
                      int pictureWidth, int pictureHeight);
    // Ends editing; the channel becomes -1. Safe when not editing.
    void endEditing();
    bool isEditing() const { return m_channel != -1; }

    // Clears the data of the running kind.
    void clearOverlay();

    // 64 upper-case hexadecimal digits, 8 cells per byte, lowest bit first.
    // False (nothing changed) for a text of another length or other characters.
    bool setMotionText(const QString& text);
    QString motionText() const;
    void setCell(int index, bool on);
    bool cell(int index) const;

    // A mask from the page; masks with no width or no height are ignored,
    // an index past the last mask appends one.
    void setMask(std::uint32_t index, std::int32_t left, std::int32_t top, std::int32_t right,
                 std::int32_t bottom, std::int32_t referenceWidth, std::int32_t referenceHeight);
    // "left_top_width_height" of a mask, "0_0_0_0" when there is none.
    QString maskText(std::int32_t index) const;
    const std::vector<Mask>& masks() const { return m_masks; }

    // Sets (replaces) the text item of an index 0..2.
    void setTextItem(std::uint32_t index, std::uint32_t packedPair, const QString& text, bool visible,
                     std::int32_t referenceWidth, std::int32_t referenceHeight, std::int32_t x,
                     std::int32_t y);
    // "count_x_y": the number of items and the position of item index
    // (0_0 when that item is not set).
    QString textItemText(std::uint32_t index) const;

    // The snapping step in device pixels; 0 is ignored.
    void setAlignPixels(std::uint16_t pixels);
    std::uint16_t alignPixels() const { return m_alignPixels; }

    int mode() const { return m_mode; }
    int channel() const { return m_channel; }
    std::uint32_t deviceHandle() const { return m_deviceHandle; }
    std::uint32_t streamType() const { return m_streamType; }
    int pictureWidth() const { return m_pictureWidth; }
    int pictureHeight() const { return m_pictureHeight; }

protected:
    void onDestroy() override;
    void paintEvent(QPaintEvent* event) override;

private:
    LanguageTable* m_language = nullptr;
    std::array<std::uint8_t, kCellCount> m_cells{};
    int m_mode = kMotionCells;
    int m_channel = -1;
    std::vector<Mask> m_masks;             // in insertion order
    std::map<std::uint32_t, TextItem> m_textItems;
    std::uint32_t m_deviceHandle = 0;
    std::uint32_t m_streamType = 1;
    int m_pictureWidth = 704;
    int m_pictureHeight = 576;
    std::uint16_t m_alignPixels = 8;
    QString m_statusText;
};
