// SPDX-License-Identifier: GPL-3.0-or-later
// The behaviour of a custom-drawn scroll bar: range, page and position,
// layout, hit testing, mouse, wheel, keys, auto-repeat timers, the context
// menu and the scroll-bar control messages (SBM_*, answered in windowProc).
// User actions reach the parent as WM_HSCROLL / WM_VSCROLL (wParam: the
// code in the low word, a position in the high word; lParam: the bar's
// handle), sent while the parent is a live window. Owners treat it as an
// ordinary scroll bar. CXeScrollBar adds the drawing. UI thread only.
#pragma once

#include "platform/Messages.h"
#include "platform/Window.h"
#include "widgets/ScrollBarLayout.h"
#include "widgets/ScrollInfo.h"

#include <QMenu>
#include <QPointer>

#include <cstdint>

class CXeScrollBarBase : public platform::CWnd {
public:
    // Timer ids: the first auto-repeat delay, the repeat, the focus blink.
    static constexpr std::uint32_t kTimerFirstRepeat = 1001;
    static constexpr std::uint32_t kTimerRepeat = 1002;
    static constexpr std::uint32_t kTimerBlink = 1003;
    static constexpr std::uint32_t kFirstRepeatMs = 200;
    static constexpr std::uint32_t kRepeatMs = 50;
    static constexpr std::uint32_t kBlinkMs = 500;

    // Context menu commands.
    static constexpr int kCmdLineUp = 4096;
    static constexpr int kCmdLineDown = 4097;
    static constexpr int kCmdPageUp = 4098;
    static constexpr int kCmdPageDown = 4099;
    static constexpr int kCmdScrollHere = 4100;
    static constexpr int kCmdTop = 4102;
    static constexpr int kCmdBottom = 4103;

    CXeScrollBarBase();
    ~CXeScrollBarBase() override;

    // Creates the bar as a child of parent: horizontal unless the style has
    // SBS_VERT, disabled with WS_DISABLED, taking the focus on a click with
    // WS_TABSTOP, shown with WS_VISIBLE. The parent receives the
    // notifications.
    bool Create(std::uint32_t style, const QRect& rect, platform::CWnd* parent, int id);

    platform::LRESULT windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) override;

    // The same code as the messages.
    int SetScrollPos(int pos, bool redraw = true);
    int GetScrollPos();
    void SetScrollRange(int minimum, int maximum, bool redraw = true);
    void GetScrollRange(int* minimum, int* maximum);
    int SetScrollInfo(const ScrollInfo& info, bool redraw = true);
    bool GetScrollInfo(ScrollInfo& info);
    bool GetScrollBarInfo(ScrollBarInfo& info);
    // ESB_* flags: any disables the bar, ESB_ENABLE_BOTH enables it.
    bool EnableScrollBar(std::uint32_t arrowFlags = ESB_ENABLE_BOTH);
    // The largest position the range and page allow.
    int GetScrollLimit() const { return m_range.maxPosition(); }

    // Arrow length along the axis; 0 (the default) means the bar's thickness.
    void SetArrowLength(int length);
    // Ends a press as a button release does (the desktop's cancel mode);
    // also done when the bar is hidden.
    void CancelMode();

    bool isHorizontal() const { return m_horizontal; }
    const widgets::ScrollRange& range() const { return m_range; }
    const widgets::ScrollBarLayout& layout() const { return m_layout; }
    widgets::ScrollPart hoverPart() const { return m_hoverPart; }
    widgets::ScrollPart pressedPart() const { return m_pressedPart; }
    int trackPosition() const { return m_trackPosition; }
    bool focusBlink() const { return m_focusBlink; }
    // The context menu while it is open, else nullptr.
    QMenu* contextMenu() const { return m_menu.data(); }

protected:
    void onTimer(std::uint32_t id) override;

    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

    // Lays the parts out for the current size, state, range and position;
    // a dragged thumb stays where the pointer holds it.
    void recalcLayout();
    // Runs a context menu command.
    void onMenuCommand(int command);

private:
    // Sends WM_HSCROLL / WM_VSCROLL with code and pos to the parent while
    // the parent is a window. False when the parent destroyed this bar in
    // answer (the caller must then return without touching members).
    bool notify(platform::ScrollCode code, int pos);
    bool notify(platform::ScrollCode code) { return notify(code, m_range.position()); }
    // Ends a press: timers, the thumb's final position, end-scroll.
    void endPress();
    void setHover(widgets::ScrollPart part);
    widgets::ScrollPart partUnderCursor() const;
    void fillScrollBarInfo(ScrollBarInfo& info) const;
    bool isTabStop() const { return focusPolicy() != Qt::NoFocus; }

    QPointer<platform::CWnd> m_parent;
    bool m_horizontal = true;
    widgets::ScrollRange m_range;
    widgets::ScrollBarLayout m_layout;
    int m_arrowLength = 0;  // 0: the bar's thickness
    int m_trackPosition = 0;
    bool m_disabledByNoScroll = false;
    widgets::ScrollPart m_hoverPart = widgets::ScrollPart::None;
    widgets::ScrollPart m_pressedPart = widgets::ScrollPart::None;
    int m_grabOffset = 0;        // pointer offset inside the thumb at the press
    int m_dragThumbStart = 0;    // where the pointer holds a moved thumb
    bool m_endScrollPending = false;
    bool m_thumbMoved = false;
    bool m_focusBlink = false;
    int m_menuPointAlong = 0;    // where the context menu was asked for
    QPointer<QMenu> m_menu;
};
