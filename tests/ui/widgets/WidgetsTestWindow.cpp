// SPDX-License-Identifier: GPL-3.0-or-later
#include "WidgetsTestWindow.h"

#include "widgets/CGdipButton.h"
#include "widgets/CMemDC.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QStyleHints>
#include <QTest>
#include <QWindow>
#include <private/qhighdpiscaling_p.h>
#include <qpa/qwindowsysteminterface.h>

#include <ostream>

namespace {
using Sync = QWindowSystemInterface::SynchronousDelivery;
}  // namespace

void PrintTo(const PostedMessage& m, std::ostream* out)
{
    *out << "{msg 0x" << std::hex << m.msg << std::dec << ", wParam " << m.wParam << ", lParam " << m.lParam << "}";
}

WidgetsTestWindow::WidgetsTestWindow() = default;

bool WidgetsTestWindow::open()
{
    if (!createWindow(nullptr, QRect(40, 40, 320, 200), 1, true))
        return false;
    if (!QTest::qWaitForWindowExposed(this))
        return false;
    QWindowSystemInterface::handleWindowActivated<Sync>(windowHandle(), Qt::ActiveWindowFocusReason);
    return QTest::qWaitForWindowActive(this);
}

void WidgetsTestWindow::setBackground(const QColor& colour)
{
    m_background = colour;
    update();
}

std::vector<PostedMessage> WidgetsTestWindow::takeMessages()
{
    QCoreApplication::sendPostedEvents();
    return std::exchange(m_messages, {});
}

platform::LRESULT WidgetsTestWindow::windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam)
{
    m_messages.push_back({msg, wParam, lParam});
    return 0;
}

void WidgetsTestWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    CMemDC mem(&painter, rect(), CMemDC::Start::Background, m_background);
    for (CGdipButton* button : m_buttons)
        button->CopyBackground(mem.painter());
}

ulong WidgetsTestWindow::nextTimestamp(bool freshPress)
{
    ulong t = m_lastTimestamp + 1;
    if (freshPress && m_lastPress != 0)
        t = std::max(t, m_lastPress + static_cast<ulong>(QGuiApplication::styleHints()->mouseDoubleClickInterval()) + 1);
    m_lastTimestamp = t;
    return t;
}

void WidgetsTestWindow::mouse(QWidget& widget, QPoint at, QEvent::Type type, Qt::MouseButtons buttons,
                              ulong timestamp)
{
    const QPoint local = widget.mapTo(this, at);
    const QPoint global = mapToGlobal(local);
    QCursor::setPos(global);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    // The window system speaks in device pixels; Qt scales them down.
    QWindow* window = windowHandle();
    QWindowSystemInterface::handleMouseEvent<Sync>(window, timestamp,
                                                   QHighDpi::toNativeLocalPosition(QPointF(local), window),
                                                   QHighDpi::toNativeGlobalPosition(QPointF(global), window),
                                                   buttons, button, type);
}

void WidgetsTestWindow::move(QWidget& widget, QPoint at)
{
    const Qt::MouseButtons held = QGuiApplication::mouseButtons();
    mouse(widget, at, QEvent::MouseMove, held, nextTimestamp(false));
}

void WidgetsTestWindow::press(QWidget& widget, QPoint at)
{
    m_lastPress = nextTimestamp(true);
    mouse(widget, at, QEvent::MouseButtonPress, Qt::LeftButton, m_lastPress);
}

void WidgetsTestWindow::release(QWidget& widget, QPoint at)
{
    mouse(widget, at, QEvent::MouseButtonRelease, Qt::NoButton, nextTimestamp(false));
}

void WidgetsTestWindow::click(QWidget& widget, QPoint at)
{
    press(widget, at);
    release(widget, at);
}

void WidgetsTestWindow::doubleClick(QWidget& widget, QPoint at)
{
    click(widget, at);
    // The second press right after the first: Qt makes it a double click.
    mouse(widget, at, QEvent::MouseButtonPress, Qt::LeftButton, nextTimestamp(false));
    release(widget, at);
}

void WidgetsTestWindow::key(Qt::Key key)
{
    QWindowSystemInterface::handleKeyEvent<Sync>(windowHandle(), QEvent::KeyPress, key, Qt::NoModifier);
    QWindowSystemInterface::handleKeyEvent<Sync>(windowHandle(), QEvent::KeyRelease, key, Qt::NoModifier);
}

QColor pictureColour(QWidget& widget, QPoint at)
{
    const QPixmap picture = widget.grab();
    return picture.toImage().pixelColor((QPointF(at) * picture.devicePixelRatio()).toPoint());
}

QColor shownColour(QWidget& topLevel, QWidget& child, QPoint at)
{
    const QPixmap picture = topLevel.grab();
    const QPoint point = child.mapTo(&topLevel, at);
    return picture.toImage().pixelColor((QPointF(point) * picture.devicePixelRatio()).toPoint());
}

void PrintTo(const QColor& colour, std::ostream* out)
{
    *out << "rgba(" << colour.red() << ", " << colour.green() << ", " << colour.blue() << ", " << colour.alpha() << ")";
}
