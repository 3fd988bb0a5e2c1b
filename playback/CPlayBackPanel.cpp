// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/CPlayBackPanel.h"

#include <QPainter>

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

void CPlayBackPanel::setRecordPeriod(std::uint32_t channel, std::uint32_t recordType, const QString& start,
                                     const QString& end)
{
    m_spans.push_back({channel, recordType, start, end});
}

void CPlayBackPanel::setPlayDate(const QString& date)
{
    // The same day again only waits for its spans to be completed anew.
    m_spansComplete = false;
    if (date == m_playDate && m_channelMask != 0)
        return;
    // A new day stops playback and starts a new set of record spans.
    stopPlay();
    m_spans.clear();
    m_playDate = date;
}

void CPlayBackPanel::setChannelMask(std::uint32_t mask)
{
    if (mask != m_channelMask)
        stopPlay();
    m_channelMask = mask;
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

void CPlayBackPanel::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x1b, 0x1b, 0x1b));
}
