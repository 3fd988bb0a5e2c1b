// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/CXGrid.h"

#include "platform/Messages.h"
#include "schedule/CDlgRecTimeSetting.h"
#include "schedule/ScheduleColours.h"
#include "widgets/LanguageTable.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

using namespace schedule;

namespace {

// Language keys of the day labels, Sunday first.
const char* const kDayKeys[kDays] = {"STR_SUN.", "STR_MON.", "STR_TUE.", "STR_WED.",
                                     "STR_THU.", "STR_FRI.", "STR_SAT."};

constexpr int kTickTop = 21;     // hour lines and ticks start below the hour labels
constexpr int kLabelsEvery = 4;  // an hour label every fourth column (two hours)

}  // namespace

CXGrid::CXGrid()
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CXGrid::~CXGrid()
{
    destroyWindow();
}

bool CXGrid::onCreate()
{
    setWindowTitle(QStringLiteral("CXGrid"));
    setCursor(Qt::ArrowCursor);
    // Moves arrive without a button held too, so that a drag whose button
    // went up unseen ends.
    setMouseTracking(true);
    return true;
}

void CXGrid::onDestroy()
{
    closeDayDialog();
}

void CXGrid::setRowsColumns(int rows, int columns)
{
    m_rows = std::max(rows, 1);
    m_columns = std::max(columns, 1);
    update();
}

GridGeometry CXGrid::cellGeometry() const
{
    return GridGeometry(size(), m_rows, m_columns);
}

void CXGrid::setDayPeriods(int day, const DayPeriods& periods)
{
    m_store.setDayPeriods(day, periods);
    update();
}

platform::LRESULT CXGrid::windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam)
{
    if (msg == platform::WM_GRID_DAY_EDITED) {
        // The dialog's OK: its periods replace the day.
        if (m_dialog && wParam < static_cast<platform::WPARAM>(kDays))
            setDayPeriods(static_cast<int>(wParam), m_dialog->periods());
        return 0;
    }
    return CWnd::windowProc(msg, wParam, lParam);
}

void CXGrid::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_drag.press(event->position().toPoint(), cellGeometry());
    update();
}

void CXGrid::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_drag.isDragging())
        return;
    m_drag.move(event->position().toPoint(), event->buttons().testFlag(Qt::LeftButton), cellGeometry());
    update();
}

void CXGrid::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        finishDrag();
}

void CXGrid::leaveEvent(QEvent* event)
{
    finishDrag();
    CWnd::leaveEvent(event);
}

void CXGrid::finishDrag()
{
    if (const std::optional<CellSpan> span = m_drag.finish()) {
        // A span that would make more than eight periods on a day is dropped
        // without a message; the store then stays as it was.
        m_store.applyCells(*span, m_columns, m_paintType);
        update();
    }
}

void CXGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint point = event->position().toPoint();
    const GridGeometry g = cellGeometry();
    // The labels and the header do nothing.
    if (!GridGeometry::inCellArea(point) || !g.hasCells())
        return;
    openDayDialog(g.rowAt(point.y()));
}

void CXGrid::openDayDialog(int day)
{
    if (day < 0 || day >= std::min(m_rows, kDays))
        return;
    if (!m_dialog)
        m_dialog = std::make_unique<CDlgRecTimeSetting>(this);
    if (m_dialog->isVisible())
        return;
    m_dialog->setPeriods(m_store.dayPeriods(day));
    m_dialog->setMode(m_mode == kModeTyped ? kModeTyped : kModeAlarmOnly);
    m_dialog->setReceiver(handle());
    m_dialog->setLanguageTable(m_language);
    m_dialog->setDay(day);
    m_dialog->openModal();
}

void CXGrid::closeDayDialog()
{
    if (m_dialog && m_dialog->isVisible())
        m_dialog->reject();
}

void CXGrid::paintEvent(QPaintEvent* /*event*/)
{
    if (size().isEmpty())
        return;
    // Double-buffered: drawn off-screen, then copied in one go.
    QImage buffer(size(), QImage::Format_ARGB32_Premultiplied);
    {
        QPainter offscreen(&buffer);
        offscreen.fillRect(buffer.rect(), Qt::white);
        const GridGeometry g = cellGeometry();
        if (g.hasCells())
            drawCells(offscreen, g);
        drawLabelsAndLines(offscreen, g);
        if (g.hasCells())
            drawNarrowRuns(offscreen, g);
    }
    QPainter painter(this);
    painter.drawImage(0, 0, buffer);
}

void CXGrid::drawCells(QPainter& painter, const GridGeometry& g)
{
    const int days = std::min(m_rows, kDays);
    for (int day = 0; day < days; ++day) {
        const int top = g.yOfRow(day);
        for (const SchedulePeriod& run : m_store.valueRuns(day)) {
            if (run.type == kTypeNone)
                continue;  // already white
            const int left = g.xOfSecond(run.startSecond);
            const int right = g.xOfSecond(run.endSecond);  // inclusive
            painter.fillRect(QRect(left, top, right - left + 1, g.rowHeight()),
                             colourOfValue(static_cast<std::uint8_t>(run.type)));
        }
    }
    const CellSpan& span = m_drag.span();
    if (!span.isEmpty())
        painter.fillRect(g.cellsRect(span), colourOfValue(m_paintType));
}

void CXGrid::drawNarrowRuns(QPainter& painter, const GridGeometry& g)
{
    // A run of a pixel's width (a period of a few seconds) lying on an hour
    // line would vanish under it: such runs are drawn once more on top of
    // the lines, never wider than they are.
    // The cells being dragged over show the brush instead.
    const QRect dragged = m_drag.span().isEmpty() ? QRect() : g.cellsRect(m_drag.span());
    const int days = std::min(m_rows, kDays);
    for (int day = 0; day < days; ++day) {
        const int top = g.yOfRow(day);
        for (const SchedulePeriod& run : m_store.valueRuns(day)) {
            if (run.type == kTypeNone)
                continue;
            const int left = g.xOfSecond(run.startSecond);
            if (g.xOfSecond(run.endSecond) == left && !dragged.contains(left, top))
                painter.fillRect(QRect(left, top, 1, g.rowHeight()), colourOfValue(static_cast<std::uint8_t>(run.type)));
        }
    }
}

void CXGrid::drawLabelsAndLines(QPainter& painter, const GridGeometry& g)
{
    painter.setPen(QPen(gridLineColour(), 1));
    if (m_language) {
        const int days = std::min(m_rows, kDays);
        for (int day = 0; day < days; ++day) {
            const int y = g.yOfRow(day) - 1;
            painter.setPen(gridLineColour());
            painter.drawLine(0, y, width() - 1, y);
            painter.setPen(Qt::black);
            painter.drawText(QRect(1, y, 49, 15), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                             m_language->lookup(QString::fromLatin1(kDayKeys[day])));
        }
    }
    // The hour labels get the room up to the next labelled column, so that
    // two-digit hours are not cut.
    const int labelWidth = std::max(8, kLabelsEvery * g.columnWidth() - 4);
    for (int i = 0; i < m_columns; ++i) {
        const int x = GridGeometry::kLabelWidth + i * g.columnWidth();
        painter.setPen(gridLineColour());
        if (i % kLabelsEvery == 0) {
            painter.drawLine(x, kTickTop, x, height() - 1);
            painter.setPen(Qt::black);
            const QRect box(x - 4, 1, labelWidth, kTickTop - 1);
            painter.save();
            painter.setClipRect(box);
            painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, QString::number(i / 2));
            painter.restore();
        } else {
            painter.drawLine(x, kTickTop, x, GridGeometry::kHeaderHeight - 1);
        }
    }
}
