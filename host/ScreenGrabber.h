// SPDX-License-Identifier: GPL-3.0-or-later
// A picture of what the user sees of the control: the control's rectangle
// on its screen, with every popup, tooltip and dialog that covers part of it.
//
// The picture is always the control's own size. A popup that extends beyond
// the control is cut at the control's edge, as the page shows only the
// control's area. Where no window covers the rectangle the picture is black.
#pragma once

#include <QImage>

class QWidget;

namespace host {

class WindowStack;

class ScreenGrabber {
public:
    ScreenGrabber(QWidget& control, const WindowStack& stack);

    // Paints pending updates first, so that the picture shows the state the
    // last call or input left. UI thread only.
    QImage grab() const;

private:
    QImage composeWindows(const QRect& area) const;

    QWidget& m_control;
    const WindowStack& m_stack;
};

}  // namespace host
