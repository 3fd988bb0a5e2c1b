// SPDX-License-Identifier: GPL-3.0-or-later
// Backgrounds of the playback page: stretched by the windows over their
// areas, so they hold gradients only.
#include "SkinSets.h"

#include <QLinearGradient>

#include <array>

namespace {

// The grey levels of the bar's button band, top to bottom, one per line.
constexpr std::array<int, 49> kBandGreys = {
    0x58, 0x44, 0x3F, 0x3E, 0x3E, 0x3F, 0x3C, 0x3C, 0x3B, 0x3B, 0x3A, 0x38, 0x36, 0x35, 0x34, 0x33, 0x30,
    0x30, 0x2E, 0x2D, 0x2B, 0x2A, 0x28, 0x28, 0x25, 0x24, 0x23, 0x23, 0x23, 0x21, 0x1E, 0x1B, 0x16, 0x16,
    0x15, 0x14, 0x13, 0x12, 0x11, 0x10, 0x11, 0x0F, 0x0E, 0x10, 0x13, 0x15, 0x15, 0x13, 0x16,
};

void verticalGradient(QPainter& p, const QSizeF& size, const QColor& top, const QColor& bottom)
{
    QLinearGradient fill(QPointF(0, 0), QPointF(0, size.height()));
    fill.setColorAt(0.0, top);
    fill.setColorAt(1.0, bottom);
    p.fillRect(QRectF(QPointF(0, 0), size), fill);
}

}  // namespace

std::vector<SkinImage> backgroundSkins()
{
    return {
        {QStringLiteral("PB_PANEL_BG"), QSize(32, 32), std::nullopt,
         [](QPainter& p, const QSizeF& s) { verticalGradient(p, s, QColor(0x1a, 0x1c, 0x20), QColor(0x10, 0x11, 0x13)); }},
        {QStringLiteral("PB_BAR_BG"), QSize(32, 160), std::nullopt,
         [](QPainter& p, const QSizeF& s) { verticalGradient(p, s, QColor(0x27, 0x29, 0x2d), QColor(0x17, 0x18, 0x1b)); }},
        {QStringLiteral("PB_BAR_INFO"), QSize(137, 50), std::nullopt,
         [](QPainter& p, const QSizeF& s) {
             verticalGradient(p, s, QColor(0x22, 0x24, 0x28), QColor(0x16, 0x17, 0x1a));
             QLinearGradient fill(QPointF(0, 0), QPointF(0, s.height()));
             fill.setColorAt(0.0, QColor(0x0c, 0x0d, 0x0f));
             fill.setColorAt(1.0, QColor(0x15, 0x16, 0x19));
             p.setPen(QPen(QColor(0x3a, 0x3e, 0x44), 1.0));
             p.setBrush(fill);
             p.drawRoundedRect(QRectF(2.5, 2.5, s.width() - 5.0, s.height() - 5.0), 5.0, 5.0);
         }},
        {QStringLiteral("PB_BAR_BAND"), QSize(32, 49), std::nullopt,
         [](QPainter& p, const QSizeF& s) {
             const double line = s.height() / kBandGreys.size();
             for (std::size_t i = 0; i < kBandGreys.size(); ++i) {
                 const int g = kBandGreys[i];
                 p.fillRect(QRectF(0, i * line, s.width(), line), QColor(g, g, g + 4));
             }
         }},
    };
}
