// SPDX-License-Identifier: GPL-3.0-or-later
#include "MotionPath.h"

#include "SyntheticPicture.h"

#include <algorithm>

namespace velk::recorder {

MotionCells cellsCovering(const OverlayRect& rect)
{
    MotionCells cells;
    for (int index = 0; index < kMotionCells; ++index) {
        const OverlayRect cell = motionCellRect(index);
        const bool apartX = rect.x + rect.width <= cell.x || cell.x + cell.width <= rect.x;
        const bool apartY = rect.y + rect.height <= cell.y || cell.y + cell.height <= rect.y;
        if (!apartX && !apartY && rect.width > 0 && rect.height > 0)
            cells.set(std::size_t(index));
    }
    return cells;
}

MotionPath::MotionPath(std::size_t loopFrames) : m_cells(std::max<std::size_t>(loopFrames, 1))
{
    for (std::size_t i = 0; i < m_cells.size(); ++i)
        m_cells[i] = cellsCovering(SyntheticPicture::squareAt(i, m_cells.size(), kOverlayWidth, kOverlayHeight));
}

}  // namespace velk::recorder
