// SPDX-License-Identifier: GPL-3.0-or-later
// The record schedule page of the control (child window id 206). For now it
// keeps the schedule mode (0: none/alarm brushes, 1: none/normal/alarm) and
// the brush; the weekly grid that holds, paints and exchanges the schedule
// fills it in later.
#pragma once

#include "platform/Window.h"

#include <QString>

class LanguageTable;

class CWndRecordSchedule : public platform::CWnd {
public:
    enum Result { kLoaded = 0, kBadMode = 1, kBadText = 2 };

    CWndRecordSchedule();
    ~CWndRecordSchedule() override;

    // Not owned; day names and brush captions are looked up when drawn.
    void setLanguageTable(LanguageTable* table) { m_language = table; }
    LanguageTable* languageTable() const { return m_language; }

    // Loads a week's schedule text for a mode: kBadMode for a mode other
    // than 0 or 1; otherwise the mode is applied and its brush selected.
    int setSchedule(int mode, const QString& text);
    // The week's schedule text; empty while there is no grid to hold it.
    QString schedule() const;
    // Mode 0 or 1; other values are ignored.
    void setMode(int mode);
    // Brush type: 1 normal, 2 alarm, anything else none (0).
    void selectBrush(int type);

    int mode() const { return m_mode; }
    int paintType() const { return m_paintType; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LanguageTable* m_language = nullptr;
    int m_mode = 0;
    int m_paintType = 0;
};
