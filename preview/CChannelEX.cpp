// SPDX-License-Identifier: GPL-3.0-or-later
// The window side of a video window: creation, painting, the selection
// frame, layout of the view, gestures and the context menu. The stream side
// is CChannelEXStream.cpp, local recording CChannelEXRecord.cpp.
#include "preview/CChannelEX.h"

#include "preview/IChannelDevice.h"
#include "preview/PreviewMessages.h"
#include "preview/VideoViewLayout.h"
#include "widgets/LanguageTable.h"

#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <mutex>

using namespace platform;
using namespace preview;

namespace {

const QColor kActiveFrame(22, 255, 22);
const QColor kInactiveFrame(67, 67, 67);

}  // namespace

CChannelEX::CChannelEX(int windowIndex)
    : m_windowIndex(windowIndex), m_channel(windowIndex)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::ArrowCursor);
    m_view.setIndexShown(windowIndex);
}

CChannelEX::~CChannelEX()
{
    destroyWindow();
}

bool CChannelEX::onCreate()
{
    if (auto* parent = dynamic_cast<CWnd*>(parentWidget()))
        m_parentHandle.store(parent->handle());
    const QRect viewRect = videoViewRect(rect(), m_shapeMode.load(), m_pictureWidth.load(), m_pictureHeight.load());
    if (!m_view.createWindow(this, viewRect, 0, true))
        return false;
    m_view.setOwner(handle());
    m_view.setLanguageTable(m_language.load());
    m_postHandle.store(handle());
    return true;
}

void CChannelEX::onDestroy()
{
    // No stream may call back into a window that is going away.
    StopRealPlay();
    m_postHandle.store(0);
    m_view.destroyWindow();
    m_parentHandle.store(0);
}

void CChannelEX::setLanguageTable(LanguageTable* table)
{
    m_language.store(table);
    m_view.setLanguageTable(table);
}

bool CChannelEX::tryOccupy()
{
    bool expected = false;
    return m_occupied.compare_exchange_strong(expected, true);
}

void CChannelEX::setRecordTarget(const QString& recordRoot, const QString& deviceAddress)
{
    CAtomLock guard(m_recordLock);
    m_recordRoot = recordRoot;
    m_deviceAddress = deviceAddress;
}

void CChannelEX::setShapeMode(int mode)
{
    m_shapeMode.store(mode);
    LayoutVideoView();
}

void CChannelEX::setPictureSize(int width, int height)
{
    m_pictureWidth.store(width);
    m_pictureHeight.store(height);
    LayoutVideoView();
}

QRect CChannelEX::markRect() const
{
    return QRect(QPoint(m_markLeft.load(), m_markTop.load()), QPoint(m_markRight.load() - 1, m_markBottom.load() - 1));
}

void CChannelEX::SetActive(bool active)
{
    m_active.store(active);
    repaint();
}

void CChannelEX::LayoutVideoView()
{
    const QRect viewRect = videoViewRect(rect(), m_shapeMode.load(), m_pictureWidth.load(), m_pictureHeight.load());
    m_shownWidth = viewRect.width();
    m_shownHeight = viewRect.height();
    m_view.setGeometry(viewRect);
    m_view.update();
    update();
}

void CChannelEX::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.setPen(m_active.load() ? kActiveFrame : kInactiveFrame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CChannelEX::resizeEvent(QResizeEvent* event)
{
    CWnd::resizeEvent(event);
    LayoutVideoView();
}

void CChannelEX::postToParent(std::uint32_t msg, WPARAM wParam, LPARAM lParam) const
{
    postMessage(m_parentHandle.load(), msg, wParam, lParam);
}

LRESULT CChannelEX::windowProc(std::uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CHANNEL_CLICK:
        onClick();
        return 0;
    case WM_CHANNEL_DBLCLK:
        onDoubleClick();
        return 0;
    case WM_CHANNEL_BUTTONUP:
        onButtonUp(m_view.lastReleaseGlobal());
        return 0;
    case WM_CHANNEL_MENU:
        showContextMenu();
        return 0;
    case WM_CHANNEL_DRAG:
        onDrag();
        return 0;
    case WM_EXIT_FULLSCREEN:
        return sendMessage(m_parentHandle.load(), WM_EXIT_FULLSCREEN, 0, 0);
    case WM_STREAM_FIRST_FRAME:
        onFirstFrame(static_cast<std::uint32_t>(wParam));
        return 0;
    case WM_STREAM_FAILED:
        onStreamFailed(static_cast<std::uint32_t>(wParam), static_cast<int>(lParam));
        return 0;
    case WM_PICTURE_SIZE_KNOWN:
        LayoutVideoView();
        return 0;
    default:
        return CWnd::windowProc(msg, wParam, lParam);
    }
}

void CChannelEX::onClick()
{
    m_buttonDown = true;
    m_dragReported = false;
    // The grid learns of a click only on a window that is not selected yet.
    if (!m_active.load())
        sendMessage(m_parentHandle.load(), WM_CHANNEL_CLICK, static_cast<WPARAM>(m_windowIndex), 1);
}

void CChannelEX::onButtonUp(const QPoint& globalPos)
{
    m_buttonDown = false;
    m_dragReported = false;
    m_lastReleaseGlobal = globalPos;
    postToParent(WM_CHANNEL_BUTTONUP, static_cast<WPARAM>(m_windowIndex), 1);
}

void CChannelEX::onDoubleClick()
{
    postToParent(WM_CHANNEL_DBLCLK, static_cast<WPARAM>(m_windowIndex), 0);
}

void CChannelEX::onDrag()
{
    if (!m_buttonDown || m_dragReported)
        return;
    m_dragReported = true;
    postToParent(WM_CHANNEL_DRAG, static_cast<WPARAM>(m_windowIndex), 0);
}

// The window's own mouse input arrives only outside the view: on the frame
// and, in shape mode 1, on the margin around the picture.
void CChannelEX::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_shapeMode.load() == 1)
        onClick();
    event->accept();
}

void CChannelEX::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        onButtonUp(event->globalPosition().toPoint());
    else if (event->button() == Qt::RightButton && m_shapeMode.load() == 1)
        showContextMenu();
    event->accept();
}

void CChannelEX::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_shapeMode.load() == 1) {
        m_buttonDown = true;
        onDoubleClick();
    }
    event->accept();
}

void CChannelEX::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton) {
        m_buttonDown = true;
        onDrag();
    }
    event->accept();
}

void CChannelEX::enterEvent(QEnterEvent* event)
{
    m_hoverTracking = true;
    CWnd::enterEvent(event);
}

void CChannelEX::leaveEvent(QEvent* event)
{
    m_hoverTracking = false;
    CWnd::leaveEvent(event);
}

void CChannelEX::showContextMenu()
{
    LanguageTable* language = m_language.load();
    if (m_deviceHandle.load() == 0 || language == nullptr)
        return;
    const IChannelDevice* device = m_device.load();
    const bool playing = m_playing.load();
    const bool recording = m_recording.load();

    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const auto add = [&](int id, const char* key, bool enabled) {
        QAction* action = menu->addAction(language->lookup(QString::fromLatin1(key)));
        action->setData(id);
        action->setEnabled(enabled);
    };
    add(kMenuOpenWindow, "IE_OpenWindow", !playing);
    add(kMenuCloseWindow, "IE_CloseWindow", playing);
    menu->addSeparator();
    add(kMenuOpenAll, "IE_OpenAll", device == nullptr || !device->allChannelsOpen());
    add(kMenuCloseAll, "IE_CloseAll", device != nullptr && !device->noChannelOpen());
    menu->addSeparator();
    add(kMenuStartRecord, "STR_START_MANUAL_RECORD", playing && !recording);
    add(kMenuStopRecord, "STR_STOP_MANUAL_RECORD", playing && recording);
    menu->addSeparator();
    add(kMenuExitFullScreen, "IE_ExitFullScreem", device != nullptr && device->isPreviewFullScreen());
    // Not modal: the command runs from the event loop once an item is chosen.
    connect(menu, &QMenu::triggered, this, [this](QAction* action) { onMenuCommand(action->data().toInt()); });
    menu->popup(QCursor::pos());
}

void CChannelEX::onMenuCommand(int id)
{
    const auto channelParam = static_cast<WPARAM>(m_channel.load());
    switch (id) {
    case kMenuOpenWindow:
        StartRealPlay(m_deviceHandle.load(), m_channel.load(), m_streamType.load());
        postToParent(WM_CHANNEL_VIEW_STATE, channelParam, 1);
        break;
    case kMenuCloseWindow:
        StopRealPlay();
        postToParent(WM_CHANNEL_VIEW_STATE, channelParam, 0);
        break;
    case kMenuOpenAll:
        postToParent(WM_CHANNEL_VIEW_ALL, 0, 0);
        break;
    case kMenuCloseAll:
        postToParent(WM_CHANNEL_VIEW_ALL, 1, 0);
        break;
    case kMenuStartRecord: {
        QString root;
        QString address;
        {
            CAtomLock guard(m_recordLock);
            root = m_recordRoot;
            address = m_deviceAddress;
        }
        StartLocalRecord(root, address);
        postToParent(WM_CHANNEL_RECORD_STATE, channelParam, 1);
        break;
    }
    case kMenuStopRecord:
        StopLocalRecord();
        postToParent(WM_CHANNEL_RECORD_STATE, channelParam, 0);
        break;
    case kMenuExitFullScreen:
        postToParent(WM_EXIT_FULLSCREEN, 0, 0);
        break;
    default:
        break;
    }
}
