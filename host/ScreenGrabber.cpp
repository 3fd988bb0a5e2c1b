// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/ScreenGrabber.h"

#include "host/WindowStack.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace host {

ScreenGrabber::ScreenGrabber(QWidget& control, const WindowStack& stack) : m_control(control), m_stack(stack) {}

QImage ScreenGrabber::grab() const
{
    // Deliver pending repaints only (not other posted events: a grab must not
    // run other requests or input in the middle of itself).
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateLater);

    const QRect area(m_control.mapToGlobal(QPoint(0, 0)), m_control.size());
    if (area.isEmpty())
        return QImage();

    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return composeWindows(area);

    // A real display composes the windows itself.
    QScreen* screen = m_control.screen();
    if (screen == nullptr)
        return QImage();
    const QPoint origin = area.topLeft() - screen->geometry().topLeft();
    QImage image = screen->grabWindow(0, origin.x(), origin.y(), area.width(), area.height()).toImage();
    return image.convertToFormat(QImage::Format_RGB32);
}

// Composes the windows over the area, bottom first, from their own backing
// stores. Grabbing the whole offscreen screen would leave the pixels that no
// window covers uninitialised, and would stack windows by creation order.
QImage ScreenGrabber::composeWindows(const QRect& area) const
{
    QList<QWindow*> over;
    for (QWindow* window : m_stack.stacked()) {
        if (window->isExposed() && window->geometry().intersects(area) && window->screen() != nullptr)
            over << window;
    }
    // The usual case, the control alone and covering the area exactly: its
    // backing store is the picture, without painting it onto black first
    // (at full HD each of those passes is 8 MB).
    // The picture has the screen's device pixels (a page on a 2x screen
    // gets a sharp picture of twice the control's size).
    const qreal ratio = m_control.devicePixelRatioF();
    const QSize pixels = (QSizeF(area.size()) * ratio).toSize();
    if (over.size() == 1 && over.first()->geometry() == area) {
        const QImage picture = over.first()->screen()->grabWindow(over.first()->winId()).toImage();
        if (picture.size() == pixels)
            return picture.format() == QImage::Format_RGB32 ? picture : picture.convertToFormat(QImage::Format_RGB32);
    }

    QImage image(pixels, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    QPainter painter(&image);
    for (QWindow* window : over) {
        const QRect geometry = window->geometry();
        const QPixmap picture = window->screen()->grabWindow(window->winId());
        if (!picture.isNull())
            painter.drawPixmap(geometry.topLeft() - area.topLeft(), picture);
    }
    painter.end();
    return image;
}

}  // namespace host
