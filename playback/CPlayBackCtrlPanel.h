// SPDX-License-Identifier: GPL-3.0-or-later
// The playback control bar (child window 202 of the playback page): the day
// timeline with its zoom and the horizontal scroll bar that pages through a
// zoomed day, the bar's background and its two text lines. The bar turns
// the page's day, channel selection and record spans into the timeline's
// rows and spans, and receives the timeline's seeks. The transport and grid
// buttons and the remote playback session join it later.
#pragma once

#include "playback/CControlPlayer.h"
#include "platform/Window.h"
#include "widgets/CGdipButton.h"
#include "widgets/CXeScrollBar.h"

#include <QPixmap>
#include <QString>

#include <cstdint>
#include <optional>

class LanguageTable;

class CPlayBackCtrlPanel : public platform::CWnd {
public:
    CPlayBackCtrlPanel();
    ~CPlayBackCtrlPanel() override;

    void setLanguageTable(LanguageTable* table) { m_language = table; }

    // A new playback day (yyyy-mm-dd): back to the whole day; the timeline
    // shows that day with no spans and its cursor at the day's last second.
    // The same day again (with channels selected) only hides the spans until
    // they are complete again. Returns false for a text that is no date.
    bool setPlayDate(const QString& date, bool channelsSelected);
    // The selected channels (bit n = channel n) give the timeline's rows.
    void setChannelMask(std::uint32_t mask);
    // A record span from the page: from the start to the end's time of day
    // on the start's date.
    void addRecordSpan(std::uint32_t channel, std::uint32_t recordType, const QString& start, const QString& end);
    // The spans are complete: show them, cursor to the earliest start.
    void completeRecordPeriods();

    // The zoom buttons: the bar's level counts down from 7 (whole day).
    void zoomIn();
    void zoomOut();
    int zoomLevel() const { return m_zoomLevel; }
    int pageCount() const { return m_pageCount; }

    // Expanded: a 100-pixel timeline; collapsed: 40 pixels.
    void setTimelineExpanded(bool expanded);

    CControlPlayer& timeline() { return m_timeline; }
    CXeScrollBar& timelineScroll() { return m_timelineScroll; }
    // The time of the last seek the timeline asked for.
    std::optional<platform::DateTime> lastSeek() const { return m_lastSeek; }

    // Looks the buttons' tooltips up again (the page may have changed the
    // language's texts).
    void refreshToolTips();

    void setStatusText(const QString& text);
    void setProgressText(const QString& text);

    platform::LRESULT windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) override;

protected:
    bool onCreate() override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void layoutChildren();
    bool createButton(CGdipButton& button, int id, const QString& skin);
    // The scroll bar's range for the current page count.
    void applyPageCount();
    void onHorizontalScroll(std::uint32_t code, int trackPosition);
    void onTimelineView(const platform::SystemTime* viewStart);
    void onTimelineSeek(const platform::SystemTime* time);

    LanguageTable* m_language = nullptr;
    CControlPlayer m_timeline;
    CXeScrollBar m_timelineScroll;
    CGdipButton m_zoomInButton;
    CGdipButton m_zoomOutButton;
    bool m_timelineExpanded = true;
    int m_zoomLevel = 7;
    int m_pageCount = 1;
    QString m_dateText;
    platform::DateTime m_selectedDay;
    platform::DateTime m_earliestSpanStart;
    std::optional<platform::DateTime> m_lastSeek;
    QString m_statusText;
    QString m_progressText;
    QPixmap m_background;  // stretched over the bar
    QPixmap m_infoArea;    // behind the two text lines
    QPixmap m_band;        // behind the buttons
};
