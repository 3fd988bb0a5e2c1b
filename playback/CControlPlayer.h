// SPDX-License-Identifier: GPL-3.0-or-later
// The day timeline under the playback windows: a time ruler, an overview
// row with the recordings of every channel, four channel rows with each
// channel's recordings (green normal, red alarm), and the cursor line at
// the playback time. The user moves the cursor by clicking or dragging
// with the left button (dragging past an end scrolls the view), pans a
// zoomed view with the right button, zooms with the wheel or the up and
// down keys, and steps a second with the left and right keys. On every
// left-button release the parent hears WM_TIMELINE_SEEK with the time under
// the cursor; when the view moves at a zoom level above 0 it hears
// WM_TIMELINE_VIEW with the view start; Space is posted to it as
// WM_KEYDOWN. A vertical scroll bar (id 356) picks the channel rows shown
// when there are more than four.
//
// The maths live in plain classes (TimelineScale, TimelineRuler,
// TimelineGeometry, TimelineSpans); this window owns their state, draws it
// and routes input to it. UI thread only.
#pragma once

#include "playback/ISvCtrlSlider.h"
#include "playback/TimelineGeometry.h"
#include "playback/TimelineRuler.h"
#include "playback/TimelineScale.h"
#include "playback/TimelineSpans.h"
#include "platform/Window.h"

#include <QFont>
#include <QImage>

#include <map>
#include <memory>

class CXeScrollBar;
class QPainter;

class CControlPlayer : public platform::CWnd, public ISvCtrlSlider {
public:
    static constexpr int kRowScrollBarId = 356;
    static constexpr std::uint32_t kAutoScrollTimer = 1;
    static constexpr std::uint32_t kZoomLabelTimer = 2;
    static constexpr std::uint32_t kAutoScrollIntervalMs = 10;
    static constexpr std::uint32_t kZoomLabelMs = 500;

    CControlPlayer();
    ~CControlPlayer() override;

    // A visible child of the parent with an empty rectangle and id 0 (the
    // parent places it), its row scroll bar and its fonts.
    bool Create(QWidget* parent);

    // ISvCtrlSlider
    void Invalidate() override;
    void SetPlayTime(const platform::DateTime& time) override;
    platform::DateTime GetCursorTime() const override;
    void ZoomIn() override;
    void ZoomOut() override;
    void ClearSpans() override;
    void SetViewRange(const platform::DateTime& start, const platform::DateTime& end) override;
    void SetDayRange(const platform::DateTime& start, const platform::DateTime& end) override;
    void MoveCursorTo(const platform::DateTime& time) override;
    void Refresh() override;
    void SetChannelRows(const QString& label, int count) override;
    void AddSpan(const QString& label, int channel, const platform::DateTime& start, const platform::DateTime& end,
                 std::uint32_t type) override;

    // The key shown in the top channel row becomes min(n, 29) for n >= 1
    // (smaller n are ignored); redraws; returns the first row.
    virtual int SetFirstRow(int n);

    // Spans are drawn only while this is set: the bar clears it for a new
    // date and sets it once the day's spans are all in.
    bool spansReady = false;

    // State, for the bar and for tests.
    const timeline::TimelineScale& scale() const { return m_scale; }
    const std::map<int, timeline::TimelineRow>& rows() const { return m_rows; }
    int rowCount() const { return m_rowCount; }
    int firstRow() const { return m_firstRow; }
    bool isDragging() const { return m_dragging; }
    bool zoomLabelShown() const { return m_zoomLabelShown; }
    // Where the parts lie at the current size and margin.
    timeline::TimelineGeometry timelineGeometry() const;
    CXeScrollBar* rowScrollBar() const { return m_rowScrollBar.get(); }
    // The row scroll bar's range and page as last set, and its position.
    const timeline::RowScrollSetting& rowScroll() const { return m_rowScroll; }
    int rowScrollPos() const { return m_rowScrollPos; }

    platform::LRESULT windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) override;

protected:
    bool onCreate() override;
    void onDestroy() override;
    void onTimer(std::uint32_t id) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // After a level change: recentre, tell the parent, show the zoom label,
    // place the cursor, Refresh.
    void zoomSteps();
    // Tells the parent the view start when the scale says so.
    void noticeView(bool tell);
    platform::WindowHandle parentHandle() const;
    void rebuildRows();
    void shiftView(timeline::TimelineScale::Direction direction, std::int64_t seconds);

    // The row scroll bar.
    void createRowScrollBar();
    void placeRowScrollBar();
    void applyRowScrollSetting();
    void onRowScroll(std::uint32_t code, int trackPosition);

    // Painting (CControlPlayerPaint.cpp).
    void paintRuler(QPainter& p, const timeline::TimelineGeometry& g);
    void paintRows(QPainter& p, const timeline::TimelineGeometry& g);
    void paintRow(QPainter& p, const timeline::TimelineRow& row, const timeline::TimelineRect& rect,
                  const QColor& background, std::int64_t viewStart, std::int64_t viewEnd);
    void paintCursor(QPainter& p, const timeline::TimelineGeometry& g);
    void paintZoomLabel(QPainter& p, const timeline::TimelineGeometry& g);

    timeline::TimelineScale m_scale;
    // Row key -> row: 0 the overview, k >= 1 channel k - 1.
    std::map<int, timeline::TimelineRow> m_rows;
    int m_rowCount = 4;
    int m_firstRow = 1;

    // Input state.
    bool m_dragging = false;     // a button is held after a press; playback does not move the cursor
    bool m_cursorArmed = false;  // the left press was in the rows: moves drag the cursor
    bool m_panArmed = false;     // the right button pans
    int m_panAnchorX = 0;
    timeline::TimelineScale::Direction m_autoScrollDirection = timeline::TimelineScale::Direction::Later;
    int m_autoScrollSpeed = 0;  // seconds per tick of the auto-scroll timer
    bool m_zoomLabelShown = false;

    // The row scroll bar and the setting it was given (range, page) with
    // the position it was put at.
    std::unique_ptr<CXeScrollBar> m_rowScrollBar;
    timeline::RowScrollSetting m_rowScroll{false, 0, 1, 2};
    int m_rowScrollPos = 0;

    // Drawing resources and reusable scratch for painting.
    QFont m_rulerFont;
    QFont m_cursorFont;
    QFont m_zoomFont;
    timeline::TimelineRuler m_ruler;
    timeline::SpanRaster m_raster;
    QImage m_spanBlock;  // one row's span pixels, reused between paints
};
