// SPDX-License-Identifier: GPL-3.0-or-later
// The timeline's painting: everything is drawn off screen and copied to the
// window in one step (background, ruler, rows, cursor, zoom label).
#include "playback/CControlPlayer.h"

#include "widgets/CMemDC.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstring>

using timeline::TimelineGeometry;
using timeline::TimelineRect;

namespace {

const QColor kBackground(50, 50, 50);
const QColor kRulerInk(120, 120, 120);
const QColor kRowFrame(51, 52, 50);
const QColor kChannelRow(82, 82, 82);
const QColor kOverviewRow(0, 0, 0);
const QColor kSeparator(0, 0, 0);
const QColor kNormalSpan(8, 156, 8);
const QColor kAlarmSpan(255, 41, 39);
const QColor kCursorLine(50, 255, 22);
const QColor kCursorText(0, 255, 0);
const QColor kZoomBoxOutline(200, 200, 200);

constexpr int kCursorShowSlackSeconds = 5;  // the cursor shows this far outside the view

QRect toQRect(const TimelineRect& r)
{
    return QRect(r.left, r.top, r.width(), r.height());
}

// A one-pixel outline on the rectangle's edge pixels.
void frame(QPainter& p, const TimelineRect& r, const QColor& colour)
{
    if (r.isEmpty())
        return;
    p.fillRect(r.left, r.top, r.width(), 1, colour);
    p.fillRect(r.left, r.bottom - 1, r.width(), 1, colour);
    p.fillRect(r.left, r.top, 1, r.height(), colour);
    p.fillRect(r.right - 1, r.top, 1, r.height(), colour);
}

}  // namespace

void CControlPlayer::paintEvent(QPaintEvent* /*event*/)
{
    if (size().isEmpty())
        return;
    m_scale.setClientWidth(width());
    const TimelineGeometry g = timelineGeometry();
    QPainter painter(this);
    CMemDC mem(&painter, rect(), CMemDC::Start::Background, kBackground);
    QPainter& p = *mem.painter();
    paintRuler(p, g);
    paintRows(p, g);
    paintCursor(p, g);
    if (m_zoomLabelShown)
        paintZoomLabel(p, g);
}

void CControlPlayer::paintRuler(QPainter& p, const TimelineGeometry& g)
{
    m_ruler.layout(m_scale, g.ruler);
    const int bottom = g.ruler.bottom;
    for (const int x : m_ruler.majorTicks())
        p.fillRect(x, bottom - timeline::TimelineRuler::kMajorTickHeight, 1, timeline::TimelineRuler::kMajorTickHeight,
                   kRulerInk);
    for (const int x : m_ruler.minorTicks())
        p.fillRect(x, bottom - timeline::TimelineRuler::kMinorTickHeight, 1, timeline::TimelineRuler::kMinorTickHeight,
                   kRulerInk);
    p.fillRect(g.ruler.left, bottom - 1, g.ruler.width(), 1, kRulerInk);

    p.setFont(m_rulerFont);
    p.setPen(Qt::white);
    const QFontMetrics metrics(m_rulerFont);
    const int baseline = bottom - timeline::TimelineRuler::kLabelRise + metrics.ascent();
    // On a narrow timeline a label that would run into the one before it is
    // left out (its tick stays), so that the labels shown stay readable.
    constexpr int kLabelGap = 4;
    const auto width = [&](const timeline::RulerLabel& label) {
        return metrics.horizontalAdvance(QString::fromLatin1(label.text.data()));
    };
    for (const timeline::RulerLabel* label : timeline::readableLabels(m_ruler.labels(), width, kLabelGap))
        p.drawText(label->left, baseline, QString::fromLatin1(label->text.data()));
}

void CControlPlayer::paintRows(QPainter& p, const TimelineGeometry& g)
{
    p.fillRect(toQRect(g.channelBand()), kChannelRow);
    const std::int64_t viewStart = timeline::epochSeconds(m_scale.viewStart());
    const std::int64_t viewEnd = timeline::epochSeconds(m_scale.viewEnd());

    if (auto overview = m_rows.find(0); overview != m_rows.end())
        paintRow(p, overview->second, g.overviewRow, kOverviewRow, viewStart, viewEnd);
    p.fillRect(toQRect(g.separator), kSeparator);

    p.setFont(m_rulerFont);
    for (int j = 0; j < timeline::kVisibleRows; ++j) {
        const int key = m_firstRow + j;
        const auto row = m_rows.find(key);
        if (row == m_rows.end())
            continue;
        const TimelineRect& rect = g.channelRows[j];
        p.setPen(Qt::white);
        p.drawText(toQRect(g.numberBand(j)), Qt::AlignCenter | Qt::TextSingleLine, QString::number(key));
        paintRow(p, row->second, rect, kChannelRow, viewStart, viewEnd);
    }
}

void CControlPlayer::paintRow(QPainter& p, const timeline::TimelineRow& row, const TimelineRect& rect,
                              const QColor& background, std::int64_t viewStart, std::int64_t viewEnd)
{
    if (rect.isEmpty())
        return;
    p.fillRect(toQRect(rect), background);
    const int spanTop = rect.top + 2;
    const int spanHeight = rect.bottom - 1 - spanTop;
    if (spansReady && spanHeight > 0 && row.size() != 0) {
        const timeline::RowView view{rect, viewStart, viewEnd, m_scale.pixelsPerSecond()};
        if (timeline::rasterRow(row, view, m_raster) != 0) {
            // At the whole day a row turns into hundreds of one-pixel runs:
            // they are written into one line of pixels over the row's
            // background, the line repeated down the span height, and the
            // block drawn in one step.
            const int width = rect.width();
            if (m_spanBlock.width() != width || m_spanBlock.height() != spanHeight)
                m_spanBlock = QImage(width, spanHeight, QImage::Format_RGB32);
            auto* line = reinterpret_cast<QRgb*>(m_spanBlock.scanLine(0));
            std::fill(line, line + width, background.rgb());
            m_raster.forEachRun([&](int x1, int x2, timeline::SpanColour colour) {
                const QRgb rgb = (colour == timeline::kNormalSpan ? kNormalSpan : kAlarmSpan).rgb();
                std::fill(line + (x1 - rect.left), line + (x2 - rect.left), rgb);
            });
            for (int y = 1; y < spanHeight; ++y)
                std::memcpy(m_spanBlock.scanLine(y), line, static_cast<std::size_t>(width) * sizeof(QRgb));
            p.drawImage(rect.left, spanTop, m_spanBlock);
        }
    }
    frame(p, rect, kRowFrame);
}

void CControlPlayer::paintCursor(QPainter& p, const TimelineGeometry& g)
{
    const platform::DateTime time = m_dragging ? m_scale.timeAtX(m_scale.cursorX()) : m_scale.cursorTime();
    const int x = static_cast<int>(
        std::clamp(m_scale.cursorX(), static_cast<double>(g.ruler.left), static_cast<double>(g.ruler.right)));
    const std::int64_t fromStart = timeline::seconds(m_scale.viewStart(), time);
    const std::int64_t toEnd = timeline::seconds(time, m_scale.viewEnd());
    if (fromStart < -kCursorShowSlackSeconds || toEnd <= -kCursorShowSlackSeconds)
        return;

    const platform::SystemTime t = time.toSystemTime();
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    const QString label = QString::fromLatin1(text);
    const QFontMetrics metrics(m_cursorFont);
    const int textWidth = metrics.horizontalAdvance(label);
    p.setFont(m_cursorFont);
    p.setPen(kCursorText);
    p.drawText(g.cursorLabelLeft(x, textWidth), g.ruler.top + metrics.ascent(), label);

    p.fillRect(x, timeline::kCursorLineTop, 1, g.rows.bottom - timeline::kCursorLineTop, kCursorLine);
}

void CControlPlayer::paintZoomLabel(QPainter& p, const TimelineGeometry& g)
{
    const QString label = QString::fromLatin1(m_scale.zoom().label);
    const int textWidth = QFontMetrics(m_zoomFont).horizontalAdvance(label);
    const TimelineRect box = g.zoomBox(textWidth);
    if (box.isEmpty())
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(kZoomBoxOutline, 1));
    p.setBrush(Qt::black);
    // An 8 x 8 corner ellipse is a radius of 4.
    p.drawRoundedRect(QRect(box.left, box.top, box.width() - 1, box.height() - 1), 4, 4);
    p.setFont(m_zoomFont);
    p.setPen(Qt::white);
    p.drawText(toQRect(box), Qt::AlignCenter | Qt::TextSingleLine, label);
    p.restore();
}
