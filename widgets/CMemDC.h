// SPDX-License-Identifier: GPL-3.0-or-later
// An off-screen drawing surface over a rectangle of a target painter: draw
// through painter() in the target's coordinates; when the surface goes out
// of scope its pixels are copied to the target in one step. Windows that
// draw many layers use it so that a half-drawn picture is never shown.
//
// UI thread only (it paints on widgets).
#pragma once

#include <QColor>
#include <QPainter>
#include <QPixmap>
#include <QRect>

#include <optional>

class CMemDC {
public:
    enum class Start {
        // What the target already shows stays where nothing is drawn: the
        // surface starts transparent and is laid over the target.
        TargetPixels,
        // The surface starts filled with a background colour (the given one,
        // else the target painter's background colour).
        Background,
    };

    // An empty rectangle means the target's clip region bounds (or its whole
    // device when there is no clip).
    CMemDC(QPainter* target, const QRect& rect = {}, Start start = Start::Background,
           std::optional<QColor> background = std::nullopt);
    ~CMemDC();

    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    // Draws off screen; a printer target is drawn on directly.
    QPainter* painter() { return m_offScreen ? &m_painter : m_target; }
    QPainter* operator->() { return painter(); }
    const QRect& rect() const { return m_rect; }
    bool offScreen() const { return m_offScreen; }

private:
    QPainter* m_target;
    QRect m_rect;
    bool m_offScreen = false;
    QPixmap m_pixmap;
    QPainter m_painter;
};
