// SPDX-License-Identifier: GPL-3.0-or-later
// Playback bar buttons: a rounded key with a symbol, in the standard, hot,
// pressed and disabled looks; toggle buttons have a second set for "on".
#include "SkinGlyphs.h"
#include "SkinPalette.h"
#include "SkinSets.h"

#include <QLinearGradient>

namespace {

struct ButtonKind {
    const char* name;
    QSize size;
    Glyph glyph;
    bool toggledOn;  // the alternate look of a toggle button
};

void paintKey(QPainter& p, const QSizeF& size, SkinState state, Glyph glyph, bool toggledOn)
{
    const StatePalette palette = paletteFor(state);
    const QRectF frame(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
    QLinearGradient fill(frame.topLeft(), frame.bottomLeft());
    fill.setColorAt(0.0, palette.top);
    fill.setColorAt(1.0, palette.bottom);
    p.setPen(QPen(palette.border, 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(frame, 4.0, 4.0);
    // A faint top light on raised keys.
    if (state != SkinState::Pressed) {
        p.setPen(QPen(QColor(255, 255, 255, state == SkinState::Disabled ? 18 : 40), 1.0));
        p.drawLine(QPointF(4.0, 1.5), QPointF(size.width() - 4.0, 1.5));
    }
    const double side = std::min(size.width(), size.height()) - 10.0;
    const QRectF box((size.width() - side) / 2.0, (size.height() - side) / 2.0 + palette.glyphDrop, side, side);
    drawGlyph(p, box, glyph, toggledOn ? toggledGlyph(state) : palette.glyph);
}

// The thin handle between the playback pictures and the bar.
void paintHandle(QPainter& p, const QSizeF& size, SkinState state, bool expanded)
{
    const StatePalette palette = paletteFor(state);
    QLinearGradient fill(QPointF(0, 0), QPointF(0, size.height()));
    fill.setColorAt(0.0, palette.top);
    fill.setColorAt(1.0, palette.bottom);
    p.setPen(QPen(palette.border, 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, size.width() - 1.0, size.height() - 1.0), 3.0, 3.0);
    const double cx = size.width() / 2.0, cy = size.height() / 2.0 + palette.glyphDrop * 0.5;
    QPen pen(palette.glyph, 1.2);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    // Expanded: the chevron points down (collapse); collapsed: up.
    const double dy = expanded ? 1.5 : -1.5;
    p.drawPolyline(QPolygonF{QPointF(cx - 4.0, cy - dy), QPointF(cx, cy + dy), QPointF(cx + 4.0, cy - dy)});
}

}  // namespace

std::vector<SkinImage> buttonSkins()
{
    const QSize transport(27, 25), right(30, 26), viewMode(27, 26);
    const ButtonKind kinds[] = {
        {"PB_PLAY", transport, Glyph::Play, false},
        {"PB_PAUSE", transport, Glyph::Pause, false},
        {"PB_STOP", transport, Glyph::Stop, false},
        {"PB_SLOW", transport, Glyph::Slow, false},
        {"PB_FAST", transport, Glyph::Fast, false},
        {"PB_NEXTFRAME", transport, Glyph::NextFrame, false},
        {"PB_SNAPSHOT", transport, Glyph::Snapshot, false},
        {"PB_ZOOMIN", transport, Glyph::ZoomIn, false},
        {"PB_ZOOMOUT", transport, Glyph::ZoomOut, false},
        {"PB_VOLUME", transport, Glyph::Volume, false},
        {"PB_MUTED", transport, Glyph::Muted, false},
        {"PB_SPLIT4", right, Glyph::Split4, false},
        {"PB_SPLIT9", right, Glyph::Split9, false},
        {"PB_SPLIT16", right, Glyph::Split16, false},
        {"PB_PREV", right, Glyph::Previous, false},
        {"PB_NEXT", right, Glyph::Next, false},
        {"PB_FULLSCREEN", right, Glyph::FullScreen, false},
        {"PB_FULLSCREEN_ALT", right, Glyph::ExitFullScreen, true},
        {"PB_VIEWMODE", viewMode, Glyph::Stretch, false},
        {"PB_VIEWMODE_ALT", viewMode, Glyph::KeepProportions, true},
    };
    const SkinState states[] = {SkinState::Standard, SkinState::Hot, SkinState::Pressed, SkinState::Disabled};
    std::vector<SkinImage> images;
    for (const ButtonKind& kind : kinds) {
        for (SkinState state : states) {
            images.push_back({QStringLiteral("%1_%2").arg(QLatin1String(kind.name), QLatin1String(stateSuffix(state))),
                              kind.size, std::nullopt, [kind, state](QPainter& p, const QSizeF& size) {
                                  paintKey(p, size, state, kind.glyph, kind.toggledOn);
                              }});
        }
    }
    for (const bool expanded : {true, false}) {
        for (SkinState state : states) {
            images.push_back({QStringLiteral("PB_BAR_TOGGLE%1_%2")
                                  .arg(expanded ? QString() : QStringLiteral("_ALT"), QLatin1String(stateSuffix(state))),
                              QSize(140, 7), std::nullopt, [expanded, state](QPainter& p, const QSizeF& size) {
                                  paintHandle(p, size, state, expanded);
                              }});
        }
    }
    return images;
}
