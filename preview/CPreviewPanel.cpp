// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/CPreviewPanel.h"

#include <QPainter>

CPreviewPanel::CPreviewPanel()
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CPreviewPanel::~CPreviewPanel()
{
    destroyWindow();
}

void CPreviewPanel::setDevice(std::uint32_t deviceHandle, const QString& recordFolder)
{
    m_deviceHandle = deviceHandle;
    m_recordRoot = recordFolder;
}

void CPreviewPanel::setDeviceAddress(const QString& address, std::uint32_t webPort)
{
    m_deviceAddress = address;
    m_webPort = webPort;
}

void CPreviewPanel::closeAllChannels(int /*reasonFlag*/)
{
    stopPreviewAll();
}

void CPreviewPanel::capture(const QString& /*snapFolder*/, const QString& /*address*/)
{
    // Snapshots need a playing channel window; none plays yet.
}

void CPreviewPanel::startLocalRecord(const QString& recordFolder, const QString& /*address*/)
{
    // Recording needs a playing channel window; the folder is kept for it.
    if (!recordFolder.isEmpty())
        m_recordRoot = recordFolder;
}

void CPreviewPanel::stopLocalRecord()
{
}

int CPreviewPanel::activeChannel() const
{
    return -1;  // no channel window is active before one has opened
}

std::uint32_t CPreviewPanel::switchStreamType(std::uint32_t /*type*/)
{
    // The panel takes the new type when one of its channel windows switched;
    // with no channel window there is nothing to switch and nothing changes.
    return 0;
}

void CPreviewPanel::startViewAll(int channelCount, std::uint32_t streamType)
{
    m_channelCount = channelCount;
    m_streamType = streamType;
}

void CPreviewPanel::stopPreviewAll()
{
    m_openMask = 0;
}

int CPreviewPanel::layoutForWindowCount(std::uint32_t windowCount)
{
    switch (windowCount) {
    case 3: case 4: case 6: case 8: case 9: case 13: case 16:
        return static_cast<int>(windowCount);
    case 1: case 2: case 5: case 7: case 10: case 11: case 12: case 14: case 15:
        return 1;
    default:
        return 0;
    }
}

void CPreviewPanel::showChannels(std::uint32_t windowCount)
{
    if (windowCount == 0) {
        m_fullScreen = !m_fullScreen;
        return;
    }
    if (const int layout = layoutForWindowCount(windowCount); layout != 0)
        m_layoutCount = layout;
}

void CPreviewPanel::assignWindows(int channelCount)
{
    m_channelCount = channelCount;
}

void CPreviewPanel::nextGroup()
{
    // Paging moves the grid's first position; the grid arrives with the
    // channel windows.
}

void CPreviewPanel::previousGroup()
{
}

void CPreviewPanel::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x1b, 0x1b, 0x1b));
}
