// SPDX-License-Identifier: GPL-3.0-or-later
#include "SkinGlyphs.h"

#include <QPainterPath>
#include <QPolygonF>

namespace {

// Points in a unit square mapped into the box.
struct Unit {
    QRectF box;
    QPointF at(double x, double y) const { return {box.left() + x * box.width(), box.top() + y * box.height()}; }
    double len(double v) const { return v * box.width(); }
    QRectF rect(double x, double y, double w, double h) const
    {
        return {at(x, y), QSizeF(len(w), h * box.height())};
    }
};

void fillPolygon(QPainter& p, const Unit& u, std::initializer_list<std::pair<double, double>> points,
                 const QColor& colour)
{
    QPolygonF polygon;
    for (const auto& [x, y] : points)
        polygon << u.at(x, y);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(polygon);
}

QPen strokePen(const Unit& u, const QColor& colour, double width)
{
    QPen pen(colour, u.len(width));
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void grid(QPainter& p, const Unit& u, int cells, const QColor& colour)
{
    const double gap = cells == 4 ? 0.07 : 0.09;
    const double cell = (1.0 - gap * (cells - 1)) / cells;
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    for (int row = 0; row < cells; ++row)
        for (int column = 0; column < cells; ++column)
            p.drawRect(u.rect(column * (cell + gap), row * (cell + gap), cell, cell));
}

void magnifier(QPainter& p, const Unit& u, bool plus, const QColor& colour)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(strokePen(u, colour, 0.11));
    p.drawEllipse(QRectF(u.at(0.05, 0.05), QSizeF(u.len(0.62), u.len(0.62))));
    p.setPen(strokePen(u, colour, 0.16));
    p.drawLine(u.at(0.62, 0.62), u.at(0.92, 0.92));
    p.setPen(strokePen(u, colour, 0.09));
    p.drawLine(u.at(0.2, 0.36), u.at(0.52, 0.36));
    if (plus)
        p.drawLine(u.at(0.36, 0.2), u.at(0.36, 0.52));
}

void speaker(QPainter& p, const Unit& u, const QColor& colour)
{
    fillPolygon(p, u, {{0.04, 0.36}, {0.22, 0.36}, {0.46, 0.12}, {0.46, 0.88}, {0.22, 0.64}, {0.04, 0.64}}, colour);
}

// Four corner brackets, pointing out of the box or into it.
void corners(QPainter& p, const Unit& u, bool outwards, const QColor& colour)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(strokePen(u, colour, 0.11));
    const double a = 0.06, b = 0.36;  // bracket from the corner to b
    for (int cx = 0; cx < 2; ++cx) {
        for (int cy = 0; cy < 2; ++cy) {
            const double x = cx ? 1.0 - a : a, y = cy ? 1.0 - a : a;
            const double sx = cx ? -1.0 : 1.0, sy = cy ? -1.0 : 1.0;
            if (outwards) {
                p.drawLine(u.at(x, y), u.at(x + sx * (b - a), y));
                p.drawLine(u.at(x, y), u.at(x, y + sy * (b - a)));
            } else {
                const double ix = x + sx * (b - a), iy = y + sy * (b - a);
                p.drawLine(u.at(ix, iy), u.at(ix - sx * (b - a), iy));
                p.drawLine(u.at(ix, iy), u.at(ix, iy - sy * (b - a)));
            }
        }
    }
}

}  // namespace

void drawGlyph(QPainter& p, const QRectF& box, Glyph glyph, const QColor& colour)
{
    const Unit u{box};
    p.save();
    switch (glyph) {
    case Glyph::Play:
        fillPolygon(p, u, {{0.2, 0.06}, {0.9, 0.5}, {0.2, 0.94}}, colour);
        break;
    case Glyph::Pause:
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawRect(u.rect(0.18, 0.1, 0.22, 0.8));
        p.drawRect(u.rect(0.6, 0.1, 0.22, 0.8));
        break;
    case Glyph::Stop:
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawRoundedRect(u.rect(0.14, 0.14, 0.72, 0.72), u.len(0.08), u.len(0.08));
        break;
    case Glyph::Slow:
        fillPolygon(p, u, {{0.5, 0.14}, {0.02, 0.5}, {0.5, 0.86}}, colour);
        fillPolygon(p, u, {{0.98, 0.14}, {0.5, 0.5}, {0.98, 0.86}}, colour);
        break;
    case Glyph::Fast:
        fillPolygon(p, u, {{0.02, 0.14}, {0.5, 0.5}, {0.02, 0.86}}, colour);
        fillPolygon(p, u, {{0.5, 0.14}, {0.98, 0.5}, {0.5, 0.86}}, colour);
        break;
    case Glyph::NextFrame:
        fillPolygon(p, u, {{0.1, 0.1}, {0.7, 0.5}, {0.1, 0.9}}, colour);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawRect(u.rect(0.74, 0.1, 0.16, 0.8));
        break;
    case Glyph::Snapshot: {
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        QPainterPath body;
        body.addRoundedRect(u.rect(0.02, 0.24, 0.96, 0.66), u.len(0.1), u.len(0.1));
        body.addRect(u.rect(0.3, 0.12, 0.36, 0.16));
        QPainterPath lens;
        lens.addEllipse(u.at(0.5, 0.57), u.len(0.2), u.len(0.2));
        p.drawPath(body.subtracted(lens));
        p.drawEllipse(u.at(0.5, 0.57), u.len(0.1), u.len(0.1));
        break;
    }
    case Glyph::ZoomIn:
        magnifier(p, u, true, colour);
        break;
    case Glyph::ZoomOut:
        magnifier(p, u, false, colour);
        break;
    case Glyph::Volume:
        speaker(p, u, colour);
        p.setBrush(Qt::NoBrush);
        p.setPen(strokePen(u, colour, 0.08));
        p.drawArc(QRectF(u.at(0.36, 0.3), QSizeF(u.len(0.36), u.len(0.4))), -50 * 16, 100 * 16);
        p.drawArc(QRectF(u.at(0.3, 0.12), QSizeF(u.len(0.66), u.len(0.76))), -50 * 16, 100 * 16);
        break;
    case Glyph::Muted:
        speaker(p, u, colour);
        p.setPen(strokePen(u, colour, 0.1));
        p.drawLine(u.at(0.62, 0.34), u.at(0.94, 0.66));
        p.drawLine(u.at(0.94, 0.34), u.at(0.62, 0.66));
        break;
    case Glyph::Split4:
        grid(p, u, 2, colour);
        break;
    case Glyph::Split9:
        grid(p, u, 3, colour);
        break;
    case Glyph::Split16:
        grid(p, u, 4, colour);
        break;
    case Glyph::Previous:
        p.setBrush(Qt::NoBrush);
        p.setPen(strokePen(u, colour, 0.16));
        p.drawPolyline(QPolygonF{u.at(0.66, 0.12), u.at(0.3, 0.5), u.at(0.66, 0.88)});
        break;
    case Glyph::Next:
        p.setBrush(Qt::NoBrush);
        p.setPen(strokePen(u, colour, 0.16));
        p.drawPolyline(QPolygonF{u.at(0.34, 0.12), u.at(0.7, 0.5), u.at(0.34, 0.88)});
        break;
    case Glyph::FullScreen:
        corners(p, u, true, colour);
        break;
    case Glyph::ExitFullScreen:
        corners(p, u, false, colour);
        break;
    case Glyph::Stretch:
        p.setBrush(Qt::NoBrush);
        p.setPen(strokePen(u, colour, 0.08));
        p.drawRect(u.rect(0.04, 0.16, 0.92, 0.68));
        fillPolygon(p, u, {{0.14, 0.5}, {0.3, 0.36}, {0.3, 0.64}}, colour);
        fillPolygon(p, u, {{0.86, 0.5}, {0.7, 0.36}, {0.7, 0.64}}, colour);
        break;
    case Glyph::KeepProportions:
        p.setBrush(Qt::NoBrush);
        p.setPen(strokePen(u, colour, 0.08));
        p.drawRect(u.rect(0.04, 0.16, 0.92, 0.68));
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawRect(u.rect(0.28, 0.3, 0.44, 0.4));
        break;
    case Glyph::Collapse:
        p.setBrush(Qt::NoBrush);
        p.setPen(strokePen(u, colour, 0.12));
        p.drawPolyline(QPolygonF{u.at(0.3, 0.3), u.at(0.5, 0.7), u.at(0.7, 0.3)});
        break;
    case Glyph::Expand:
        p.setBrush(Qt::NoBrush);
        p.setPen(strokePen(u, colour, 0.12));
        p.drawPolyline(QPolygonF{u.at(0.3, 0.7), u.at(0.5, 0.3), u.at(0.7, 0.7)});
        break;
    }
    p.restore();
}
