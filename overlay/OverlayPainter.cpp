// SPDX-License-Identifier: GPL-3.0-or-later
#include "overlay/OverlayPainter.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace overlay {

namespace {

const QColor kCellOn(0, 255, 0);
const QColor kCellOff(123, 123, 123);
const QColor kMaskFill(33, 33, 41);
const QColor kMaskFrame(255, 64, 64);
const QColor kTextColour(255, 0, 0);

// A 2-pixel frame inside the edge rectangle: two 1-pixel frames, the second
// one pixel further in.
void frame2(QPainter& painter, const QRectF& r, const QColor& colour)
{
    painter.setPen(QPen(colour, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
    painter.drawRect(r.adjusted(1.5, 1.5, -1.5, -1.5));
}

void paintCells(QPainter& painter, const OverlaySnapshot& s, int pw, int ph)
{
    const int rows = motionRows(s.pictureHeight);
    const double cw = (pw + 0.5) / kCellColumns;
    const double ch = (ph + 0.5) / rows;
    for (int r = 0; r < rows; ++r) {
        for (int k = 0; k < kCellColumns; ++k) {
            const bool on = s.cells[static_cast<std::size_t>(r * kCellColumns + k)] != 0;
            const QRectF cell(QPointF(k * cw + 1, r * ch + 1), QPointF(k * cw + cw - 1, r * ch + ch - 1));
            frame2(painter, cell, on ? kCellOn : kCellOff);
        }
    }
}

void paintMasks(QPainter& painter, const OverlaySnapshot& s, int pw, int ph)
{
    const int w = std::max(1, s.windowWidth);
    const int h = std::max(1, s.windowHeight);
    for (const Box& window : s.maskWindows) {
        const Box b = scaleBox(window, pw, w, ph, h);
        const int left = std::min(b.left, b.right);
        const int right = std::max(b.left, b.right);
        const int top = std::min(b.top, b.bottom);
        const int bottom = std::max(b.top, b.bottom);
        painter.fillRect(QRect(left, top, right - left, bottom - top), kMaskFill);
        if ((right - left) + (bottom - top) > 4)
            frame2(painter, QRectF(QPointF(left - 2, top - 2), QPointF(right + 2, bottom + 2)), kMaskFrame);
    }
}

void paintItems(QPainter& painter, const OverlaySnapshot& s, int pw, int ph)
{
    painter.setPen(kTextColour);
    painter.setBackgroundMode(Qt::TransparentMode);
    const QFont font = textItemFont(pw, ph);
    for (const OverlaySnapshot::Item& item : s.items) {
        if (!item.visible)
            continue;
        const int rw = std::max(1, item.referenceWidth);
        const int rh = std::max(1, item.referenceHeight);
        if (item.index == 0) {
            Box r = item.reference;
            if (!item.extentKnown)
                r = {r.left, r.top, r.left + kNameBoxWidth, r.top + kNameBoxHeight};
            const Box b = scaleBox(r, pw, rw, ph, rh);
            frame2(painter, QRectF(QPointF(b.left, b.top), QPointF(b.right, b.bottom)), kTextColour);
            continue;
        }
        if (item.text.isEmpty())
            continue;
        painter.setFont(font);
        painter.setPen(kTextColour);
        const QFontMetrics metrics(font, painter.device());
        const int x = scale(item.reference.left, pw, rw);
        const int y = scale(item.reference.top, ph, rh);
        painter.drawText(QPoint(x, y + metrics.ascent()), item.text);
    }
}

}  // namespace

QFont textItemFont(int pictureWidth, int pictureHeight)
{
    int height = 30;
    int width = 13;
    if (pictureHeight == 120 || pictureHeight == 144) {
        height = 7;
        width = 5;
    } else if (pictureHeight == 240 || pictureHeight == 288) {
        height = 15;
        width = pictureWidth == 704 ? 13 : 7;
    }
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(height);
    font.setWeight(QFont::Black);
    // The character width is given as well: an average character of a
    // sans-serif face is about half its height wide.
    font.setStretch(std::clamp(width * 200 / height, 50, 200));
    return font;
}

QSize measureTextItem(const QString& text, int pictureWidth, int pictureHeight)
{
    if (text.isEmpty())
        return {};
    const QFontMetrics metrics(textItemFont(pictureWidth, pictureHeight));
    return {metrics.horizontalAdvance(text), metrics.height()};
}

void paintOverlay(QPainter& painter, const OverlaySnapshot& snapshot, int pictureWidth, int pictureHeight)
{
    if (pictureWidth <= 0 || pictureHeight <= 0)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    switch (snapshot.mode) {
    case kMotionCells: paintCells(painter, snapshot, pictureWidth, pictureHeight); break;
    case kPrivacyMasks: paintMasks(painter, snapshot, pictureWidth, pictureHeight); break;
    case kTextItems: paintItems(painter, snapshot, pictureWidth, pictureHeight); break;
    default: break;
    }
    painter.restore();
}

}  // namespace overlay
