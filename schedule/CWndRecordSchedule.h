// SPDX-License-Identifier: GPL-3.0-or-later
// The record schedule page of the control (child window id 206): three brush
// radio buttons over the week grid (CXGrid). The page loads a week's
// schedule text into it and reads it back; the user paints the grid with
// the selected brush or double-clicks a day to enter exact times. Mode 0
// offers the brushes none and alarm, mode 1 none, normal and alarm.
// UI thread only.
#pragma once

#include "platform/Window.h"
#include "schedule/CXGrid.h"

#include <QColor>
#include <QString>

#include <array>

class LanguageTable;
class QRadioButton;

class CWndRecordSchedule : public platform::CWnd {
public:
    enum Result { kLoaded = 0, kBadMode = 1, kBadText = 2 };

    // Control identifiers of the brush buttons none, normal and alarm.
    static constexpr int kNoneButtonId = 311;
    static constexpr int kNormalButtonId = 312;
    static constexpr int kAlarmButtonId = 313;
    // Where the grid sits in the window, and its size (cells of 10 x 30).
    static constexpr int kGridLeft = 10;
    static constexpr int kGridTop = 50;
    static constexpr int kGridWidth = 580;
    static constexpr int kGridHeight = 235;

    CWndRecordSchedule();
    ~CWndRecordSchedule() override;

    // Not owned; day names and brush captions are looked up when drawn.
    void setLanguageTable(LanguageTable* table);
    LanguageTable* languageTable() const { return m_language; }

    // Loads a week's schedule text for a mode. kBadMode for a mode other
    // than 0 or 1. Otherwise the mode is applied and its brush selected
    // (alarm in mode 0, normal in mode 1); then kBadText, with the grid
    // unchanged, for a text that is too long, unparsable or breaks a rule
    // of the schedule text (schedule/ScheduleText.h); else kLoaded.
    int setSchedule(int mode, const QString& text);
    // The week's schedule text in the current mode.
    QString schedule() const;
    // Mode 0 or 1 (other values are ignored): shows the "normal" button in
    // mode 1, hides it in mode 0, and lays the buttons out again.
    void setMode(int mode);
    // Brush type: 1 normal, 2 alarm, anything else none (0). Checks its
    // button and unchecks the others.
    void selectBrush(int type);

    int mode() const { return m_mode; }
    int paintType() const { return m_paintType; }
    // The colour of the selected brush.
    QColor brushColour() const;

    CXGrid& grid() { return m_grid; }
    const CXGrid& grid() const { return m_grid; }
    // The button of a brush type (0, 1 or 2).
    QRadioButton* brushButton(int type) const { return m_buttons[static_cast<std::size_t>(type)]; }

    // Looks the brush captions and the day names up again and repaints:
    // after a text of the language table was replaced.
    void refreshTexts();

protected:
    bool onCreate() override;
    void onDestroy() override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void layOutButtons();
    void applyCaptions();

    LanguageTable* m_language = nullptr;
    int m_mode = 0;
    int m_paintType = 0;
    CXGrid m_grid;
    std::array<QRadioButton*, 3> m_buttons{};  // children: none, normal, alarm
};
