// SPDX-License-Identifier: GPL-3.0-or-later
// What the overlay editor edits, without a window: the 180 motion cells,
// the privacy masks, the on-screen text items, the alignment step, and the
// mouse gestures that change them. The window (COverlayWnd) feeds it its
// size and the mouse, the page's methods load and read the data, and the
// drawing reads a copy of it (OverlaySnapshot).
//
// Coordinates: "window" is the editor window in pixels; "picture" the
// device's picture (the size given when editing starts, 704 × 576 for the
// main stream); "reference" the size the page gave with a mask or an item.
//
// Not thread-safe: used on the UI thread only.
#pragma once

#include "overlay/OverlayGeometry.h"

#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace overlay {

enum Mode { kMotionCells = 0, kPrivacyMasks = 1, kTextItems = 2 };

// The page may set mask indexes 0..4; the mouse draws at most 4 masks.
inline constexpr std::size_t kMaxMasks = 5;
inline constexpr std::size_t kMouseMasks = 4;
inline constexpr std::uint32_t kMaxTextItemIndex = 2;
// Text item 0 (the channel name) is edited as a box of this reference size.
inline constexpr int kNameBoxWidth = 352;
inline constexpr int kNameBoxHeight = 36;
// Coordinates and reference sizes from the page are kept within this.
inline constexpr int kMaxCoordinate = 65535;

struct MaskRecord {
    Box window;   // where it shows on the window
    Box picture;  // in reference coordinates: what the page reads back
    int windowWidth = 0;
    int windowHeight = 0;
    int referenceWidth = 0;
    int referenceHeight = 0;
    bool committed = false;  // complete; a mask being drawn is not
};

struct TextItemRecord {
    std::uint32_t index = 0;
    QString text;
    Box window;
    int windowWidth = 0;
    int windowHeight = 0;
    Box reference;  // left, top = the item's position; right, bottom once measured
    int referenceWidth = 0;
    int referenceHeight = 0;
    bool extentKnown = false;
    bool dragging = false;
    Box savedWindow;     // when the drag started
    Box savedReference;  // when the drag started
    std::uint16_t packedHigh = 0;  // stored only
    std::uint16_t packedLow = 0;
    bool visible = false;
};

// A copy of what the drawing needs, made on the UI thread and then only
// read (by the decoder's thread), never changed.
struct OverlaySnapshot {
    struct Item {
        std::uint32_t index = 0;
        QString text;
        bool visible = false;
        Box reference;
        int referenceWidth = 1;
        int referenceHeight = 1;
        bool extentKnown = false;
    };
    int mode = kMotionCells;
    int pictureHeight = 576;  // the device's, for the rows of cells
    int windowWidth = 0;
    int windowHeight = 0;
    MotionCells cells{};
    std::vector<Box> maskWindows;
    std::vector<Item> items;
    // The picture size the items were measured for (0 before any).
    int measuredWidth = 0;
    int measuredHeight = 0;

    // The text items must be measured (again) for pictures of that size.
    bool needsMeasuring(int pictureWidth, int pictureHeight) const;
};

// The mouse cursor a gesture asks for.
enum class Cursor { Keep, Arrow, Cross, Hand };

// The size, in picture pixels, of a text item's text drawn on a picture of
// that size.
using TextMeasure = std::function<QSize(const QString& text, int pictureWidth, int pictureHeight)>;

class OverlayModel {
public:
    // Starts over for an overlay kind (Mode) on a device picture of that size
    // (0 keeps the size it had): no cells, masks or items.
    void reset(int mode, int pictureWidth, int pictureHeight);
    // Clears the data of the current kind.
    void clearOverlay();
    // The window's size changed: cell size, and every mask and item placed
    // on the window again from its reference rectangle; items are measured
    // again.
    void setWindowSize(int width, int height);
    // The alignment step in device pixels; 0 is ignored.
    void setAlignPixels(std::uint16_t pixels);

    int mode() const { return m_mode; }
    int pictureWidth() const { return m_pictureWidth; }
    int pictureHeight() const { return m_pictureHeight; }
    int windowWidth() const { return m_windowWidth; }
    int windowHeight() const { return m_windowHeight; }
    std::uint16_t alignPixels() const { return m_alignPixels; }
    CellSize cellSize() const { return m_cellSize; }

    // Motion cells. False (nothing changed) for a text that is not 64
    // upper-case hexadecimal digits.
    bool setMotionText(const QString& text);
    QString motionText() const { return overlay::motionText(m_cells); }
    void setCell(int index, bool on);
    bool cell(int index) const;

    // A mask from the page, edges in reference coordinates (with the
    // 8-pixel alignment the page's left is 8 more than the device's). A mask
    // with no width or no height is ignored; an index past the last mask
    // appends one, another replaces that mask. False when the edges are
    // refused (negative, beyond 65535, right left of the device's left
    // edge, bottom < top) and nothing changed.
    bool setMask(std::uint32_t index, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                 std::int32_t referenceWidth, std::int32_t referenceHeight);
    // "left_top_width_height" in reference coordinates (left 8 more with the
    // 8-pixel alignment); "0_0_0_0" when there is no such mask.
    QString maskText(std::int32_t index) const;
    const std::vector<MaskRecord>& masks() const { return m_masks; }
    // The device's left edge of a page's left edge (8 less with the 8-pixel
    // alignment).
    std::uint32_t deviceLeft(std::uint32_t pageLeft) const
    {
        return m_alignPixels == 8 && pageLeft >= 8 ? pageLeft - 8 : pageLeft;
    }

    // Sets (replaces) the text item of an index 0..2; false for another
    // index. x is 8 less with the 8-pixel alignment, as for masks.
    bool setTextItem(std::uint32_t index, std::uint32_t packedPair, const QString& text, bool visible,
                     std::int32_t referenceWidth, std::int32_t referenceHeight, std::int32_t x, std::int32_t y);
    // "count_x_y": the number of items and the position of the item (0_0
    // when it is not set), in reference coordinates.
    QString textItemText(std::uint32_t index) const;
    const std::map<std::uint32_t, TextItemRecord>& textItems() const { return m_items; }

    // Gives every visible item not measured yet its extent, for pictures of
    // that size (all of them again when the size changed); true when
    // something changed.
    bool measureTextItems(int pictureWidth, int pictureHeight, const TextMeasure& measure);

    // Mouse gestures, in window coordinates (points outside the window are
    // brought inside). The window calls them only once a picture shows.
    Cursor press(QPoint p);
    // leftHeld: the left button is down.
    Cursor move(QPoint p, bool leftHeld);
    void release(QPoint p);
    void doubleClick(QPoint p);
    // The mouse left the window.
    void leave();
    bool isPressed() const { return m_pressed; }

    OverlaySnapshot snapshot() const;

private:
    int effectiveReferenceWidth(std::int64_t width) const;
    int effectiveReferenceHeight(std::int64_t height) const;
    int step() const { return snapStep(m_alignPixels); }
    QPoint inside(QPoint p) const { return clampToWindow(p, m_windowWidth, m_windowHeight); }
    // The picture rectangle of a window rectangle; left and top snapped
    // down, right and bottom up when roundUp, and kept in the picture.
    Box pictureBox(const Box& window, bool roundUp) const;
    void placeItemOnWindow(TextItemRecord& item) const;

    void pressMask(QPoint p);
    void moveMask(QPoint p);
    void releaseMask(QPoint p);
    void pressItem(QPoint p);
    Cursor moveItem(QPoint p, bool leftHeld);
    void endItemDrags();

    MotionCells m_cells{};
    std::uint8_t m_paintValue = 0;
    CellSize m_cellSize;
    int m_mode = kMotionCells;
    std::vector<MaskRecord> m_masks;  // in insertion order
    std::map<std::uint32_t, TextItemRecord> m_items;
    QPoint m_pressPoint;
    bool m_pressed = false;
    int m_pictureWidth = 704;
    int m_pictureHeight = 576;
    int m_windowWidth = 0;
    int m_windowHeight = 0;
    std::uint16_t m_alignPixels = 8;
    int m_measuredWidth = 0;
    int m_measuredHeight = 0;
};

}  // namespace overlay
