// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScrollBarUiSupport.h"

#include <QApplication>
#include <QCursor>
#include <QDeadlineTimer>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QStyleHints>
#include <QTest>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

namespace scrollbar_test {

using Sync = QWindowSystemInterface::SynchronousDelivery;

platform::LRESULT RecordingParent::windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam)
{
    if (msg != platform::WM_HSCROLL && msg != platform::WM_VSCROLL)
        return CWnd::windowProc(msg, wParam, lParam);
    Notification n;
    n.msg = msg;
    n.code = static_cast<int>(wParam & 0xFFFF);
    n.pos = static_cast<std::int16_t>((wParam >> 16) & 0xFFFF);
    n.bar = lParam;
    received.push_back(n);
    if (onNotify)
        onNotify(n);
    return 0;
}

std::vector<int> RecordingParent::codes() const
{
    std::vector<int> result;
    for (const Notification& n : received)
        result.push_back(n.code);
    return result;
}

int RecordingParent::count(int code) const
{
    int n = 0;
    for (const Notification& r : received)
        n += r.code == code ? 1 : 0;
    return n;
}

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

namespace {

QWindow* targetWindow(QWidget* widget, QPoint global)
{
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup->windowHandle();
    if (QWindow* window = QGuiApplication::topLevelAt(global))
        return window;
    return widget->window()->windowHandle();
}

// Event times: every press comes after the double-click interval, so that
// quick presses in a test stay single presses, as the host injects them.
ulong nextTimestamp(bool press)
{
    static ulong time = 0;
    time += press ? static_cast<ulong>(QGuiApplication::styleHints()->mouseDoubleClickInterval()) + 1 : 1;
    return time;
}

void deliverMouse(QWidget* widget, QPoint at, QEvent::Type type, Qt::MouseButton button)
{
    const QPoint global = widget->mapToGlobal(at);
    QCursor::setPos(widget->screen(), global);
    QWindow* window = targetWindow(widget, global);
    Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
    if (type == QEvent::MouseButtonPress)
        buttons |= button;
    else if (type == QEvent::MouseButtonRelease)
        buttons &= ~Qt::MouseButtons(button);
    QWindowSystemInterface::handleMouseEvent<Sync>(window, nextTimestamp(type == QEvent::MouseButtonPress),
                                                   window->mapFromGlobal(QPointF(global)), QPointF(global), buttons,
                                                   type == QEvent::MouseMove ? Qt::NoButton : button, type);
    QCoreApplication::processEvents();
}

}  // namespace

void mousePress(QWidget* widget, QPoint at, Qt::MouseButton button)
{
    deliverMouse(widget, at, QEvent::MouseButtonPress, button);
}

void mouseMove(QWidget* widget, QPoint at)
{
    deliverMouse(widget, at, QEvent::MouseMove, Qt::NoButton);
}

void mouseRelease(QWidget* widget, QPoint at, Qt::MouseButton button)
{
    deliverMouse(widget, at, QEvent::MouseButtonRelease, button);
}

void wheel(QWidget* widget, QPoint at, int angleDelta)
{
    const QPoint global = widget->mapToGlobal(at);
    QCursor::setPos(widget->screen(), global);
    QWindow* window = targetWindow(widget, global);
    QWindowSystemInterface::handleWheelEvent(window, window->mapFromGlobal(QPointF(global)), QPointF(global), QPoint(),
                                             QPoint(0, angleDelta));
    QWindowSystemInterface::flushWindowSystemEvents();
    QCoreApplication::processEvents();
}

void sendKey(QEvent::Type type, int keyCode, bool autoRepeat)
{
    QWindow* window = QGuiApplication::focusWindow();
    ASSERT_NE(window, nullptr);
    QWindowSystemInterface::handleKeyEvent<Sync>(window, type, keyCode, Qt::NoModifier, QString(), autoRepeat);
    QCoreApplication::processEvents();
}

QColor pieceColour(int stripIndex, Piece piece, bool doubled)
{
    return QColor(30 + 25 * stripIndex, 20 + 25 * static_cast<int>(piece), doubled ? 220 : 90);
}

void writeStrips(const QString& folder, int skip)
{
    struct Span {
        Piece piece;
        int from;
        int to;
    };
    const Span spans[] = {
        {Piece::FirstArrow, 0, 17}, {Piece::TrackBefore, 17, 27}, {Piece::CapStart, 27, 31},
        {Piece::Body, 31, 35},      {Piece::Grip, 35, 43},        {Piece::Body, 43, 47},
        {Piece::CapEnd, 47, 51},    {Piece::TrackAfter, 51, 61},  {Piece::SecondArrow, 61, 78},
    };
    for (int index = 0; index < CXeScrollBarSkins::kCount; ++index) {
        if (index == skip)
            continue;
        const bool horizontal = index < 4;
        for (int scale : {1, 2}) {
            const QSize size = horizontal ? QSize(78, 10) * scale : QSize(17, 78) * scale;
            QImage image(size, QImage::Format_RGB32);
            QPainter painter(&image);
            for (const Span& s : spans) {
                const int from = s.from * scale;
                const int length = (s.to - s.from) * scale;
                const QRect r = horizontal ? QRect(from, 0, length, size.height()) : QRect(0, from, size.width(), length);
                painter.fillRect(r, pieceColour(index, s.piece, scale == 2));
            }
            painter.end();
            const QString suffix = scale == 2 ? QStringLiteral("@2x.png") : QStringLiteral(".png");
            ASSERT_TRUE(image.save(folder + CXeScrollBarSkins::name(index) + suffix, "PNG"));
        }
    }
}

void ScrollBarFixture::SetUp()
{
    ASSERT_TRUE(strips.isValid());
    writeStrips(strips.path() + "/");
    CXeScrollBarSkins::setSourceForTests(strips.path() + "/", 1.0);
    parent = std::make_unique<RecordingParent>();
    ASSERT_TRUE(parent->createWindow(nullptr, QRect(50, 50, 400, 300), 0, true));
    parent->setAutoFillBackground(true);
    QPalette palette = parent->palette();
    palette.setColor(QPalette::Window, QColor(1, 2, 3));
    parent->setPalette(palette);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(parent.get()));
    parent->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(parent.get()));
}

void ScrollBarFixture::TearDown()
{
    // Let go of anything a failed test left pressed.
    if (QGuiApplication::mouseButtons() != Qt::NoButton && bar)
        mouseRelease(bar.get(), QPoint(0, 0));
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    bar.reset();
    parent.reset();
    CXeScrollBarSkins::setSourceForTests(QString(), 0);
}

TestBar& ScrollBarFixture::createBar(std::uint32_t style, const QRect& rect)
{
    bar = std::make_unique<TestBar>();
    EXPECT_TRUE(bar->Create(style, rect, parent.get(), 77));
    return *bar;
}

void ScrollBarFixture::setRange(int minimum, int maximum, unsigned page, int pos)
{
    ScrollInfo info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = minimum;
    info.nMax = maximum;
    info.nPage = page;
    info.nPos = pos;
    bar->SetScrollInfo(info);
}

QPoint ScrollBarFixture::along(int distance) const
{
    const widgets::ScrollBarLayout& l = bar->layout();
    return l.horizontal() ? QPoint(distance, l.thickness() / 2) : QPoint(l.thickness() / 2, distance);
}

QPoint ScrollBarFixture::centreOf(widgets::ScrollPart part) const
{
    return bar->layout().partRect(part).center();
}

}  // namespace scrollbar_test
