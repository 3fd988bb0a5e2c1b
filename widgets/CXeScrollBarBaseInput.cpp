// SPDX-License-Identifier: GPL-3.0-or-later
// CXeScrollBarBase: mouse, wheel, keys, focus blink, auto-repeat timers and
// the context menu.
#include "widgets/CXeScrollBarBase.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cstdlib>
#include <optional>

using platform::ScrollCode;
using widgets::ScrollPart;

namespace {

// The code a press on an arrow or a track part sends, and repeats.
std::optional<ScrollCode> codeOfPart(ScrollPart part)
{
    switch (part) {
    case ScrollPart::FirstArrow:
        return platform::SB_LINEUP;
    case ScrollPart::SecondArrow:
        return platform::SB_LINEDOWN;
    case ScrollPart::TrackBefore:
        return platform::SB_PAGEUP;
    case ScrollPart::TrackAfter:
        return platform::SB_PAGEDOWN;
    case ScrollPart::Thumb:
    case ScrollPart::None:
        break;
    }
    return std::nullopt;
}

std::optional<ScrollCode> codeOfKey(int key)
{
    switch (key) {
    case Qt::Key_PageUp:
        return platform::SB_PAGEUP;
    case Qt::Key_PageDown:
        return platform::SB_PAGEDOWN;
    case Qt::Key_End:
        return platform::SB_BOTTOM;
    case Qt::Key_Home:
        return platform::SB_TOP;
    case Qt::Key_Left:
    case Qt::Key_Up:
        return platform::SB_LINEUP;
    case Qt::Key_Right:
    case Qt::Key_Down:
        return platform::SB_LINEDOWN;
    default:
        return std::nullopt;
    }
}

std::optional<ScrollCode> codeOfCommand(int command)
{
    switch (command) {
    case CXeScrollBarBase::kCmdLineUp:
        return platform::SB_LINEUP;
    case CXeScrollBarBase::kCmdLineDown:
        return platform::SB_LINEDOWN;
    case CXeScrollBarBase::kCmdPageUp:
        return platform::SB_PAGEUP;
    case CXeScrollBarBase::kCmdPageDown:
        return platform::SB_PAGEDOWN;
    case CXeScrollBarBase::kCmdTop:
        return platform::SB_TOP;
    case CXeScrollBarBase::kCmdBottom:
        return platform::SB_BOTTOM;
    default:
        return std::nullopt;
    }
}

constexpr int kWheelStep = 120;

}  // namespace

ScrollPart CXeScrollBarBase::partUnderCursor() const
{
    return m_layout.hitTest(mapFromGlobal(QCursor::pos(screen())));
}

void CXeScrollBarBase::setHover(ScrollPart part)
{
    if (part == m_hoverPart)
        return;
    m_hoverPart = part;
    update();
}

void CXeScrollBarBase::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_pressedPart != ScrollPart::None) {
        CWnd::mousePressEvent(event);
        return;
    }
    if (isTabStop())
        setFocus(Qt::MouseFocusReason);
    const QPoint point = event->position().toPoint();
    const ScrollPart part = m_layout.hitTest(point);
    m_pressedPart = part;
    if (part == ScrollPart::Thumb) {
        m_grabOffset = m_layout.along(point) - m_layout.thumbStart();
        m_dragThumbStart = m_layout.thumbStart();
        m_thumbMoved = false;
        m_trackPosition = m_range.position();
    } else if (const std::optional<ScrollCode> code = codeOfPart(part)) {
        m_endScrollPending = true;
        if (!notify(*code))
            return;
        if (m_pressedPart == part)  // the parent may have ended the press
            setTimerById(kTimerFirstRepeat, kFirstRepeatMs);
    }
    update();
}

void CXeScrollBarBase::onTimer(std::uint32_t id)
{
    switch (id) {
    case kTimerFirstRepeat:
        killTimerById(kTimerFirstRepeat);
        setTimerById(kTimerRepeat, kRepeatMs);
        [[fallthrough]];
    case kTimerRepeat: {
        setHover(partUnderCursor());
        // Repeats only while the pointer stays on the pressed part: a track
        // press stops once the thumb has reached the pointer.
        const std::optional<ScrollCode> code = codeOfPart(m_pressedPart);
        if (code && m_hoverPart == m_pressedPart)
            notify(*code);
        break;
    }
    case kTimerBlink:
        m_focusBlink = !m_focusBlink;
        update();
        break;
    default:
        CWnd::onTimer(id);
        break;
    }
}

void CXeScrollBarBase::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    const ScrollPart oldHover = m_hoverPart;
    const QRect oldThumb = m_layout.partRect(ScrollPart::Thumb);
    m_hoverPart = m_layout.hitTest(point);
    if (m_pressedPart == ScrollPart::Thumb && m_layout.pixelsPerUnit() > 0.0) {
        const int along = m_layout.along(point);
        const int pos = m_layout.dragPosition(along, m_grabOffset);
        m_layout.moveThumbTo(along - m_grabOffset);
        m_dragThumbStart = m_layout.thumbStart();
        if (!m_thumbMoved || pos != m_trackPosition) {
            m_thumbMoved = true;
            m_endScrollPending = true;
            m_trackPosition = pos;
            if (!notify(platform::SB_THUMBTRACK, pos))
                return;
        }
    }
    if (m_hoverPart != oldHover || m_layout.partRect(ScrollPart::Thumb) != oldThumb)
        update();
}

void CXeScrollBarBase::leaveEvent(QEvent* event)
{
    CWnd::leaveEvent(event);
    setHover(ScrollPart::None);
}

void CXeScrollBarBase::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        CWnd::mouseReleaseEvent(event);
        return;
    }
    endPress();
}

void CXeScrollBarBase::CancelMode()
{
    if (m_pressedPart != ScrollPart::None)
        endPress();
}

void CXeScrollBarBase::endPress()
{
    killTimerById(kTimerFirstRepeat);
    killTimerById(kTimerRepeat);
    const bool moved = m_thumbMoved;
    const bool pending = m_endScrollPending;
    m_pressedPart = ScrollPart::None;
    m_thumbMoved = false;
    m_endScrollPending = false;
    if (moved) {
        if (!notify(platform::SB_THUMBPOSITION, m_trackPosition))
            return;
        recalcLayout();
    }
    if (pending && !notify(platform::SB_ENDSCROLL))
        return;
    update();
}

void CXeScrollBarBase::wheelEvent(QWheelEvent* event)
{
    if (m_horizontal) {
        event->ignore();
        return;
    }
    event->accept();
    const int delta = event->angleDelta().y();
    if (delta > -kWheelStep && delta < kWheelStep)
        return;
    const ScrollCode code = delta > 0 ? platform::SB_LINEUP : platform::SB_LINEDOWN;
    for (int i = 0; i < std::abs(delta) / kWheelStep; ++i) {
        if (!notify(code))
            return;
    }
    notify(platform::SB_ENDSCROLL);
}

void CXeScrollBarBase::keyPressEvent(QKeyEvent* event)
{
    const std::optional<ScrollCode> code = codeOfKey(event->key());
    if (!code) {
        CWnd::keyPressEvent(event);
        return;
    }
    event->accept();
    m_endScrollPending = true;
    notify(*code);
}

void CXeScrollBarBase::keyReleaseEvent(QKeyEvent* event)
{
    // A held key repeats as release and press pairs marked auto-repeat; the
    // end comes with the real release.
    if (event->isAutoRepeat() || !m_endScrollPending || m_pressedPart != ScrollPart::None) {
        CWnd::keyReleaseEvent(event);
        return;
    }
    event->accept();
    m_endScrollPending = false;
    notify(platform::SB_ENDSCROLL);
}

void CXeScrollBarBase::focusInEvent(QFocusEvent* event)
{
    CWnd::focusInEvent(event);
    m_focusBlink = false;
    setTimerById(kTimerBlink, kBlinkMs);
    update();
}

void CXeScrollBarBase::focusOutEvent(QFocusEvent* event)
{
    CWnd::focusOutEvent(event);
    killTimerById(kTimerBlink);
    m_focusBlink = false;
    update();
}

void CXeScrollBarBase::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    m_menuPointAlong = m_layout.along(event->pos());
    if (m_menu)
        m_menu->close();
    struct Item {
        const char* horizontal;
        const char* vertical;
        int command;
    };
    static const Item kItems[] = {
        {"Left Edge", "Top", kCmdTop},        {"Right Edge", "Bottom", kCmdBottom},
        {"Page Left", "Page Up", kCmdPageUp}, {"Page Right", "Page Down", kCmdPageDown},
        {"Scroll Left", "Scroll Up", kCmdLineUp}, {"Scroll Right", "Scroll Down", kCmdLineDown},
    };
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("Scroll Here"))->setData(kCmdScrollHere);
    menu->addSeparator();
    for (const Item& item : kItems)
        menu->addAction(QString::fromLatin1(m_horizontal ? item.horizontal : item.vertical))->setData(item.command);
    // Not modal: the bar and its tests keep running while the menu is open.
    connect(menu, &QMenu::triggered, this, [this](QAction* action) { onMenuCommand(action->data().toInt()); });
    m_menu = menu;
    menu->popup(event->globalPos());
}

void CXeScrollBarBase::onMenuCommand(int command)
{
    if (command == kCmdScrollHere) {
        if (!notify(platform::SB_THUMBPOSITION, m_layout.scrollHerePosition(m_menuPointAlong)))
            return;
    } else if (const std::optional<ScrollCode> code = codeOfCommand(command)) {
        if (!notify(*code))
            return;
    } else {
        return;
    }
    notify(platform::SB_ENDSCROLL);
}
