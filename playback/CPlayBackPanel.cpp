// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/CPlayBackPanel.h"

#include "playback/PlaybackBarIds.h"
#include "widgets/CGdiPlusBitmapResource.h"
#include "widgets/CMemDC.h"

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
}

bool CPlayBackPanel::onCreate()
{
    m_background = QPixmap::fromImage(CGdiPlusBitmapResource(QStringLiteral("PB_PANEL_BG")).Image());
    m_bar.setLanguageTable(m_language);
    if (!m_bar.createWindow(this, QRect(0, 0, 300, 300), playback_ids::kBar, true))
        return false;
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
    // A new day stops playback and starts a new set of record spans.
    stopPlay();
    m_spans.clear();
    m_playDate = date;
    return true;
}

void CPlayBackPanel::setChannelMask(std::uint32_t mask)
{
    if (mask != m_channelMask)
        stopPlay();
    m_channelMask = mask;
    if (m_bar.isCreated())
        m_bar.setChannelMask(mask);
}

void CPlayBackPanel::setRecordType(std::uint32_t type)
{
    if (type != m_recordType)
        stopPlay();
    m_recordType = type > 2 ? 2 : type;
}

void CPlayBackPanel::stopPlaybackAsync()
{
    reapStopWorkers();
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([this, done] {
        stopPlay();
        done->store(true);
    });
    m_stopWorkers.push_back({std::move(thread), std::move(done)});
}

void CPlayBackPanel::stopPlay()
{
    m_playState = kStopped;
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
    stopPlay();
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
