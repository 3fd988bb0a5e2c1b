// SPDX-License-Identifier: GPL-3.0-or-later
// CXeScrollBarBase: creation, layout and the scroll-bar control messages.
// Mouse, keys, timers and the menu are in CXeScrollBarBaseInput.cpp.
#include "widgets/CXeScrollBarBase.h"

#include <QEvent>
#include <QMenu>

#include <algorithm>

using platform::LPARAM;
using platform::LRESULT;
using platform::WPARAM;
using widgets::ScrollPart;

CXeScrollBarBase::CXeScrollBarBase()
{
    setMouseTracking(true);
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
}

CXeScrollBarBase::~CXeScrollBarBase() = default;

bool CXeScrollBarBase::Create(std::uint32_t style, const QRect& rect, platform::CWnd* parent, int id)
{
    if (isCreated())
        return false;
    m_parent = parent;
    m_horizontal = (style & SBS_VERT) == 0;
    setFocusPolicy((style & WS_TABSTOP) != 0 ? Qt::TabFocus : Qt::NoFocus);
    if (!createWindow(parent, rect, id, (style & WS_VISIBLE) != 0))
        return false;
    setEnabled((style & WS_DISABLED) == 0);
    recalcLayout();
    update();
    return true;
}

void CXeScrollBarBase::recalcLayout()
{
    m_layout = widgets::ScrollBarLayout(size(), m_horizontal, isEnabled(), m_range, m_arrowLength);
    if (m_pressedPart == ScrollPart::Thumb && m_thumbMoved)
        m_layout.moveThumbTo(m_dragThumbStart);
}

void CXeScrollBarBase::SetArrowLength(int length)
{
    m_arrowLength = std::max(0, length);
    recalcLayout();
    update();
}

void CXeScrollBarBase::resizeEvent(QResizeEvent* event)
{
    CWnd::resizeEvent(event);
    recalcLayout();
}

void CXeScrollBarBase::changeEvent(QEvent* event)
{
    CWnd::changeEvent(event);
    if (event->type() != QEvent::EnabledChange)
        return;
    // A disabled window gets no button release: end a press now.
    if (!isEnabled()) {
        CancelMode();
        m_hoverPart = ScrollPart::None;
    }
    recalcLayout();
    update();
}

void CXeScrollBarBase::hideEvent(QHideEvent* event)
{
    CWnd::hideEvent(event);
    CancelMode();
}

LRESULT CXeScrollBarBase::windowProc(std::uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case platform::SBM_SETPOS: {
        if (m_disabledByNoScroll) {
            m_disabledByNoScroll = false;
            setEnabled(true);
        }
        const int old = m_range.setPosition(static_cast<int>(wParam));
        recalcLayout();
        if (lParam != 0)
            update();
        return old;
    }
    case platform::SBM_GETPOS:
        return m_range.position();
    case platform::SBM_SETRANGE:
    case platform::SBM_SETRANGEREDRAW: {
        const int result = m_range.setRange(static_cast<int>(wParam), static_cast<int>(lParam));
        recalcLayout();
        if (msg == platform::SBM_SETRANGEREDRAW)
            update();
        return result;
    }
    case platform::SBM_GETRANGE:
        if (auto* minimum = reinterpret_cast<int*>(wParam))
            *minimum = m_range.minimum();
        if (auto* maximum = reinterpret_cast<int*>(lParam))
            *maximum = m_range.maximum();
        return 1;
    case platform::SBM_ENABLE_ARROWS:
        setEnabled((wParam & ESB_DISABLE_BOTH) == 0);
        return 1;
    case platform::SBM_SETSCROLLINFO: {
        const auto* info = reinterpret_cast<const ScrollInfo*>(lParam);
        if (info == nullptr || info->cbSize != sizeof(ScrollInfo))
            return 0;
        m_range.apply(info->fMask, info->nMin, info->nMax, info->nPage, info->nPos);
        if ((info->fMask & SIF_DISABLENOSCROLL) != 0) {
            const bool scrollable = m_range.pageLeavesScroll();
            m_disabledByNoScroll = !scrollable;
            setEnabled(scrollable);
        }
        recalcLayout();
        if (wParam != 0)
            update();
        return m_range.position();
    }
    case platform::SBM_GETSCROLLINFO: {
        auto* info = reinterpret_cast<ScrollInfo*>(lParam);
        if (info == nullptr || info->cbSize != sizeof(ScrollInfo))
            return 0;
        info->nMin = m_range.minimum();
        info->nMax = m_range.maximum();
        info->nPage = m_range.page();
        info->nPos = m_range.position();
        info->nTrackPos = m_trackPosition;
        return 1;
    }
    case platform::SBM_GETSCROLLBARINFO: {
        auto* info = reinterpret_cast<ScrollBarInfo*>(lParam);
        if (info == nullptr || info->cbSize != sizeof(ScrollBarInfo))
            return 0;
        fillScrollBarInfo(*info);
        return 1;
    }
    default:
        return CWnd::windowProc(msg, wParam, lParam);
    }
}

void CXeScrollBarBase::fillScrollBarInfo(ScrollBarInfo& info) const
{
    const QPoint topLeft = mapToGlobal(QPoint(0, 0));
    info.rcScrollBar = {topLeft.x(), topLeft.y(), topLeft.x() + width(), topLeft.y() + height()};
    info.dxyLineButton = m_layout.arrowLength();
    info.xyThumbTop = m_layout.hasThumb() ? m_layout.thumbStart() : 0;
    info.xyThumbBottom = m_layout.hasThumb() ? m_layout.thumbEnd() : 0;
    info.reserved = 0;
    const std::uint32_t unavailable = isEnabled() ? 0 : STATE_SYSTEM_UNAVAILABLE;
    info.rgstate[0] = unavailable | (isVisible() ? 0 : STATE_SYSTEM_INVISIBLE);
    // rgstate order: first arrow, track before, thumb, track after, second arrow.
    const ScrollPart parts[5] = {ScrollPart::FirstArrow, ScrollPart::TrackBefore, ScrollPart::Thumb,
                                 ScrollPart::TrackAfter, ScrollPart::SecondArrow};
    for (int i = 0; i < 5; ++i) {
        std::uint32_t state = unavailable;
        if (parts[i] == m_pressedPart)
            state |= STATE_SYSTEM_PRESSED;
        if (m_layout.partRect(parts[i]).isEmpty())
            state |= STATE_SYSTEM_INVISIBLE;
        info.rgstate[i + 1] = state;
    }
}

int CXeScrollBarBase::SetScrollPos(int pos, bool redraw)
{
    return static_cast<int>(windowProc(platform::SBM_SETPOS, static_cast<WPARAM>(pos), redraw ? 1 : 0));
}

int CXeScrollBarBase::GetScrollPos()
{
    return static_cast<int>(windowProc(platform::SBM_GETPOS, 0, 0));
}

void CXeScrollBarBase::SetScrollRange(int minimum, int maximum, bool redraw)
{
    windowProc(redraw ? platform::SBM_SETRANGEREDRAW : platform::SBM_SETRANGE, static_cast<WPARAM>(minimum),
               static_cast<LPARAM>(maximum));
}

void CXeScrollBarBase::GetScrollRange(int* minimum, int* maximum)
{
    windowProc(platform::SBM_GETRANGE, reinterpret_cast<WPARAM>(minimum), reinterpret_cast<LPARAM>(maximum));
}

int CXeScrollBarBase::SetScrollInfo(const ScrollInfo& info, bool redraw)
{
    ScrollInfo copy = info;
    copy.cbSize = sizeof(ScrollInfo);
    return static_cast<int>(windowProc(platform::SBM_SETSCROLLINFO, redraw ? 1 : 0, reinterpret_cast<LPARAM>(&copy)));
}

bool CXeScrollBarBase::GetScrollInfo(ScrollInfo& info)
{
    info.cbSize = sizeof(ScrollInfo);
    return windowProc(platform::SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(&info)) != 0;
}

bool CXeScrollBarBase::GetScrollBarInfo(ScrollBarInfo& info)
{
    info.cbSize = sizeof(ScrollBarInfo);
    return windowProc(platform::SBM_GETSCROLLBARINFO, 0, reinterpret_cast<LPARAM>(&info)) != 0;
}

bool CXeScrollBarBase::EnableScrollBar(std::uint32_t arrowFlags)
{
    return windowProc(platform::SBM_ENABLE_ARROWS, arrowFlags, 0) != 0;
}

bool CXeScrollBarBase::notify(platform::ScrollCode code, int pos)
{
    const platform::WindowHandle parent = m_parent ? m_parent->handle() : 0;
    if (!platform::isWindow(parent))
        return true;
    const WPARAM wParam = (static_cast<WPARAM>(static_cast<std::uint16_t>(pos)) << 16) | code;
    const std::uint32_t msg = m_horizontal ? platform::WM_HSCROLL : platform::WM_VSCROLL;
    QPointer<CXeScrollBarBase> alive(this);
    platform::sendMessage(parent, msg, wParam, static_cast<LPARAM>(handle()));
    return !alive.isNull();
}
