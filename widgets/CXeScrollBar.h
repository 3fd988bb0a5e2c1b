// SPDX-License-Identifier: GPL-3.0-or-later
// The skinned scroll bar: CXeScrollBarBase's behaviour drawn from the eight
// shared strips (CXeScrollBarSkins), double-buffered. Each part is drawn in
// the state it is in: disabled (bar disabled), pressed, hot (under the
// pointer) or normal. Arrows are stretched from their 17-pixel piece, the
// track is tiled in pieces of at most 10 pixels, the thumb is built from
// its end caps, 4-pixel body pieces and a centred 8-pixel grip. A strip
// that did not load leaves its parts undrawn. A focused bar shows a dotted
// rectangle on its thumb (on the track without one) every other blink.
// UI thread only.
#pragma once

#include "widgets/CXeScrollBarBase.h"
#include "widgets/CXeScrollBarSkins.h"

class QPainter;

class CXeScrollBar : public CXeScrollBarBase {
public:
    CXeScrollBar();
    ~CXeScrollBar() override;

    // The state a part is drawn in.
    CXeScrollBarSkins::State partState(widgets::ScrollPart part) const;
    // Draws the bar in client coordinates.
    void drawBar(QPainter& painter) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Copies the strip's piece [sourceFrom, sourceTo) along the axis onto
    // [targetFrom, targetTo), stretched to fit and across the thickness.
    void drawSlice(QPainter& painter, const QImage& strip, int targetFrom, int targetTo, int sourceFrom,
                   int sourceTo) const;
    // Fills [targetFrom, targetTo) with copies of a piece of the strip
    // starting at sourceFrom, at most piece pixels each.
    void drawTiled(QPainter& painter, const QImage& strip, int targetFrom, int targetTo, int sourceFrom,
                   int piece) const;
    void drawThumb(QPainter& painter, const QImage& strip) const;
};
