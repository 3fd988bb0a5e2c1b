// SPDX-License-Identifier: GPL-3.0-or-later
// A top-level parent window for widget tests: it paints a plain background
// through a CMemDC, hands it to the image buttons it is told about, and
// records every private message it is posted. Input reaches it as it would
// from a window system, through QWindowSystemInterface with explicit
// timestamps (so double clicks are decided by time, as with a real mouse).
#pragma once

#include "platform/Window.h"

#include <QColor>
#include <QEvent>
#include <QImage>

#include <cstdint>
#include <ostream>
#include <vector>

class CGdipButton;

struct PostedMessage {
    std::uint32_t msg;
    platform::WPARAM wParam;
    platform::LPARAM lParam;
    bool operator==(const PostedMessage&) const = default;
};
void PrintTo(const PostedMessage& m, std::ostream* out);

class WidgetsTestWindow : public platform::CWnd {
public:
    WidgetsTestWindow();
    // Shown at (40, 40), 320 x 200; false when it never gets exposed.
    bool open();

    void setBackground(const QColor& colour);
    // Buttons that are handed the background when this window paints.
    void handBackgroundTo(CGdipButton* button) { m_buttons.push_back(button); }

    // Delivers what was posted so far and returns it; the record starts
    // anew.
    std::vector<PostedMessage> takeMessages();

    // Mouse input at a point of a child widget; the button is the left one.
    void move(QWidget& widget, QPoint at);
    void press(QWidget& widget, QPoint at);
    void release(QWidget& widget, QPoint at);
    void click(QWidget& widget, QPoint at);
    void doubleClick(QWidget& widget, QPoint at);
    // A key press and release to the focus widget.
    void key(Qt::Key key);

    platform::LRESULT windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void mouse(QWidget& widget, QPoint at, QEvent::Type type, Qt::MouseButtons buttons, ulong timestamp);
    // A timestamp after every earlier one; a fresh press also lies beyond
    // the double-click interval of the last press.
    ulong nextTimestamp(bool freshPress);

    QColor m_background{40, 60, 80};
    std::vector<CGdipButton*> m_buttons;
    std::vector<PostedMessage> m_messages;
    ulong m_lastTimestamp = 1000;
    ulong m_lastPress = 0;
};

// The colour of a widget's own picture (QWidget::grab) at a logical point,
// whatever its device pixel ratio.
QColor pictureColour(QWidget& widget, QPoint at);
// The colour the parent window shows at a point of one of its children
// (the child drawn over the parent's painting).
QColor shownColour(QWidget& topLevel, QWidget& child, QPoint at);

// Colours in failure messages.
void PrintTo(const QColor& colour, std::ostream* out);
