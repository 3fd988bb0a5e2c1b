// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/GridGeometry.h"

#include <algorithm>

namespace schedule {

GridGeometry::GridGeometry(QSize client, int rows, int columns)
    : m_rows(std::max(rows, 1)), m_columns(std::max(columns, 1))
{
    m_columnWidth = std::max(0, (client.width() - kLabelWidth) / m_columns);
    m_rowHeight = std::max(0, (client.height() - kHeaderHeight) / m_rows);
}

int GridGeometry::columnAt(int x) const
{
    if (m_columnWidth <= 0)
        return 0;
    return std::clamp((x - kLabelWidth) / m_columnWidth, 0, m_columns - 1);
}

int GridGeometry::rowAt(int y) const
{
    if (m_rowHeight <= 0)
        return 0;
    return std::clamp((y - kHeaderHeight) / m_rowHeight, 0, m_rows - 1);
}

QRect GridGeometry::cellsRect(const CellSpan& span) const
{
    const int left = kLabelWidth + span.firstColumn * m_columnWidth;
    const int top = kHeaderHeight + span.firstRow * m_rowHeight;
    return QRect(left, top, (span.endColumn - span.firstColumn) * m_columnWidth,
                 (span.endRow - span.firstRow) * m_rowHeight);
}

int GridGeometry::xOfSecond(int second) const
{
    // Integer arithmetic in this order, so that runs line up with the cells.
    return static_cast<int>(static_cast<long long>(m_columnWidth) * second * m_columns / kSecondsPerDay) +
           kLabelWidth;
}

}  // namespace schedule
