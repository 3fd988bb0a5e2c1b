// SPDX-License-Identifier: GPL-3.0-or-later
// Where the moving part of the synthetic picture (SyntheticPicture's
// square) is, as motion cells: for every picture of a loop, the cells its
// square covers in the main stream's coordinates. The picture is
// deterministic, so this is computed once, not by looking at pictures.
// A channel has motion in a picture when that picture's cells and its
// enabled cells meet.
#pragma once

#include "OverlaySettings.h"

#include <cstddef>
#include <vector>

namespace velk::recorder {

class MotionPath {
public:
    explicit MotionPath(std::size_t loopFrames);

    std::size_t frameCount() const { return m_cells.size(); }
    // The cells the square covers in picture index (taken round the loop).
    const MotionCells& cellsAt(std::size_t index) const { return m_cells[index % m_cells.size()]; }
    bool moves(std::size_t index, const MotionCells& enabled) const { return (cellsAt(index) & enabled).any(); }

private:
    std::vector<MotionCells> m_cells;
};

// The cells a main-stream rectangle touches (any pixel in common).
MotionCells cellsCovering(const OverlayRect& rect);

}  // namespace velk::recorder
