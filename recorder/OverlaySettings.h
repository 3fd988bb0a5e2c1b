// SPDX-License-Identifier: GPL-3.0-or-later
// One channel's overlay: the motion-detection cells (15 columns × 12 rows),
// up to five privacy masks and the three on-screen texts (OSD), all in
// main-stream picture coordinates (704 × 576; other stream types scale
// them). Read from and written as the JSON document of /api/overlay, with
// every rule checked before anything changes.
//
// Motion text: 64 upper-case hex digits, 32 bytes, byte i bit j (j = 0 the
// lowest) = cell 8i + j, each byte high digit first; cell (row r, column k)
// = r × 15 + k covers x ∈ [k·704/15, (k+1)·704/15), y ∈ [r·48, (r+1)·48).
// OSD item 0 is the channel name (its text), item 1 the clock (text
// ignored), item 2 a title (drawn when visible and not empty).
#pragma once

#include <json/value.h>

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

namespace velk::recorder {

inline constexpr int kOverlayWidth = 704;
inline constexpr int kOverlayHeight = 576;
inline constexpr int kMotionColumns = 15;
inline constexpr int kMotionRows = 12;
inline constexpr int kMotionCells = kMotionColumns * kMotionRows;  // 180
inline constexpr std::size_t kMaxMasks = 5;
inline constexpr std::size_t kOsdItems = 3;
inline constexpr std::size_t kMaxOsdTextChars = 32;

using MotionCells = std::bitset<kMotionCells>;

struct OverlayRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const OverlayRect&) const = default;
};

struct OsdItem {
    std::string text;
    int x = 0;
    int y = 0;
    bool visible = true;
    bool operator==(const OsdItem&) const = default;
};

struct OverlaySettings {
    MotionCells motion;
    std::vector<OverlayRect> masks;  // at most kMaxMasks, in order
    std::array<OsdItem, kOsdItems> osd;

    bool operator==(const OverlaySettings&) const = default;

    // A channel never edited: no cells, no masks, the channel name top left
    // and the clock bottom left where the pictures have always shown them,
    // no title.
    static OverlaySettings defaults(std::uint32_t channel);

    // The document GET /api/overlay answers (also what is stored).
    Json::Value toJson(std::uint32_t channel) const;

    // Applies a PUT body: the members motion, masks and osd it holds
    // replace the ones here (osd item by item). On any broken rule returns
    // false with a sentence in error and leaves this unchanged. Members
    // other than these three are ignored (channel, width and height of a
    // document read back are fine).
    bool apply(const Json::Value& patch, std::string& error);
};

// The motion text of cells and back; false for anything but 64 hex digits
// 0-9A-F with no bit past cell 179.
std::string motionText(const MotionCells& cells);
bool parseMotionText(const std::string& text, MotionCells& cells);

// The main-stream rectangle of motion cell index (row × 15 + column).
OverlayRect motionCellRect(int index);

}  // namespace velk::recorder
