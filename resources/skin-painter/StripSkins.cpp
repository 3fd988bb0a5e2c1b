// SPDX-License-Identifier: GPL-3.0-or-later
// Scroll bar strips and the volume slider. A strip holds the parts of a bar
// at fixed places along its axis: first arrow 0..17, track 17..27, thumb
// 27..51 (end cap 0..4, body 4..8, grip 8..16, body 16..20, end cap 20..24),
// track 51..61, second arrow 61..78. Every colour changes only across the
// axis, so that the scroll bar can stretch and tile the pieces.
#include "SkinPalette.h"
#include "SkinSets.h"

#include <QLinearGradient>
#include <QPolygonF>
#include <QTransform>

namespace {

struct StripColours {
    QColor arrowTop, arrowBottom, arrowGlyph, track, trackEdge, thumbTop, thumbBottom, thumbEdge, grip;
};

StripColours stripColours(SkinState state)
{
    switch (state) {
    case SkinState::Hot:
        return {QColor(0x52, 0x58, 0x61), QColor(0x3b, 0x40, 0x47), QColor(0xff, 0xff, 0xff), QColor(0x25, 0x28, 0x2d),
                QColor(0x30, 0x34, 0x3a), QColor(0x8a, 0x93, 0x9f), QColor(0x66, 0x6e, 0x79), QColor(0x7f, 0xb2, 0xea),
                QColor(0xd6, 0xdb, 0xe1)};
    case SkinState::Pressed:
        return {QColor(0x2c, 0x55, 0x88), QColor(0x22, 0x43, 0x6c), QColor(0xcf, 0xe3, 0xff), QColor(0x1a, 0x1c, 0x1f),
                QColor(0x26, 0x29, 0x2e), QColor(0x5b, 0x93, 0xd8), QColor(0x35, 0x6c, 0xb0), QColor(0x9f, 0xcb, 0xff),
                QColor(0xe6, 0xf0, 0xff)};
    case SkinState::Disabled:
        return {QColor(0x2e, 0x2f, 0x31), QColor(0x28, 0x29, 0x2b), QColor(0x55, 0x58, 0x5c), QColor(0x22, 0x23, 0x24),
                QColor(0x2a, 0x2b, 0x2d), QColor(0x3a, 0x3b, 0x3d), QColor(0x33, 0x34, 0x36), QColor(0x44, 0x45, 0x48),
                QColor(0x4a, 0x4b, 0x4e)};
    case SkinState::Standard:
        break;
    }
    return {QColor(0x3d, 0x41, 0x47), QColor(0x2e, 0x31, 0x36), QColor(0xc3, 0xc8, 0xcf), QColor(0x1e, 0x20, 0x23),
            QColor(0x29, 0x2c, 0x30), QColor(0x6a, 0x70, 0x79), QColor(0x4c, 0x51, 0x58), QColor(0x7a, 0x80, 0x88),
            QColor(0xb0, 0xb6, 0xbe)};
}

// Draws in strip coordinates: x along the axis (0..78), y across it
// (0..thickness). A vertical strip is the same picture transposed.
void paintStrip(QPainter& p, double thickness, SkinState state)
{
    const StripColours c = stripColours(state);
    QLinearGradient across(QPointF(0, 0), QPointF(0, thickness));

    // Arrows: a raised square with a triangle pointing out of the bar.
    across.setColorAt(0.0, c.arrowTop);
    across.setColorAt(1.0, c.arrowBottom);
    const double mid = thickness / 2.0, half = thickness * 0.28;
    for (const bool first : {true, false}) {
        const double start = first ? 0.0 : 61.0;
        p.fillRect(QRectF(start, 0, 17, thickness), across);
        QPolygonF triangle;
        if (first)
            triangle << QPointF(5.0, mid) << QPointF(11.5, mid - half) << QPointF(11.5, mid + half);
        else
            triangle << QPointF(start + 12.0, mid) << QPointF(start + 5.5, mid - half) << QPointF(start + 5.5, mid + half);
        p.setPen(Qt::NoPen);
        p.setBrush(c.arrowGlyph);
        p.drawPolygon(triangle);
    }

    // Tracks: a dark groove with lighter edges.
    for (const double start : {17.0, 51.0}) {
        p.fillRect(QRectF(start, 0, 10, thickness), c.track);
        p.fillRect(QRectF(start, 0, 10, 1), c.trackEdge);
        p.fillRect(QRectF(start, thickness - 1, 10, 1), c.trackEdge);
    }

    // Thumb: a groove behind a rounded bar, with three ridges as the grip.
    p.fillRect(QRectF(27, 0, 24, thickness), c.track);
    QLinearGradient thumbFill(QPointF(0, 1), QPointF(0, thickness - 1));
    thumbFill.setColorAt(0.0, c.thumbTop);
    thumbFill.setColorAt(1.0, c.thumbBottom);
    p.setPen(QPen(c.thumbEdge, 1.0));
    p.setBrush(thumbFill);
    p.drawRoundedRect(QRectF(27.5, 1.5, 23.0, thickness - 3.0), 3.0, 3.0);
    p.setPen(QPen(c.grip, 1.0));
    for (const double ridge : {36.5, 39.0, 41.5})
        p.drawLine(QPointF(ridge, thickness * 0.3), QPointF(ridge, thickness * 0.7));
}

SkinImage strip(const char* name, bool vertical, SkinState state)
{
    const QSize size = vertical ? QSize(17, 78) : QSize(78, 10);
    return {QLatin1String(name), size, std::nullopt, [vertical, state](QPainter& p, const QSizeF& s) {
                if (vertical)
                    p.setTransform(QTransform(0, 1, 1, 0, 0, 0), true);  // transpose: x along, y across
                paintStrip(p, vertical ? s.width() : s.height(), state);
            }};
}

// The slider's pictures are cut out by colour (the track by its top-left
// pixel, the thumbs by RGB 255, 0, 189).
void paintTrack(QPainter& p, const QSizeF& size)
{
    const QRectF groove(2.5, size.height() / 2.0 - 2.0, size.width() - 5.0, 4.0);
    QLinearGradient fill(groove.topLeft(), groove.bottomLeft());
    fill.setColorAt(0.0, QColor(0x0f, 0x10, 0x12));
    fill.setColorAt(1.0, QColor(0x26, 0x28, 0x2c));
    p.setPen(QPen(QColor(0x55, 0x5a, 0x62), 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(groove, 2.0, 2.0);
}

void paintThumb(QPainter& p, const QSizeF& size, bool active)
{
    const QRectF knob(1.0, 2.0, size.width() - 2.0, size.height() - 4.0);
    QLinearGradient fill(knob.topLeft(), knob.bottomLeft());
    fill.setColorAt(0.0, active ? QColor(0xbc, 0xdc, 0xff) : QColor(0xe6, 0xe9, 0xee));
    fill.setColorAt(1.0, active ? QColor(0x4f, 0x8b, 0xd3) : QColor(0x93, 0x9a, 0xa4));
    p.setPen(QPen(QColor(0x22, 0x24, 0x28), 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(knob, 3.0, 3.0);
    p.setPen(QPen(active ? QColor(0x2b, 0x5d, 0x9c) : QColor(0x5d, 0x63, 0x6b), 1.0));
    for (const double y : {size.height() / 2.0 - 2.0, size.height() / 2.0, size.height() / 2.0 + 2.0})
        p.drawLine(QPointF(3.5, y), QPointF(size.width() - 3.5, y));
}

}  // namespace

std::vector<SkinImage> scrollBarSkins()
{
    return {
        strip("XSB_H_UP", false, SkinState::Standard), strip("XSB_H_HOT", false, SkinState::Hot),
        strip("XSB_H_DN", false, SkinState::Pressed),  strip("XSB_H_DIS", false, SkinState::Disabled),
        strip("XSB_V_UP", true, SkinState::Standard),  strip("XSB_V_HOT", true, SkinState::Hot),
        strip("XSB_V_DN", true, SkinState::Pressed),   strip("XSB_V_DIS", true, SkinState::Disabled),
    };
}

std::vector<SkinImage> sliderSkins()
{
    const QColor trackKey(255, 0, 255), thumbKey(255, 0, 189);
    return {
        {QStringLiteral("SLIDER_TRACK"), QSize(108, 18), trackKey, paintTrack},
        {QStringLiteral("SLIDER_THUMB"), QSize(11, 18), thumbKey,
         [](QPainter& p, const QSizeF& s) { paintThumb(p, s, false); }},
        {QStringLiteral("SLIDER_THUMB_ACTIVE"), QSize(11, 18), thumbKey,
         [](QPainter& p, const QSizeF& s) { paintThumb(p, s, true); }},
    };
}
