// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/WindowStack.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QWindow>

#include <algorithm>

namespace host {

namespace {

int stackLevel(const QWindow* window)
{
    switch (window->type()) {
    case Qt::ToolTip:
    case Qt::SplashScreen:
        return 4;
    case Qt::Popup:
        return 3;
    default:
        break;
    }
    if (window->modality() != Qt::NonModal)
        return 2;
    switch (window->type()) {
    case Qt::Dialog:
    case Qt::Sheet:
    case Qt::Drawer:
    case Qt::Tool:
        return 1;
    default:
        return 0;
    }
}

}  // namespace

WindowStack::WindowStack(QObject* parent) : QObject(parent)
{
    QCoreApplication::instance()->installEventFilter(this);
}

WindowStack::~WindowStack()
{
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::instance()->removeEventFilter(this);
}

bool WindowStack::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched->isWindowType())
        m_shownAt[static_cast<QWindow*>(watched)] = ++m_showCount;
    return false;
}

QList<QWindow*> WindowStack::stacked() const
{
    const QWindowList all = QGuiApplication::topLevelWindows();
    QList<QWindow*> windows;
    for (QWindow* window : all) {
        if (window->isVisible() && window->type() != Qt::Desktop)
            windows.append(window);
    }
    // Forget windows that no longer exist.
    for (auto it = m_shownAt.begin(); it != m_shownAt.end();) {
        if (all.contains(const_cast<QWindow*>(it.key())))
            ++it;
        else
            it = m_shownAt.erase(it);
    }
    // Windows shown before the stack was watching keep their creation order
    // (topLevelWindows() order) below those seen being shown.
    std::stable_sort(windows.begin(), windows.end(), [this](const QWindow* a, const QWindow* b) {
        const int levelA = stackLevel(a);
        const int levelB = stackLevel(b);
        if (levelA != levelB)
            return levelA < levelB;
        return m_shownAt.value(a, 0) < m_shownAt.value(b, 0);
    });
    return windows;
}

QWindow* WindowStack::mouseTargetAt(const QPoint& globalPos) const
{
    const QList<QWindow*> windows = stacked();
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        QWindow* window = *it;
        if (window->type() == Qt::ToolTip || window->flags().testFlag(Qt::WindowTransparentForInput))
            continue;
        if (window->geometry().contains(globalPos))
            return window;
    }
    return nullptr;
}

}  // namespace host
