// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/CPlayBackCtrlPanel.h"

#include "platform/Debug.h"
#include "platform/Messages.h"
#include "playback/BarTimelineZoom.h"
#include "playback/PlaybackBarIds.h"
#include "playback/PlaybackChannels.h"
#include "preview/CChannelPanel.h"
#include "widgets/CMemDC.h"
#include "widgets/LanguageTable.h"
#include "widgets/CGdiPlusBitmapResource.h"
#include "widgets/ScrollInfo.h"

#include <QApplication>
#include <QDate>
#include <QPainter>
#include <QResizeEvent>

namespace {

constexpr int kTimelineExpandedHeight = 100;
constexpr int kTimelineCollapsedHeight = 40;
constexpr int kScrollHeight = 10;
constexpr int kInfoWidth = 137;
constexpr int kInfoHeight = 50;

QPixmap loadSkin(const QString& name)
{
    return QPixmap::fromImage(CGdiPlusBitmapResource(name).Image());
}

// yyyy-mm-dd, with month and day checked by the calendar.
platform::DateTime dayOf(const QString& date)
{
    if (date.size() != 10 || date[4] != u'-' || date[7] != u'-')
        return {};
    bool yearOk = false, monthOk = false, dayOk = false;
    const int year = date.left(4).toInt(&yearOk);
    const int month = date.mid(5, 2).toInt(&monthOk);
    const int day = date.mid(8, 2).toInt(&dayOk);
    if (!yearOk || !monthOk || !dayOk)
        return {};
    return platform::DateTime::fromParts(year, month, day);
}

platform::DateTime lastSecondOf(const platform::DateTime& day)
{
    const platform::SystemTime date = day.toSystemTime();
    return platform::DateTime::fromParts(date.year, date.month, date.day, 23, 59, 59);
}

}  // namespace

CPlayBackCtrlPanel::CPlayBackCtrlPanel(playback::IPlaybackLibrary& library) : m_session(library, *this)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    const platform::DateTime today = dayOf(QDate::currentDate().toString(Qt::ISODate));
    m_selectedDay = today;
    m_earliestSpanStart = lastSecondOf(today);
}

CPlayBackCtrlPanel::~CPlayBackCtrlPanel()
{
    destroyWindow();
}

bool CPlayBackCtrlPanel::onCreate()
{
    m_background = loadSkin(QStringLiteral("PB_BAR_BG"));
    m_infoArea = loadSkin(QStringLiteral("PB_BAR_INFO"));
    m_band = loadSkin(QStringLiteral("PB_BAR_BAND"));
    if (!m_timeline.Create(this))
        return false;
    m_timeline.SetChannelRows(QString(), 4);
    if (!m_timelineScroll.Create(WS_VISIBLE, QRect(0, 0, 40, kScrollHeight), this, playback_ids::kTimelineScroll))
        return false;
    if (!createButtons())
        return false;
    m_session.setBarHandle(handle());
    refreshToolTips();
    m_zoomLevel = bar_zoom::kWholeDay;
    m_pageCount = bar_zoom::pageCount(m_zoomLevel);
    ScrollInfo info;
    info.fMask = SIF_ALL;
    info.nMin = 0;
    info.nMax = 1;
    info.nPage = 2;
    info.nPos = 0;
    m_timelineScroll.SetScrollInfo(info, false);
    layoutChildren();
    return true;
}

bool CPlayBackCtrlPanel::setPlayDate(const QString& date, bool channelsSelected)
{
    const platform::DateTime day = dayOf(date);
    if (!day.isValid())
        return false;
    while (m_zoomLevel < bar_zoom::kWholeDay)
        zoomOut();
    if (date == m_dateText && channelsSelected) {
        m_timeline.spansReady = false;
        m_timeline.Invalidate();
        return true;
    }
    m_session.setDay(day);
    m_timeline.ClearSpans();
    m_timeline.spansReady = false;
    m_selectedDay = day;
    m_timeline.SetDayRange(day, lastSecondOf(day));
    m_earliestSpanStart = lastSecondOf(day);
    m_timeline.MoveCursorTo(m_earliestSpanStart);
    m_dateText = date;
    return true;
}

void CPlayBackCtrlPanel::setChannelMask(std::uint32_t mask)
{
    m_session.setChannelMask(mask);
    m_timeline.SetChannelRows(QString(), playback_channels::timelineRowsFor(mask));
    m_timeline.SetFirstRow(1);
    const int channels = m_session.channelCount();
    if (m_grid) {
        const int rows = playback_channels::rowsFor(mask);
        m_grid->setTotal(rows == 0 || rows > 16 ? 4 : rows);
        if (channels <= 1)
            m_grid->SetLayout(188);
        else if (channels <= 4)
            m_grid->SetLayout(189);
        else if (channels <= 9)
            m_grid->SetLayout(191);
        else
            splitTo(16);
        refreshSplitStates(m_grid->layoutCount());
    }
    showSplitButtons(channels);
    layoutButtons();
}

void CPlayBackCtrlPanel::addRecordSpan(std::uint32_t channel, std::uint32_t recordType, const QString& start,
                                       const QString& end)
{
    const platform::DateTime startTime = platform::DateTime::fromText(start.trimmed().toStdString());
    const platform::DateTime endText = platform::DateTime::fromText(end.trimmed().toStdString());
    if (!startTime.isValid() || !endText.isValid()) {
        platform::debugOutput("record span ignored: " + start.toStdString() + " .. " + end.toStdString() + "\n");
        return;
    }
    // A recording that runs past midnight keeps its end on the next day (the
    // timeline cuts it at the day's end); an end before the start is read as
    // that time of day on the start's date.
    platform::DateTime endTime = endText;
    if (endTime.days() < startTime.days()) {
        const platform::SystemTime day = startTime.toSystemTime();
        const platform::SystemTime until = endText.toSystemTime();
        endTime = platform::DateTime::fromParts(day.year, day.month, day.day, until.hour, until.minute, until.second);
        if (endTime.days() < startTime.days()) {
            platform::debugOutput("record span ignored: ends before it starts: " + start.toStdString() + " .. " +
                                  end.toStdString() + "\n");
            return;
        }
    }
    // Playback starts at the earliest span of the day, never before the day:
    // a recording that began the evening before starts the day at 00:00:00.
    const platform::DateTime from = startTime.days() < m_selectedDay.days() ? m_selectedDay : startTime;
    if (from.days() < m_earliestSpanStart.days())
        m_earliestSpanStart = from;
    m_timeline.AddSpan(QString(), static_cast<int>(channel), startTime, endTime, recordType);
}

void CPlayBackCtrlPanel::completeRecordPeriods()
{
    m_timeline.spansReady = true;
    m_timeline.MoveCursorTo(m_earliestSpanStart);
    m_timeline.Invalidate();
}

void CPlayBackCtrlPanel::zoomIn()
{
    if (m_zoomLevel <= bar_zoom::kFiveMinutes)
        return;
    // The bar's pages change before the timeline moves its view, so that the
    // view it reports lands on the scroll bar's new scale.
    --m_zoomLevel;
    applyPageCount();
    m_timeline.ZoomIn();
}

void CPlayBackCtrlPanel::zoomOut()
{
    if (m_zoomLevel >= bar_zoom::kWholeDay)
        return;
    ++m_zoomLevel;
    applyPageCount();
    m_timeline.ZoomOut();
}

void CPlayBackCtrlPanel::applyPageCount()
{
    m_pageCount = bar_zoom::pageCount(m_zoomLevel);
    ScrollInfo info;
    info.fMask = SIF_RANGE | SIF_PAGE;
    info.nMin = 0;
    info.nMax = m_pageCount;
    info.nPage = 2;
    m_timelineScroll.SetScrollInfo(info, true);
}

void CPlayBackCtrlPanel::setTimelineExpanded(bool expanded)
{
    m_timelineExpanded = expanded;
    layoutChildren();
}

void CPlayBackCtrlPanel::setStatusText(const QString& text)
{
    m_statusText = text;
    update();
}

void CPlayBackCtrlPanel::setProgressText(const QString& text)
{
    m_progressText = text;
    update();
}

platform::LRESULT CPlayBackCtrlPanel::windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam)
{
    switch (msg) {
    case platform::WM_HSCROLL:
        onHorizontalScroll(static_cast<std::uint32_t>(wParam & 0xFFFF), static_cast<int>((wParam >> 16) & 0xFFFF));
        return 0;
    case platform::WM_TIMELINE_VIEW:
        onTimelineView(reinterpret_cast<const platform::SystemTime*>(wParam));
        return 0;
    case platform::WM_TIMELINE_SEEK:
        onTimelineSeek(reinterpret_cast<const platform::SystemTime*>(wParam));
        return 0;
    case platform::WM_KEYDOWN:
        // Space on the timeline: pause what plays, play anything else (a
        // paused, fast, slow or stepped session goes on at normal speed, a
        // stopped one opens at the cursor).
        platform::debugOutput("timeline: play or pause asked\n");
        if (m_session.playState() == playback::kPlaying)
            m_session.pause();
        else
            m_session.play();
        return 0;
    case playback::WM_PLAYBACK_CALLBACK:
        m_session.onCallback(playback::unpackEvent(wParam, lParam));
        return 0;
    case playback::WM_PLAYBACK_STOPPED:
        m_session.finishStop(static_cast<std::int32_t>(wParam), static_cast<std::uint32_t>(lParam));
        return 0;
    case platform::WM_SLIDER_POS:
        if (static_cast<int>(wParam) == playback_ids::kVolumeSlider)
            onVolumeSlider(static_cast<int>(lParam));
        return 0;
    case playback_ids::kFullScreen:
        toggleFullScreen();
        return 0;
    case playback_ids::kViewMode:
        toggleViewMode();
        return 0;
    default:
        return CWnd::windowProc(msg, wParam, lParam);
    }
}

void CPlayBackCtrlPanel::onHorizontalScroll(std::uint32_t code, int trackPosition)
{
    int position = m_timelineScroll.GetScrollPos();
    switch (code) {
    case platform::SB_LINEUP:
        if (position > 0)
            --position;
        break;
    case platform::SB_LINEDOWN:
        if (position < m_pageCount - 1)
            ++position;
        break;
    case platform::SB_THUMBTRACK:
        position = trackPosition;
        break;
    default:
        return;
    }
    m_timelineScroll.SetScrollPos(position);
    if (m_zoomLevel >= bar_zoom::kWholeDay)
        return;
    const bar_zoom::ViewRange view = bar_zoom::viewAtScrollPosition(m_selectedDay, position, m_zoomLevel);
    m_timeline.SetViewRange(view.start, view.end);
}

void CPlayBackCtrlPanel::onTimelineView(const platform::SystemTime* viewStart)
{
    if (viewStart)
        m_timelineScroll.SetScrollPos(bar_zoom::scrollPositionOf(*viewStart, m_pageCount));
}

void CPlayBackCtrlPanel::onTimelineSeek(const platform::SystemTime* time)
{
    if (!time)
        return;
    const platform::DateTime target = platform::DateTime::fromSystemTime(*time);
    if (!target.isValid())
        return;
    m_lastSeek = target;
    platform::debugOutput("timeline seek " + target.toText() + "\n");
    m_session.seek(target);
}

void CPlayBackCtrlPanel::resizeEvent(QResizeEvent* event)
{
    CWnd::resizeEvent(event);
    layoutChildren();
}

void CPlayBackCtrlPanel::layoutChildren()
{
    if (!isCreated())
        return;
    const int timelineHeight = m_timelineExpanded ? kTimelineExpandedHeight : kTimelineCollapsedHeight;
    m_timeline.setGeometry(2, 1, std::max(0, width() - 4), timelineHeight);
    m_timelineScroll.setGeometry(2, 1 + timelineHeight, std::max(0, width() - 3), kScrollHeight);
    layoutButtons();
}

void CPlayBackCtrlPanel::paintEvent(QPaintEvent* /*event*/)
{
    QPainter target(this);
    CMemDC memory(&target, rect());
    QPainter& painter = *memory.painter();
    const int w = width(), h = height();
    // The band behind the buttons shades from light to dark, one grey
    // level a line, under the skins.
    static constexpr std::uint8_t kBandGreys[49] = {
        0x58, 0x44, 0x3F, 0x3E, 0x3E, 0x3F, 0x3C, 0x3C, 0x3B, 0x3B, 0x3A, 0x38, 0x36, 0x35, 0x34, 0x33, 0x30,
        0x30, 0x2E, 0x2D, 0x2B, 0x2A, 0x28, 0x28, 0x25, 0x24, 0x23, 0x23, 0x23, 0x21, 0x1E, 0x1B, 0x16, 0x16,
        0x15, 0x14, 0x13, 0x12, 0x11, 0x10, 0x11, 0x0F, 0x0E, 0x10, 0x13, 0x15, 0x15, 0x13, 0x16};
    for (int line = 0; line < 49; ++line)
        painter.fillRect(QRect(134, h - 50 + line, std::max(0, w - 134), 1),
                         QColor(kBandGreys[line], kBandGreys[line], kBandGreys[line]));
    painter.drawPixmap(rect(), m_background);
    painter.drawPixmap(QRect(0, h - kInfoHeight, kInfoWidth, kInfoHeight), m_infoArea);
    painter.drawPixmap(QRect(140, h - 49, std::max(0, w - 140), 49), m_band);
    // The buttons draw their images over the band that lies under them.
    for (CGdipButton& button : m_buttons)
        button.CopyBackground(&painter);
    painter.setPen(Qt::white);
    painter.setFont(QApplication::font());
    painter.drawText(QRect(1, h - 45, 130, 23), Qt::AlignCenter | Qt::TextSingleLine, m_statusText);
    painter.drawText(QRect(1, h - 20, 130, 23), Qt::AlignCenter | Qt::TextSingleLine, m_progressText);
}
