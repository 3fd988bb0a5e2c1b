// SPDX-License-Identifier: GPL-3.0-or-later
// Where the cells of the schedule grid lie in its client area: a label
// column of 100 pixels on the left, a header of 25 pixels on top, and equal
// cells of trunc((width - 100) / columns) by trunc((height - 25) / rows).
#pragma once

#include "schedule/ScheduleStore.h"

#include <QPoint>
#include <QRect>
#include <QSize>

namespace schedule {

class GridGeometry {
public:
    static constexpr int kLabelWidth = 100;
    static constexpr int kHeaderHeight = 25;

    GridGeometry() = default;
    GridGeometry(QSize client, int rows, int columns);

    int rows() const { return m_rows; }
    int columns() const { return m_columns; }
    int columnWidth() const { return m_columnWidth; }
    int rowHeight() const { return m_rowHeight; }
    // False while the client is too small to hold one pixel per cell.
    bool hasCells() const { return m_columnWidth > 0 && m_rowHeight > 0; }

    // The cell area starts right of the labels and below the header.
    static bool inCellArea(QPoint p) { return p.x() > kLabelWidth && p.y() > kHeaderHeight; }
    // Column and row of a point of the cell area; the strip left over right
    // of and below the last cells counts as the last column and row.
    int columnAt(int x) const;
    int rowAt(int y) const;

    // Pixel rectangle of a span of cells.
    QRect cellsRect(const CellSpan& span) const;
    // Left and right pixel (inclusive) of a run of seconds in a day row.
    int xOfSecond(int second) const;
    int yOfRow(int row) const { return kHeaderHeight + m_rowHeight * row; }

private:
    int m_rows = 0;
    int m_columns = 0;
    int m_columnWidth = 0;
    int m_rowHeight = 0;
};

}  // namespace schedule
