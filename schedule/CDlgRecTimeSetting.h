// SPDX-License-Identifier: GPL-3.0-or-later
// The record time dialog (resource 205, "Schedule"): up to eight periods of
// one day, each a row of a check box (marks the row for deletion), start and
// end time pickers and, in schedule mode 1, a record type list; "ADD",
// "Delelte" and "OK". On "OK" with every start before its end it sends
// WM_GRID_DAY_EDITED (wParam = day) to the grid that opened it and closes.
// All Qt-drawn, so it shows in the page like every other popup of the
// control. UI thread only.
#pragma once

#include "platform/Window.h"
#include "schedule/RecTimePeriods.h"

#include <QDialog>

#include <array>

class LanguageTable;
class QCheckBox;
class QComboBox;
class QLabel;
class QMessageBox;
class QPushButton;
class QTimeEdit;

class CDlgRecTimeSetting : public QDialog {
public:
    static constexpr int kRows = schedule::RecTimePeriods::kMaxRows;
    // Control identifiers of the dialog's template.
    static constexpr int kFirstCheckBoxId = 201;
    static constexpr int kFirstStartPickerId = 209;
    static constexpr int kFirstEndPickerId = 217;
    static constexpr int kFirstTypeListId = 225;
    static constexpr int kDayTextId = 233;
    static constexpr int kAddButtonId = 319;
    static constexpr int kDeleteButtonId = 320;
    static constexpr int kOkButtonId = 321;

    explicit CDlgRecTimeSetting(QWidget* parent = nullptr);
    ~CDlgRecTimeSetting() override;

    // All runs of the day; type-0 runs are dropped, the rest kept up to eight.
    void setPeriods(const schedule::DayPeriods& runs) { m_periods.setPeriods(runs); }
    // The periods of the rows in use, in order.
    const schedule::DayPeriods& periods() const { return m_periods.periods(); }
    int count() const { return m_periods.count(); }

    // Mode 0: every period is an alarm period, no type column; 1: typed.
    void setMode(int mode) { m_mode = mode == schedule::kModeTyped ? mode : schedule::kModeAlarmOnly; }
    int mode() const { return m_mode; }
    void setReceiver(platform::WindowHandle receiver) { m_receiver = receiver; }
    void setLanguageTable(LanguageTable* table) { m_language = table; }
    void setDay(int day) { m_day = day; }
    int day() const { return m_day; }

    // Sets the texts (when a language table is attached), fills the rows and
    // shows the dialog application-modal. Returns at once.
    void openModal();

    // What the three buttons do.
    void addRow();
    void deleteCheckedRows();
    // Validates; on success tells the receiver and closes with the OK result.
    void confirm();

    // The dialog's widgets, for tests and the page's automation of it.
    QCheckBox* checkBox(int row) const { return m_checkBoxes[static_cast<std::size_t>(row)]; }
    QTimeEdit* startPicker(int row) const { return m_startPickers[static_cast<std::size_t>(row)]; }
    QTimeEdit* endPicker(int row) const { return m_endPickers[static_cast<std::size_t>(row)]; }
    QComboBox* typeList(int row) const { return m_typeLists[static_cast<std::size_t>(row)]; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* deleteButton() const { return m_delete; }
    QPushButton* okButton() const { return m_ok; }
    QLabel* dayText() const { return m_dayText; }
    // The start-after-end warning, once it was shown; nullptr before.
    QMessageBox* warning() const { return m_warning; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void done(int result) override;

private:
    void placeOverOwner();
    void applyTexts();
    void fillRows();
    void fillRow(int row, const schedule::SchedulePeriod& period);
    void updateButtons();
    void layOut();
    // Reads the rows into the periods; with check, refuses (and warns) when
    // a start is not before its end.
    bool collect(bool check);
    void showTimeInputWarning();

    schedule::RecTimePeriods m_periods;
    int m_mode = schedule::kModeAlarmOnly;
    platform::WindowHandle m_receiver = 0;
    LanguageTable* m_language = nullptr;
    int m_day = 0;
    bool m_laidOut = false;
    // Set while rows are filled, so that the pickers' change signals do not
    // collect half-filled rows.
    bool m_filling = false;

    std::array<QCheckBox*, kRows> m_checkBoxes{};
    std::array<QTimeEdit*, kRows> m_startPickers{};
    std::array<QTimeEdit*, kRows> m_endPickers{};
    std::array<QComboBox*, kRows> m_typeLists{};
    QLabel* m_dayText = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_ok = nullptr;
    QMessageBox* m_warning = nullptr;  // child of the dialog, made when first needed
};
