// SPDX-License-Identifier: GPL-3.0-or-later
// The stacking order of the host's top-level windows (the control, its
// popups, tooltips and dialogs), shared by the grabber and the input
// injector so that what a picture shows on top is also what takes a click.
//
// The offscreen platform keeps no stacking order of its own. The order here
// is the one a desktop gives these windows: ordinary windows at the bottom,
// then dialogs and tools, modal windows above them, popups above those and
// tooltips on top; within a level, the window shown last is highest.
#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPoint>

class QWindow;

namespace host {

class WindowStack : public QObject {
public:
    // Watches the application's windows being shown. UI thread only.
    explicit WindowStack(QObject* parent = nullptr);
    ~WindowStack() override;

    // Visible top-level windows, bottom first. UI thread only.
    QList<QWindow*> stacked() const;

    // The window that takes the mouse at a global point: the highest visible
    // one containing it, skipping tooltips and windows transparent for input;
    // nullptr when there is none. UI thread only.
    QWindow* mouseTargetAt(const QPoint& globalPos) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    mutable QHash<const QWindow*, quint64> m_shownAt;  // UI thread only; pruned in stacked()
    quint64 m_showCount = 0;
};

}  // namespace host
