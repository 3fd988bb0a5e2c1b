// SPDX-License-Identifier: GPL-3.0-or-later
// Opening and closing the preview's channels: slots, the per-channel
// workers, the supervisor's actions and open all / close all from a menu.
#include "preview/CPreviewPanel.h"

#include "platform/Sync.h"
#include "preview/PreviewMessages.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

using namespace platform;
using namespace preview;

namespace {

// After a failed open a worker waits up to 100 x 5 ms before it ends, and
// every worker lingers 100 ms.
constexpr int kFailWaitSteps = 100;
constexpr std::uint32_t kFailWaitStepMs = 5;
constexpr std::uint32_t kWorkerLingerMs = 100;

// Starts a thread; when the system refuses, waits 5 ms and tries once more.
// False when both attempts failed.
template <typename Function>
bool startThread(std::vector<std::thread>& threads, Function function)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            threads.emplace_back(function);
            return true;
        } catch (const std::system_error&) {
            sleepMs(5);
        }
    }
    return false;
}

void joinAll(std::vector<std::thread>& threads)
{
    for (std::thread& thread : threads)
        thread.join();
    threads.clear();
}

}  // namespace

CChannelEX* CPreviewPanel::ensureSlotWindow(int slot)
{
    std::atomic<CChannelEX*>& slotRef = m_slots[static_cast<std::size_t>(slot)];
    if (CChannelEX* window = slotRef.load())
        return window;
    // A window whose open failed has its occupied flag cleared while it still
    // shows its slot: it must not be handed to a second slot.
    CChannelEX* window = m_grid.AllocateWindow([this](const CChannelEX& candidate) {
        return std::any_of(m_slots.begin(), m_slots.end(),
                           [&candidate](const std::atomic<CChannelEX*>& s) { return s.load() == &candidate; });
    });
    if (!window)
        return nullptr;
    CChannelEX* expected = nullptr;
    if (slotRef.compare_exchange_strong(expected, window))
        return window;
    // Another thread filled the slot meanwhile: give the window back.
    window->setOccupied(false);
    return expected;
}

void CPreviewPanel::configureWindow(CChannelEX& window)
{
    QString root;
    QString address;
    {
        std::lock_guard<std::mutex> guard(m_deviceTextLock);
        root = m_recordRoot;
        address = m_deviceAddress;
    }
    window.setRecordTarget(root, address);
    window.setDeviceObject(this);
}

void CPreviewPanel::assignWindows(int channelCount)
{
    m_channelCount.store(channelCount);
    const std::uint32_t deviceHandle = m_deviceHandle.load();
    if (!m_gridReady.load() || deviceHandle == 0)
        return;
    const int slotCount = std::clamp(channelCount, 0, kMaxChannels);
    for (int slot = 0; slot < slotCount; ++slot) {
        CChannelEX* window = ensureSlotWindow(slot);
        if (!window)
            return;
        window->setOccupied(true);
        window->setDeviceHandle(deviceHandle);
        configureWindow(*window);
    }
}

int CPreviewPanel::StartAll(int channelCount, int streamType)
{
    m_channelCount.store(channelCount);
    m_streamType.store(static_cast<std::uint32_t>(streamType));
    m_stopping.store(false);
    m_grid.setTotal(channelCount <= 0 || channelCount > kMaxChannels ? 4 : channelCount);
    const std::uint32_t deviceHandle = m_deviceHandle.load();
    if (!m_gridReady.load() || deviceHandle == 0)
        return -1;

    // Never more slots than the grid has windows, whatever the page asked.
    const int slotCount = std::clamp(channelCount, 0, kMaxChannels);
    std::vector<std::thread> workers;
    int result = 0;
    for (int slot = 0; slot < slotCount; ++slot) {
        CChannelEX* window = ensureSlotWindow(slot);
        if (!window) {
            result = kNoFreeWindow;
            break;
        }
        configureWindow(*window);
        if (window->isPlaying())
            continue;
        window->setOccupied(true);
        if (!startThread(workers, [this, deviceHandle, slot, streamType] {
                startWorker(deviceHandle, slot, streamType);
            }))
            startWorker(deviceHandle, slot, streamType);  // no thread to be had: open it here
    }
    // The workers already started finish before this returns, also on failure.
    joinAll(workers);
    if (result != 0)
        return result;
    m_running.store(true);
    return 0;
}

void CPreviewPanel::startWorker(std::uint32_t deviceHandle, int slot, int streamType)
{
    CChannelEX* window = slotWindow(slot);
    if (window && !m_stopping.load()) {
        if (window->StartRealPlay(deviceHandle, slot, streamType) != 0) {
            window->setOccupied(false);
            for (int step = 0; step < kFailWaitSteps && !m_stopping.load(); ++step)
                sleepMs(kFailWaitStepMs);
        }
    }
    sleepMs(kWorkerLingerMs);
}

void CPreviewPanel::StopAll()
{
    m_stopping.store(true);
    std::vector<std::thread> workers;
    for (int slot = 0; slot < kMaxChannels; ++slot) {
        CChannelEX* window = slotWindow(slot);
        if (!window)
            continue;
        if (!startThread(workers, [this, window] { stopWorker(window); }))
            stopWorker(window);  // no thread to be had: close it here
    }
    joinAll(workers);
    m_running.store(false);
}

void CPreviewPanel::stopWorker(CChannelEX* window)
{
    if (window->StopRealPlay() == 0) {
        m_stopping.store(false);
        postMessage(window->view().postHandle(), WM_VIEW_STATUS_SHOW);
    }
}

void CPreviewPanel::supervisedStop()
{
    std::lock_guard<std::mutex> operation(m_channelsOpLock);
    StopAll();
}

void CPreviewPanel::supervisedRestart()
{
    std::lock_guard<std::mutex> operation(m_channelsOpLock);
    StopAll();
    for (int step = 0; step < PreviewSupervisor::kRestartPauseSteps; ++step)
        sleepMs(PreviewSupervisor::kRestartPauseStepMs);
    StartAll(m_channelCount.load(), static_cast<int>(m_streamType.load()));
}

void CPreviewPanel::supervisedReopen()
{
    std::lock_guard<std::mutex> operation(m_channelsOpLock);
    if (!m_running.load())
        return;
    // Channels that are up stay as they are; one that went down (its
    // recorder went away, or it was refused) opens again.
    const int slotCount = std::clamp(m_channelCount.load(), 0, kMaxChannels);
    for (int slot = 0; slot < slotCount; ++slot) {
        const CChannelEX* window = slotWindow(slot);
        if (!window || !window->isPlaying()) {
            StartAll(m_channelCount.load(), static_cast<int>(m_streamType.load()));
            return;
        }
    }
}

void CPreviewPanel::openAllNow()
{
    {
        std::lock_guard<std::mutex> operation(m_channelsOpLock);
        StartAll(m_channelCount.load(), static_cast<int>(m_streamType.load()));
    }
    // The page learns which channels really opened.
    postViewState();
    postRecordState();
}

void CPreviewPanel::closeAllNow()
{
    m_stopping.store(true);  // a start running on the supervisor gives up early
    {
        std::lock_guard<std::mutex> operation(m_channelsOpLock);
        StopAll();
    }
    postViewState();
    postRecordState();
}

void CPreviewPanel::closeAllChannels(int reasonFlag)
{
    m_supervisor.clearRequests();
    m_stopping.store(true);
    std::lock_guard<std::mutex> operation(m_channelsOpLock);
    if (reasonFlag == 1) {
        // Logging out: nothing may open on this device handle any more, not
        // even a start the supervisor took before the queue was cleared.
        m_deviceHandle.store(0);
        for (int k = 0; k < CChannelPanel::kWindowCount; ++k)
            m_grid.window(k)->setDeviceHandle(0);
    }
    StopAll();
}
