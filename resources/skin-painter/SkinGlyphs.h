// SPDX-License-Identifier: GPL-3.0-or-later
// The symbols on the playback buttons, drawn as vector paths into a square
// box so that they stay sharp at every scale.
#pragma once

#include <QColor>
#include <QPainter>
#include <QRectF>

enum class Glyph {
    Play, Pause, Stop, Slow, Fast, NextFrame, Snapshot, ZoomIn, ZoomOut, Volume, Muted,
    Split4, Split9, Split16, Previous, Next, FullScreen, ExitFullScreen, Stretch, KeepProportions,
    Collapse, Expand,
};

void drawGlyph(QPainter& painter, const QRectF& box, Glyph glyph, const QColor& colour);
