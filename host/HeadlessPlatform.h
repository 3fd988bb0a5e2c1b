// SPDX-License-Identifier: GPL-3.0-or-later
// Chooses Qt's platform before the application object exists: the desktop's
// when there is a display, else the offscreen platform with a screen of
// exactly the control's size, the control filling it.
//
// The page shows the control's area and nothing else, so that area is the
// whole screen: Qt then keeps every menu, drop-down list and tooltip on it
// (flipping a menu opened near an edge, as on a desktop), centres dialogs
// over the control and makes "full screen" cover the control's area. On a
// larger screen these would open partly or wholly where the page cannot
// show them. (The offscreen default, 800x800, would not even hold a
// 960x540 control.)
#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QTemporaryFile>

#include <memory>

namespace host {

struct PlatformChoice {
    bool headless = false;
    // The offscreen screen's configuration; must live until the application
    // object has been constructed (the platform reads it then).
    std::unique_ptr<QTemporaryFile> configFile;

    // Once the application object exists: deletes the configuration and
    // gives QT_QPA_PLATFORM back its former value, so that programs the
    // host starts do not inherit a platform pointing at a deleted file.
    void release();

    bool environmentChanged = false;
    QByteArray previousPlatform;  // QT_QPA_PLATFORM before the choice
    QByteArray previousNoGlx;     // QT_QPA_OFFSCREEN_NO_GLX before the choice
};

// Headless when asked, when QT_QPA_PLATFORM already names the offscreen
// platform, or when neither DISPLAY nor WAYLAND_DISPLAY is set (unless
// QT_QPA_PLATFORM names another platform). Sets QT_QPA_PLATFORM accordingly.
// False with a message when the configuration cannot be written.
// `devicePixelRatio` is the offscreen screen's (the page's): the control
// keeps its size in logical pixels and draws with that many device pixels to
// one, so its picture is sharp on the page's screen.
bool choosePlatform(bool forceHeadless, QSize controlSize, PlatformChoice& choice, QString& error,
                    double devicePixelRatio = 1.0);

}  // namespace host
