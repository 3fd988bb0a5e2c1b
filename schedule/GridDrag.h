// SPDX-License-Identifier: GPL-3.0-or-later
// Painting the schedule grid by dragging: the anchor where the left button
// went down and the span of cells between it and the mouse, snapped to cell
// borders with the far cell included. Pure logic; the grid feeds it mouse
// positions and applies the span it hands back.
#pragma once

#include "schedule/GridGeometry.h"

#include <QPoint>

#include <optional>

namespace schedule {

class GridDrag {
public:
    // Left button down: starts a drag when the point lies in the cell area;
    // the span is then empty at the cell under the point.
    void press(QPoint point, const GridGeometry& geometry);
    // Mouse moved. With the left button no longer down the drag ends without
    // applying anything. Outside the cell area the span becomes empty;
    // otherwise it spans the cells from min(anchor, point) to
    // max(anchor, point) in both directions.
    void move(QPoint point, bool leftButtonDown, const GridGeometry& geometry);
    // Left button up or the mouse left the window: ends the drag and hands
    // back the span to apply (nothing when no drag was running).
    std::optional<CellSpan> finish();

    bool isDragging() const { return m_dragging; }
    // The span being dragged, drawn with the brush's colour; empty when none.
    const CellSpan& span() const { return m_span; }

private:
    bool m_dragging = false;
    QPoint m_anchor;
    CellSpan m_span;
};

}  // namespace schedule
