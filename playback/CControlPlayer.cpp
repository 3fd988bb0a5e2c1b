// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/CControlPlayer.h"

#include "platform/Messages.h"
#include "widgets/CXeScrollBar.h"

#include <QApplication>
#include <QDate>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

using timeline::TimelineScale;

namespace {

platform::DateTime today()
{
    const QDate d = QDate::currentDate();
    return platform::DateTime::fromParts(d.year(), d.month(), d.day());
}

}  // namespace

CControlPlayer::CControlPlayer() : m_scale(today())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
}

CControlPlayer::~CControlPlayer()
{
    destroyWindow();
}

bool CControlPlayer::Create(QWidget* parent)
{
    return createWindow(parent, QRect(), 0, true);
}

bool CControlPlayer::onCreate()
{
    setWindowTitle(QStringLiteral("CControlPlayer"));
    rebuildRows();
    createRowScrollBar();
    // The default GUI font; the ruler labels at 12 pixels, the zoom label
    // at 16; the cursor's time in the font as it is.
    m_cursorFont = QApplication::font();
    m_rulerFont = QApplication::font();
    m_rulerFont.setPixelSize(12);
    m_zoomFont = QApplication::font();
    m_zoomFont.setPixelSize(16);
    return true;
}

timeline::TimelineGeometry CControlPlayer::timelineGeometry() const
{
    return timeline::TimelineGeometry(width(), height(), m_scale.margin());
}

platform::WindowHandle CControlPlayer::parentHandle() const
{
    const auto* parent = dynamic_cast<const platform::CWnd*>(parentWidget());
    return parent ? parent->handle() : 0;
}

// --- The interface -----------------------------------------------------------

void CControlPlayer::Invalidate()
{
    update();
}

void CControlPlayer::SetPlayTime(const platform::DateTime& time)
{
    if (m_dragging || !time.isValid())
        return;
    m_scale.setCursorTime(time);
    m_scale.placeCursorAtTime();
    noticeView(m_scale.keepCursorInView());
    update();
}

platform::DateTime CControlPlayer::GetCursorTime() const
{
    return m_scale.cursorTime();
}

void CControlPlayer::ZoomIn()
{
    if (m_scale.level() < timeline::kMaxLevel && m_scale.setLevel(m_scale.level() + 1))
        zoomSteps();
}

void CControlPlayer::ZoomOut()
{
    if (m_scale.level() > timeline::kMinLevel && m_scale.setLevel(m_scale.level() - 1))
        zoomSteps();
}

void CControlPlayer::zoomSteps()
{
    noticeView(m_scale.recentreOnCursor());
    m_zoomLabelShown = true;
    setTimerById(kZoomLabelTimer, kZoomLabelMs);
    m_scale.placeCursorAtTime();
    Refresh();
}

void CControlPlayer::ClearSpans()
{
    m_rows.clear();
    m_scale.setLevel(0);
    noticeView(m_scale.viewNotice());
    rebuildRows();
    update();
}

void CControlPlayer::SetViewRange(const platform::DateTime& start, const platform::DateTime& end)
{
    m_scale.setViewRange(start, end);
    repaint();
    noticeView(m_scale.viewNotice());
}

void CControlPlayer::SetDayRange(const platform::DateTime& start, const platform::DateTime& end)
{
    m_scale.setDayRange(start, end);
    update();
}

void CControlPlayer::MoveCursorTo(const platform::DateTime& time)
{
    SetPlayTime(time);
}

void CControlPlayer::Refresh()
{
    // Without a data tab the margins take the tab labels' room of 4 pixels.
    m_scale.setMargin(timeline::kRefreshedMargin);
    m_scale.setClientWidth(width());
    m_scale.placeCursorAtTime();
    update();
}

void CControlPlayer::SetChannelRows(const QString& /*label*/, int count)
{
    if (count < 0)
        return;
    m_rowCount = count;
    rebuildRows();
    m_rowScrollPos = 0;
    if (const auto setting = timeline::rowScrollSetting(count)) {
        if (setting->visible)
            m_rowScroll = *setting;
        else
            m_rowScroll.visible = false;
    }
    applyRowScrollSetting();
    update();
}

void CControlPlayer::AddSpan(const QString& /*label*/, int channel, const platform::DateTime& start,
                             const platform::DateTime& end, std::uint32_t type)
{
    if (channel < 0 || !start.isValid() || !end.isValid())
        return;
    const timeline::Span span{timeline::epochSeconds(start), timeline::epochSeconds(end), type};
    m_rows[0].add(span);
    m_rows[channel + 1].add(span);
    update();
}

int CControlPlayer::SetFirstRow(int n)
{
    m_firstRow = timeline::firstRowFor(n, m_firstRow);
    Invalidate();
    return m_firstRow;
}

void CControlPlayer::rebuildRows()
{
    // Rows for the overview and every channel, empty.
    m_rows.clear();
    for (int key = 0; key <= m_rowCount; ++key)
        m_rows[key];
}

void CControlPlayer::noticeView(bool tell)
{
    if (!tell)
        return;
    platform::SystemTime start = m_scale.viewStart().toSystemTime();
    platform::sendMessage(parentHandle(), platform::WM_TIMELINE_VIEW, reinterpret_cast<platform::WPARAM>(&start), 0);
}

void CControlPlayer::shiftView(TimelineScale::Direction direction, std::int64_t seconds)
{
    noticeView(m_scale.shiftView(direction, seconds));
    update();
}

// --- Window events -----------------------------------------------------------

void CControlPlayer::onTimer(std::uint32_t id)
{
    if (id == kAutoScrollTimer) {
        shiftView(m_autoScrollDirection, m_autoScrollSpeed);
    } else if (id == kZoomLabelTimer) {
        killTimerById(kZoomLabelTimer);
        m_zoomLabelShown = false;
        update();
    }
}

void CControlPlayer::resizeEvent(QResizeEvent* event)
{
    m_scale.setClientWidth(width());
    m_scale.placeCursorAtTime();
    placeRowScrollBar();
    update();
    CWnd::resizeEvent(event);
}

void CControlPlayer::mousePressEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        setFocus(Qt::MouseFocusReason);
        m_dragging = true;
        m_cursorArmed = timelineGeometry().rows.contains(point.x(), point.y());
        if (point.x() < m_scale.rulerLeft() || point.x() > m_scale.rulerRight())
            return;
        m_scale.setCursorX(point.x());
        update();
    } else if (event->button() == Qt::RightButton) {
        setFocus(Qt::MouseFocusReason);
        m_dragging = true;
        m_panArmed = true;
        m_panAnchorX = point.x();
    }
}

void CControlPlayer::mouseMoveEvent(QMouseEvent* event)
{
    const int x = event->position().toPoint().x();
    if (m_cursorArmed && event->buttons().testFlag(Qt::LeftButton)) {
        if (x < m_scale.rulerLeft()) {
            m_scale.setCursorX(m_scale.margin());
            m_autoScrollDirection = TimelineScale::Direction::Earlier;
            m_autoScrollSpeed = m_scale.rulerLeft() - x;
            // Armed once: restarting it on every move would hold it off
            // while the mouse keeps moving.
            if (!hasTimer(kAutoScrollTimer))
                setTimerById(kAutoScrollTimer, kAutoScrollIntervalMs);
        } else if (x > m_scale.rulerRight()) {
            m_scale.setCursorX(m_scale.rulerRight());
            m_autoScrollDirection = TimelineScale::Direction::Later;
            m_autoScrollSpeed = x - m_scale.rulerRight();
            if (!hasTimer(kAutoScrollTimer))
                setTimerById(kAutoScrollTimer, kAutoScrollIntervalMs);
        } else {
            m_scale.setCursorX(x);
            killTimerById(kAutoScrollTimer);
        }
        update();
    } else if (m_panArmed && event->buttons().testFlag(Qt::RightButton)) {
        const auto d = static_cast<std::int64_t>(std::trunc(m_scale.secondsPerPixel() * std::abs(x - m_panAnchorX) + 0.5));
        if (d >= 1) {
            // Dragging the picture left brings later times in.
            shiftView(x < m_panAnchorX ? TimelineScale::Direction::Later : TimelineScale::Direction::Earlier, d);
            m_panAnchorX = x;
        }
    }
}

void CControlPlayer::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_cursorArmed = false;
        m_dragging = false;
        killTimerById(kAutoScrollTimer);
        m_scale.setCursorTime(m_scale.timeAtX(m_scale.cursorX()));
        platform::SystemTime time = m_scale.cursorTime().toSystemTime();
        platform::sendMessage(parentHandle(), platform::WM_TIMELINE_SEEK, reinterpret_cast<platform::WPARAM>(&time), 0);
        update();
    } else if (event->button() == Qt::RightButton) {
        m_panArmed = false;
        m_dragging = false;
        // The pan moved the view under the cursor line; the line goes back
        // to the cursor's time, which a pan does not change.
        m_scale.placeCursorAtTime();
        update();
    }
}

void CControlPlayer::wheelEvent(QWheelEvent* event)
{
    if (!rect().contains(event->position().toPoint()))
        return;
    const int delta = event->angleDelta().y();
    if (delta == 120)
        ZoomIn();
    else if (delta == -120)
        ZoomOut();
    event->accept();
}

void CControlPlayer::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
        // Play or pause: the bar decides.
        platform::postMessage(parentHandle(), platform::WM_KEYDOWN, 0, 0);
        break;
    case Qt::Key_Left:
        SetPlayTime(m_scale.cursorTime().addSeconds(-1));
        break;
    case Qt::Key_Right:
        SetPlayTime(m_scale.cursorTime().addSeconds(1));
        break;
    case Qt::Key_Up:
        ZoomIn();
        break;
    case Qt::Key_Down:
        ZoomOut();
        break;
    default:
        CWnd::keyPressEvent(event);
        return;
    }
    event->accept();
}

platform::LRESULT CControlPlayer::windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam)
{
    if (msg == platform::WM_VSCROLL) {
        // The position is a signed 16-bit word.
        onRowScroll(static_cast<std::uint32_t>(wParam & 0xFFFF), static_cast<std::int16_t>((wParam >> 16) & 0xFFFF));
        return 0;
    }
    return CWnd::windowProc(msg, wParam, lParam);
}

// --- The row scroll bar --------------------------------------------------------

void CControlPlayer::onRowScroll(std::uint32_t code, int trackPosition)
{
    // The highest position shows the last page.
    const int last = std::max(m_rowScroll.minimum, m_rowScroll.maximum - std::max(m_rowScroll.page, 1) + 1);
    int pos = m_rowScrollPos;
    switch (code) {
    case platform::SB_LINEUP: pos -= 1; break;
    case platform::SB_LINEDOWN: pos += 1; break;
    case platform::SB_PAGEUP: pos -= std::max(m_rowScroll.page, 1); break;
    case platform::SB_PAGEDOWN: pos += std::max(m_rowScroll.page, 1); break;
    case platform::SB_THUMBPOSITION:
    case platform::SB_THUMBTRACK: pos = trackPosition; break;
    case platform::SB_TOP: pos = m_rowScroll.minimum; break;
    case platform::SB_BOTTOM: pos = last; break;
    default: return;
    }
    pos = std::clamp(pos, m_rowScroll.minimum, last);
    if (pos != m_rowScrollPos) {
        m_rowScrollPos = pos;
        applyRowScrollSetting();
    }
    SetFirstRow(pos + 1);
}
