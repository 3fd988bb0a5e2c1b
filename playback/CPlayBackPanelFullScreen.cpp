// SPDX-License-Identifier: GPL-3.0-or-later
// Full screen of the playback page: the page leaves its parent and becomes a
// top-level window over the whole screen; leaving puts it back at its place.
#include "playback/CPlayBackPanel.h"

#include <QGuiApplication>
#include <QScreen>

void CPlayBackPanel::setFullScreen(bool on)
{
    if (on == m_fullScreen)
        return;
    if (on) {
        QWidget* parent = parentWidget();
        QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
        m_savedParent = parent;
        m_savedGeometry = geometry();
        setParent(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        if (parent)
            parent->hide();
        setGeometry(screen ? screen->geometry() : QRect(0, 0, 800, 600));
        show();
        activateWindow();
        m_fullScreen = true;
        return;
    }
    m_fullScreen = false;
    if (m_savedParent) {
        m_savedParent->show();
        setParent(m_savedParent, Qt::Widget);
    } else {
        setWindowFlags(Qt::Widget);
    }
    setGeometry(m_savedGeometry);
    show();
    m_savedParent = nullptr;
    if (m_bar.isFullScreen())
        m_bar.toggleFullScreen();
}
