// SPDX-License-Identifier: GPL-3.0-or-later
// The week grid of the schedule page (control id 2064): seven day rows by
// 48 half-hour columns over a store of one byte per second. The user paints
// it by dragging with the selected brush and double-clicks a day to enter
// its periods as exact times in the record time dialog, which answers with
// WM_GRID_DAY_EDITED. The store, the runs and the drag maths live in plain
// classes (ScheduleStore, GridGeometry, GridDrag); this window draws them
// and routes input to them. UI thread only.
#pragma once

#include "platform/Window.h"
#include "schedule/GridDrag.h"
#include "schedule/GridGeometry.h"
#include "schedule/ScheduleStore.h"

#include <cstdint>
#include <memory>

class LanguageTable;
class CDlgRecTimeSetting;

class CXGrid : public platform::CWnd {
public:
    static constexpr int kControlId = 2064;

    CXGrid();
    ~CXGrid() override;

    // Rows (days) and half-hour columns; the class defaults are 8 and 25,
    // the schedule window sets 7 and 48.
    void setRowsColumns(int rows, int columns);
    int rows() const { return m_rows; }
    int columns() const { return m_columns; }

    // Not owned; with a table the day labels and row lines are drawn.
    void setLanguageTable(LanguageTable* table) { m_language = table; }
    // Schedule mode 0 or 1, handed to the record time dialog.
    void setMode(int mode) { m_mode = mode; }
    int mode() const { return m_mode; }
    // The brush of the next drag: 0 none, 1 normal, 2 alarm.
    void setPaintType(std::uint8_t type) { m_paintType = type; }
    std::uint8_t paintType() const { return m_paintType; }

    // Clears the day and ORs each period's type into its seconds; redraws.
    void setDayPeriods(int day, const schedule::DayPeriods& periods);
    // The runs of a day (all three kinds).
    schedule::DayPeriods dayPeriods(int day) const { return m_store.dayPeriods(day); }

    const schedule::ScheduleStore& store() const { return m_store; }
    schedule::GridGeometry cellGeometry() const;
    const schedule::GridDrag& drag() const { return m_drag; }

    // The record time dialog, made on first use and reused; nullptr before.
    CDlgRecTimeSetting* dialog() const { return m_dialog.get(); }
    // Opens the record time dialog for a day (what a double-click on the
    // day's row does). Returns at once; the dialog is modal.
    void openDayDialog(int day);
    // Closes the dialog without applying it, when it is open.
    void closeDayDialog();

    platform::LRESULT windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) override;

protected:
    bool onCreate() override;
    void onDestroy() override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // Ends a running drag and paints its span into the store (refused as a
    // whole when a day would hold more than eight periods).
    void finishDrag();
    void drawCells(QPainter& painter, const schedule::GridGeometry& geometry);
    void drawLabelsAndLines(QPainter& painter, const schedule::GridGeometry& geometry);
    void drawNarrowRuns(QPainter& painter, const schedule::GridGeometry& geometry);

    schedule::ScheduleStore m_store;
    schedule::GridDrag m_drag;
    LanguageTable* m_language = nullptr;
    int m_rows = 8;
    int m_columns = 25;
    int m_mode = 0;
    std::uint8_t m_paintType = 0;
    std::unique_ptr<CDlgRecTimeSetting> m_dialog;
};
