// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/CPlayBackPanel.h"

#include "platform/Messages.h"
#include "playback/PlaybackBarIds.h"
#include "widgets/CGdiPlusBitmapResource.h"
#include "widgets/CMemDC.h"

#include <QCloseEvent>
#include <QPainter>
#include <QResizeEvent>

namespace {

// The pictures end this far above the bottom, leaving room for the handle
// and the bar.
constexpr int kBarSpaceExpanded = 170;
constexpr int kBarSpaceCollapsed = 110;
constexpr int kHandleHeight = 7;

}  // namespace

CPlayBackPanel::CPlayBackPanel()
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CPlayBackPanel::~CPlayBackPanel()
{
    destroyWindow();
    waitForStopWorkers();
}

void CPlayBackPanel::setDevice(std::uint32_t deviceHandle, const QString& address, std::uint32_t webPort)
{
    m_deviceHandle = deviceHandle;
    m_deviceAddress = address;
    m_webPort = webPort;
    m_bar.setDevice(deviceHandle, address, webPort);
    if (m_grid.isCreated())
        m_grid.SetDevice(address, webPort);
}

bool CPlayBackPanel::onCreate()
{
    m_background = QPixmap::fromImage(CGdiPlusBitmapResource(QStringLiteral("PB_PANEL_BG")).Image());
    m_grid.setPlayback(true);
    m_grid.setLanguageTable(m_language);
    if (!m_grid.createWindow(this, QRect(0, 0, 300, 300), playback_ids::kGrid, true))
        return false;
    m_bar.setLanguageTable(m_language);
    m_bar.setGrid(&m_grid);
    if (!m_bar.createWindow(this, QRect(0, 0, 300, 300), playback_ids::kBar, true))
        return false;
    m_bar.setChannelMask(m_channelMask);
    if (!m_deviceAddress.isEmpty())
        m_grid.SetDevice(m_deviceAddress, m_webPort);
    if (!m_timelineToggle.createWindow(this, QRect(0, 0, 140, kHandleHeight), playback_ids::kTimelineToggle, true))
        return false;
    m_timelineToggle.SetImages(QStringLiteral("PB_BAR_TOGGLE_STD"), QStringLiteral("PB_BAR_TOGGLE_HOT"),
                               QStringLiteral("PB_BAR_TOGGLE_DOWN"), QStringLiteral("PB_BAR_TOGGLE_DIS"));
    m_timelineToggle.SetAltImages(QStringLiteral("PB_BAR_TOGGLE_ALT_STD"), QStringLiteral("PB_BAR_TOGGLE_ALT_HOT"),
                                  QStringLiteral("PB_BAR_TOGGLE_ALT_DOWN"), QStringLiteral("PB_BAR_TOGGLE_ALT_DIS"));
    // Toggled on shows the collapsed look; the timeline starts expanded.
    m_timelineToggle.EnableToggle();
    m_timelineToggle.SetToggledOn(false);
    m_timelineToggle.setClickHandler([this] {
        m_timelineExpanded = !m_timelineExpanded;
        m_bar.setTimelineExpanded(m_timelineExpanded);
        layoutChildren();
    });
    layoutChildren();
    return true;
}

void CPlayBackPanel::setRecordPeriod(std::uint32_t channel, std::uint32_t recordType, const QString& start,
                                     const QString& end)
{
    m_spans.push_back({channel, recordType, start, end});
    if (m_bar.isCreated())
        m_bar.addRecordSpan(channel, recordType, start, end);
}

void CPlayBackPanel::completeRecordPeriods()
{
    m_spansComplete = true;
    if (m_bar.isCreated())
        m_bar.completeRecordPeriods();
}

bool CPlayBackPanel::setPlayDate(const QString& date)
{
    if (m_bar.isCreated() && !m_bar.setPlayDate(date, m_channelMask != 0))
        return false;
    // The same day again only waits for its spans to be completed anew.
    m_spansComplete = false;
    if (date == m_playDate && m_channelMask != 0)
        return true;
    // A new day (the bar stopped playback) starts a new set of record spans.
    m_spans.clear();
    m_playDate = date;
    return true;
}

void CPlayBackPanel::setChannelMask(std::uint32_t mask)
{
    m_channelMask = mask;
    if (m_bar.isCreated())
        m_bar.setChannelMask(mask);
    else
        m_bar.session().setChannelMask(mask);
}

void CPlayBackPanel::setRecordType(std::uint32_t type)
{
    m_bar.setRecordType(type);
    m_recordType = m_bar.session().recordType();
}

void CPlayBackPanel::stopPlaybackAsync()
{
    reapStopWorkers();
    // What plays now is what this stop ends; nothing playing, nothing to do
    // (a worker started late must not end a Play that came after).
    const std::uint32_t playHandle = m_bar.session().playHandle();
    if (playHandle == 0)
        return;
    auto done = std::make_shared<std::atomic<bool>>(false);
    // The worker only takes the play handle and closes the stream; the bar
    // finishes the stop on the UI thread when the worker's message comes.
    std::thread thread([session = &m_bar.session(), done, playHandle] {
        session->stopFromWorker(playHandle);
        done->store(true);
    });
    m_stopWorkers.push_back({std::move(thread), std::move(done)});
}

void CPlayBackPanel::reapStopWorkers()
{
    for (auto it = m_stopWorkers.begin(); it != m_stopWorkers.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = m_stopWorkers.erase(it);
        } else {
            ++it;
        }
    }
}

void CPlayBackPanel::waitForStopWorkers()
{
    for (auto& worker : m_stopWorkers)
        worker.thread.join();
    m_stopWorkers.clear();
}

void CPlayBackPanel::onDestroy()
{
    waitForStopWorkers();
    m_bar.session().stopPlay();
    setFullScreen(false);
}

platform::LRESULT CPlayBackPanel::windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam)
{
    switch (msg) {
    case platform::WM_PLAYBACK_FULLSCREEN:
        setFullScreen(wParam != 0);
        return 0;
    case platform::WM_CHANNEL_CLICK: {
        // The clicked window becomes the one heard.
        const int index = static_cast<int>(wParam);
        for (int slot = 0; slot < playback::PlaybackSession::kSlots; ++slot) {
            auto* w = static_cast<playback::PlaybackGridWindow*>(m_bar.session().window(slot));
            if (w && w->channelWindow() && w->channelWindow()->windowIndex() == index) {
                m_bar.session().selectSoundWindow(slot);
                break;
            }
        }
        return 0;
    }
    case platform::WM_CHANNEL_DBLCLK:
        if (m_bar.isCreated())
            m_bar.refreshSplitStates(static_cast<int>(wParam));
        return 0;
    default:
        return CWnd::windowProc(msg, wParam, lParam);
    }
}

void CPlayBackPanel::closeEvent(QCloseEvent* event)
{
    // Closing the full-screen window only leaves full screen.
    event->ignore();
    setFullScreen(false);
}

void CPlayBackPanel::resizeEvent(QResizeEvent* event)
{
    CWnd::resizeEvent(event);
    layoutChildren();
}

void CPlayBackPanel::layoutChildren()
{
    if (!isCreated())
        return;
    const int picturesBottom = height() - (m_timelineExpanded ? kBarSpaceExpanded : kBarSpaceCollapsed);
    const int barTop = picturesBottom + kHandleHeight;
    m_grid.setGeometry(3, 2, std::max(0, width() - 6), std::max(0, picturesBottom - 2));
    m_timelineToggle.setGeometry(width() / 2 - 72, picturesBottom, 140, kHandleHeight);
    m_bar.setGeometry(0, barTop, width(), std::max(0, height() - barTop));
}

void CPlayBackPanel::paintEvent(QPaintEvent* /*event*/)
{
    QPainter target(this);
    CMemDC memory(&target, rect());
    memory->drawPixmap(rect(), m_background);
    m_timelineToggle.CopyBackground(memory.painter());
}
