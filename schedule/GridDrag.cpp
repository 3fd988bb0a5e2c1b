// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/GridDrag.h"

#include <algorithm>

namespace schedule {

void GridDrag::press(QPoint point, const GridGeometry& geometry)
{
    if (!GridGeometry::inCellArea(point) || !geometry.hasCells())
        return;
    m_dragging = true;
    m_anchor = point;
    const int column = geometry.columnAt(point.x());
    const int row = geometry.rowAt(point.y());
    m_span = {column, row, column, row};
}

void GridDrag::move(QPoint point, bool leftButtonDown, const GridGeometry& geometry)
{
    if (!m_dragging)
        return;
    if (!leftButtonDown) {
        m_dragging = false;
        m_span = {};
        return;
    }
    if (!GridGeometry::inCellArea(point) || !geometry.hasCells()) {
        m_span = {};
        return;
    }
    m_span.firstColumn = geometry.columnAt(std::min(m_anchor.x(), point.x()));
    m_span.firstRow = geometry.rowAt(std::min(m_anchor.y(), point.y()));
    m_span.endColumn = geometry.columnAt(std::max(m_anchor.x(), point.x())) + 1;
    m_span.endRow = geometry.rowAt(std::max(m_anchor.y(), point.y())) + 1;
}

std::optional<CellSpan> GridDrag::finish()
{
    if (!m_dragging)
        return std::nullopt;
    m_dragging = false;
    const CellSpan span = m_span;
    m_span = {};
    return span;
}

}  // namespace schedule
