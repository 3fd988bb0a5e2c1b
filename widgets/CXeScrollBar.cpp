// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/CXeScrollBar.h"

#include "widgets/CMemDC.h"

#include <QPainter>
#include <QPen>

#include <algorithm>

using widgets::ScrollPart;

namespace {

// Offsets along a strip, in logical pixels.
constexpr int kFirstArrow = 0;
constexpr int kArrowLength = 17;
constexpr int kTrackBefore = 17;
constexpr int kTrackAfter = 51;
constexpr int kTrackPiece = 10;
constexpr int kThumb = 27;
constexpr int kThumbEnd = 51;
constexpr int kSecondArrow = 61;
// Inside the 24-pixel thumb piece.
constexpr int kCap = 4;
constexpr int kBody = 4;
constexpr int kBodyPiece = 4;
constexpr int kGrip = 8;
constexpr int kGripLength = 8;

}  // namespace

CXeScrollBar::CXeScrollBar()
{
    CXeScrollBarSkins::acquire();
}

CXeScrollBar::~CXeScrollBar()
{
    CXeScrollBarSkins::release();
}

CXeScrollBarSkins::State CXeScrollBar::partState(ScrollPart part) const
{
    if (!isEnabled())
        return CXeScrollBarSkins::Disabled;
    if (part == pressedPart())
        return CXeScrollBarSkins::Pressed;
    if (part == hoverPart())
        return CXeScrollBarSkins::Hot;
    return CXeScrollBarSkins::Normal;
}

void CXeScrollBar::paintEvent(QPaintEvent* /*event*/)
{
    if (size().isEmpty())
        return;
    QPainter painter(this);
    CMemDC mem(&painter, rect(), CMemDC::Start::TargetPixels);
    drawBar(*mem.painter());
}

void CXeScrollBar::drawBar(QPainter& painter) const
{
    const widgets::ScrollBarLayout& l = layout();
    const auto strip = [this](ScrollPart part) -> const QImage& {
        return CXeScrollBarSkins::strip(CXeScrollBarSkins::index(isHorizontal(), partState(part)));
    };
    const auto drawPart = [&](ScrollPart part, auto&& draw) {
        const QImage& image = strip(part);
        if (!image.isNull() && !l.partRect(part).isEmpty())
            draw(image);
    };
    drawPart(ScrollPart::FirstArrow, [&](const QImage& s) {
        drawSlice(painter, s, 0, l.arrowLength(), kFirstArrow, kFirstArrow + kArrowLength);
    });
    drawPart(ScrollPart::SecondArrow, [&](const QImage& s) {
        drawSlice(painter, s, l.trackEnd(), l.barLength(), kSecondArrow, kSecondArrow + kArrowLength);
    });
    drawPart(ScrollPart::TrackBefore, [&](const QImage& s) {
        const int end = l.hasThumb() ? l.thumbStart() : l.trackEnd();
        drawTiled(painter, s, l.trackStart(), end, kTrackBefore, kTrackPiece);
    });
    drawPart(ScrollPart::TrackAfter,
             [&](const QImage& s) { drawTiled(painter, s, l.thumbEnd(), l.trackEnd(), kTrackAfter, kTrackPiece); });
    drawPart(ScrollPart::Thumb, [&](const QImage& s) { drawThumb(painter, s); });

    if (hasFocus() && focusBlink()) {
        const QRect area = l.hasThumb() ? l.partRect(ScrollPart::Thumb) : l.partRect(ScrollPart::TrackBefore);
        if (area.width() > 2 && area.height() > 2) {
            painter.save();
            painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(area.adjusted(1, 1, -2, -2));
            painter.restore();
        }
    }
}

void CXeScrollBar::drawSlice(QPainter& painter, const QImage& strip, int targetFrom, int targetTo, int sourceFrom,
                             int sourceTo) const
{
    if (targetTo <= targetFrom || sourceTo <= sourceFrom)
        return;
    const widgets::ScrollBarLayout& l = layout();
    // Source rectangles are cut in the image's own pixels: a 2x strip holds
    // every piece at twice its logical offset.
    const qreal ratio = strip.devicePixelRatio();
    const QRectF source = isHorizontal()
                              ? QRectF(sourceFrom * ratio, 0, (sourceTo - sourceFrom) * ratio, strip.height())
                              : QRectF(0, sourceFrom * ratio, strip.width(), (sourceTo - sourceFrom) * ratio);
    const QRectF target = isHorizontal() ? QRectF(targetFrom, 0, targetTo - targetFrom, l.thickness())
                                         : QRectF(0, targetFrom, l.thickness(), targetTo - targetFrom);
    painter.drawImage(target, strip, source);
}

void CXeScrollBar::drawTiled(QPainter& painter, const QImage& strip, int targetFrom, int targetTo, int sourceFrom,
                             int piece) const
{
    for (int at = targetFrom; at < targetTo; at += piece) {
        const int length = std::min(piece, targetTo - at);
        drawSlice(painter, strip, at, at + length, sourceFrom, sourceFrom + length);
    }
}

void CXeScrollBar::drawThumb(QPainter& painter, const QImage& strip) const
{
    const widgets::ScrollBarLayout& l = layout();
    const int start = l.thumbStart();
    const int end = l.thumbEnd();
    const int cap = std::min(kCap, l.thumbLength() / 2);
    drawSlice(painter, strip, start, start + cap, kThumb, kThumb + cap);
    drawSlice(painter, strip, end - cap, end, kThumbEnd - cap, kThumbEnd);
    drawTiled(painter, strip, start + cap, end - cap, kThumb + kBody, kBodyPiece);
    if (end - start - 2 * cap >= kGripLength) {
        const int grip = start + (l.thumbLength() - kGripLength) / 2;
        drawSlice(painter, strip, grip, grip + kGripLength, kThumb + kGrip, kThumb + kGrip + kGripLength);
    }
}
