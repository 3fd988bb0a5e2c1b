// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/CChannelPanel.h"

#include "device/SessionSettings.h"
#include "preview/ChannelOrderStore.h"
#include "preview/PreviewMessages.h"

#include <QCloseEvent>
#include <QPainter>

using namespace platform;
using namespace preview;

CChannelPanel::CChannelPanel()
    : m_windows(makeWindows(std::make_index_sequence<kWindowCount>{}))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CChannelPanel::~CChannelPanel()
{
    destroyWindow();
}

void CChannelPanel::setLanguageTable(LanguageTable* table)
{
    for (CChannelEX& channelWindow : m_windows)
        channelWindow.setLanguageTable(table);
}

bool CChannelPanel::onCreate()
{
    if (auto* parent = dynamic_cast<CWnd*>(parentWidget()))
        m_parentHandle = parent->handle();
    for (int k = 0; k < kWindowCount; ++k) {
        CChannelEX& channelWindow = m_windows[static_cast<std::size_t>(k)];
        channelWindow.setWindowTitle(QStringLiteral("video channel"));
        if (!channelWindow.createWindow(this, QRect(0, 0, 100, 100), kFirstWindowId + k, true))
            return false;
        channelWindow.SetActive(k == 0);
    }
    layOut();
    return true;
}

void CChannelPanel::onDestroy()
{
    for (CChannelEX& channelWindow : m_windows)
        channelWindow.destroyWindow();
    m_parentHandle = 0;
}

CChannelEX* CChannelPanel::window(int index)
{
    return index >= 0 && index < kWindowCount ? &m_windows[static_cast<std::size_t>(index)] : nullptr;
}

const CChannelEX* CChannelPanel::window(int index) const
{
    return index >= 0 && index < kWindowCount ? &m_windows[static_cast<std::size_t>(index)] : nullptr;
}

CChannelEX* CChannelPanel::AllocateWindow(const std::function<bool(const CChannelEX&)>& refuse)
{
    for (CChannelEX& channelWindow : m_windows) {
        if (refuse && refuse(channelWindow))
            continue;
        if (channelWindow.tryOccupy())
            return &channelWindow;
    }
    return nullptr;
}

void CChannelPanel::selectWindow(int index)
{
    if (index < 0 || index >= kWindowCount)
        return;
    m_selected = index;
    for (int k = 0; k < kWindowCount; ++k)
        m_windows[static_cast<std::size_t>(k)].SetActive(k == index);
}

void CChannelPanel::SetLayout(int commandId)
{
    const int count = layoutForCommandId(commandId);
    if (count == 0 || count == m_view.layoutCount)
        return;
    m_view.firstPosition = 0;
    m_view.layoutCount = count;
    // A chosen layout ends the double-click single view.
    m_view.singleView = false;
    m_requestedCount = count;
    layOut();
}

void CChannelPanel::NextGroup()
{
    m_view.firstPosition = nextPageFirst(m_view.firstPosition, m_view.layoutCount, m_total.load());
    layOut();
}

void CChannelPanel::PreviousGroup()
{
    m_view.firstPosition = previousPageFirst(m_view.firstPosition, m_view.layoutCount, m_total.load());
    layOut();
}

void CChannelPanel::setView(const GridView& view, int requestedCount)
{
    m_view = view;
    m_requestedCount = requestedCount;
    layOut();
}

void CChannelPanel::SetDevice(const QString& address, std::uint32_t port)
{
    m_deviceAddress = address;
    m_devicePort = static_cast<int>(port);
    for (CChannelEX& channelWindow : m_windows)
        channelWindow.setDevicePort(m_devicePort);
    m_settingsPath = SessionSettings::filePathFor(address, port);
    loadChannelOrder(m_settingsPath, m_playback, m_order);
    layOut();
}

void CChannelPanel::layOut()
{
    const int count = m_view.layoutCount;
    const std::vector<QRect> rects = layoutRects(count, rect());
    const int start = layoutStart(count, m_view.firstPosition);
    std::array<bool, kWindowCount> shown{};
    for (std::size_t j = 0; j < rects.size() && start + static_cast<int>(j) < kWindowCount; ++j) {
        const int index = m_order[static_cast<std::size_t>(start) + j];
        CChannelEX& channelWindow = m_windows[static_cast<std::size_t>(index)];
        channelWindow.setGridRect(rects[j]);
        channelWindow.setGeometry(rects[j]);
        shown[static_cast<std::size_t>(index)] = true;
    }
    for (int k = 0; k < kWindowCount; ++k)
        m_windows[static_cast<std::size_t>(k)].setVisible(shown[static_cast<std::size_t>(k)]);
    update();
}

void CChannelPanel::resizeEvent(QResizeEvent* event)
{
    CWnd::resizeEvent(event);
    layOut();
}

void CChannelPanel::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(150, 150, 150));
}

void CChannelPanel::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

void CChannelPanel::postToParent(std::uint32_t msg, WPARAM wParam, LPARAM lParam) const
{
    postMessage(m_parentHandle, msg, wParam, lParam);
}

LRESULT CChannelPanel::windowProc(std::uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CHANNEL_CLICK:
        onWindowClick(static_cast<int>(wParam));
        return 0;
    case WM_CHANNEL_DBLCLK:
        onWindowDoubleClick(static_cast<int>(wParam));
        return 0;
    case WM_CHANNEL_DRAG:
        m_drag = true;
        return 0;
    case WM_CHANNEL_BUTTONUP:
        onButtonUp(static_cast<int>(wParam));
        return 0;
    case WM_EXIT_FULLSCREEN:
        postToParent(WM_EXIT_FULLSCREEN, 0, 0);
        return 0;
    case WM_CHANNEL_RECORD_STATE:
    case WM_CHANNEL_VIEW_STATE:
        postToParent(msg, wParam, lParam);
        return 0;
    case WM_CHANNEL_VIEW_ALL:
    case WM_STREAMTYPE_CHANGED:
        postToParent(msg, wParam, 0);
        return 0;
    default:
        return CWnd::windowProc(msg, wParam, lParam);
    }
}

void CChannelPanel::onWindowClick(int index)
{
    if (index < 0 || index >= kWindowCount)
        return;
    selectWindow(index);
    postToParent(WM_CHANNEL_CLICK, static_cast<WPARAM>(index), 0);
}

void CChannelPanel::onWindowDoubleClick(int index)
{
    toggleSingleView(m_view, index, m_order);
    layOut();
    postToParent(WM_CHANNEL_DBLCLK, static_cast<WPARAM>(m_view.layoutCount), 0);
}

void CChannelPanel::onButtonUp(int index)
{
    if (!m_drag)
        return;
    m_drag = false;
    const CChannelEX* released = window(index);
    if (released == nullptr)
        return;
    const int target = shownWindowAt(released->lastReleaseGlobal());
    if (target < 0 || !swapWindows(m_order, m_selected, target))
        return;
    layOut();
    saveChannelOrder(m_settingsPath, m_playback, m_order);
}

int CChannelPanel::shownWindowAt(const QPoint& globalPos) const
{
    const QPoint local = mapFromGlobal(globalPos);
    for (int k = 0; k < kWindowCount; ++k) {
        const CChannelEX& channelWindow = m_windows[static_cast<std::size_t>(k)];
        if (!channelWindow.isHidden() && channelWindow.geometry().contains(local))
            return k;
    }
    return -1;
}
