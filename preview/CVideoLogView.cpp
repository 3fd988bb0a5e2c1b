// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/CVideoLogView.h"

#include "preview/PreviewMessages.h"
#include "preview/VideoStatus.h"

#include <QCloseEvent>
#include <QFont>
#include <QMouseEvent>
#include <QPainter>

using namespace platform;
using namespace preview;

namespace {

// The status text is 3 mm high, in the sans face that stands in for Arial.
QFont statusFont(const QPaintDevice& device)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    const double dpi = device.logicalDpiY() > 0 ? device.logicalDpiY() : 96.0;
    font.setPixelSize(std::max(1, static_cast<int>(3.0 * dpi / 25.4 + 0.5)));
    return font;
}

}  // namespace

CVideoLogView::CVideoLogView()
{
    setWindowTitle(QStringLiteral("video view"));
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::ClickFocus);
}

CVideoLogView::~CVideoLogView()
{
    destroyWindow();
}

bool CVideoLogView::onCreate()
{
    if (!CRenderTargetWnd::onCreate())
        return false;
    m_postHandle.store(handle());
    return true;
}

void CVideoLogView::onDestroy()
{
    m_postHandle.store(0);
    CRenderTargetWnd::onDestroy();
}

void CVideoLogView::setBackgroundColor(QRgb argb)
{
    m_backgroundColor = argb;
    update();
}

void CVideoLogView::setStatus(int status)
{
    m_status.store(status);
    postMessage(m_postHandle.load(), WM_VIEW_STATUS_SHOW);
}

QString CVideoLogView::statusText() const
{
    return preview::statusText(m_status.load(), m_indexShown, m_language.load());
}

void CVideoLogView::showStatus()
{
    if (m_status.load() != kStatusShowing && hasPicture())
        clearPicture();
    update();
}

LRESULT CVideoLogView::windowProc(std::uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_VIEW_STATUS_SHOW) {
        showStatus();
        return 0;
    }
    return CRenderTargetWnd::windowProc(msg, wParam, lParam);
}

void CVideoLogView::paintNoPicture(QPainter& painter)
{
    painter.fillRect(rect(), QColor::fromRgba(m_backgroundColor));
    const QString text = statusText();
    if (text.isEmpty())
        return;
    painter.setFont(statusFont(*this));
    painter.setPen(QColor::fromRgba(0xFFFFFFFFu));
    const QRect box(width() / 3, height() / 3, width() / 3, height() / 3);
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip, text);
}

LRESULT CVideoLogView::toOwner(std::uint32_t msg, WPARAM wParam, LPARAM lParam, bool send)
{
    if (send)
        return sendMessage(m_owner, msg, wParam, lParam);
    postMessage(m_owner, msg, wParam, lParam);
    return 0;
}

void CVideoLogView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_buttonDown = true;
        toOwner(WM_CHANNEL_CLICK, static_cast<WPARAM>(m_indexShown), 1, true);
    }
    event->accept();
}

void CVideoLogView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_buttonDown = false;
        m_lastReleaseGlobal = event->globalPosition().toPoint();
        toOwner(WM_CHANNEL_BUTTONUP, static_cast<WPARAM>(m_indexShown), 1, true);
    } else if (event->button() == Qt::RightButton) {
        toOwner(WM_CHANNEL_MENU, static_cast<WPARAM>(m_indexShown), 0, true);
    }
    event->accept();
}

void CVideoLogView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_buttonDown = true;
        toOwner(WM_CHANNEL_DBLCLK, static_cast<WPARAM>(m_indexShown), 0, true);
    }
    event->accept();
}

void CVideoLogView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_buttonDown && (event->buttons() & Qt::LeftButton))
        toOwner(WM_CHANNEL_DRAG, static_cast<WPARAM>(m_indexShown), 0, true);
    event->accept();
}

void CVideoLogView::keyPressEvent(QKeyEvent* event)
{
    toOwner(WM_EXIT_FULLSCREEN, 0, 0, true);
    event->accept();
}

void CVideoLogView::enterEvent(QEnterEvent* event)
{
    m_hoverTracking = true;
    CRenderTargetWnd::enterEvent(event);
}

void CVideoLogView::leaveEvent(QEvent* event)
{
    m_hoverTracking = false;
    m_buttonDown = false;
    CRenderTargetWnd::leaveEvent(event);
}

void CVideoLogView::closeEvent(QCloseEvent* event)
{
    event->ignore();  // the view lives as long as its window
}
