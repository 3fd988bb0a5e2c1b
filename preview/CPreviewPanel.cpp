// SPDX-License-Identifier: GPL-3.0-or-later
// The preview panel's window, its requests from the control and the
// session, the messages from its grid and full screen. Opening and closing
// channels is CPreviewPanelChannels.cpp.
#include "preview/CPreviewPanel.h"

#include "device/DeviceSession.h"
#include "platform/Messages.h"
#include "preview/GridLayout.h"
#include "preview/PreviewMessages.h"
#include "preview/RecordFileName.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include <system_error>
#include <thread>
#include <vector>

using namespace platform;
using namespace preview;

namespace {

// Starts a thread for one window's record work; when no thread can be
// started the work runs here instead.
template <typename Work>
void runOnThread(std::vector<std::thread>& threads, Work work)
{
    try {
        threads.emplace_back(work);
    } catch (const std::system_error&) {
        work();
    }
}

}  // namespace

CPreviewPanel::CPreviewPanel()
    : m_supervisor(PreviewSupervisor::Actions{[this] { supervisedStop(); }, [this] { supervisedRestart(); },
                                              [this] { supervisedReopen(); }, [this] { return m_running.load(); }})
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

CPreviewPanel::~CPreviewPanel()
{
    m_supervisor.shutdown();
    destroyWindow();
}

void CPreviewPanel::setLanguageTable(LanguageTable* table)
{
    m_language = table;
    m_grid.setLanguageTable(table);
}

bool CPreviewPanel::onCreate()
{
    if (auto* parent = dynamic_cast<CWnd*>(parentWidget()))
        m_parentHandle = parent->handle();
    if (!m_grid.createWindow(this, QRect(0, 0, 300, 300), kGridId, true))
        return false;
    m_grid.setGeometry(rect());
    m_gridReady.store(true);
    return true;
}

void CPreviewPanel::onDestroy()
{
    setFullScreen(false);
    // No operation may start on the grid from now on; close what is open.
    m_gridReady.store(false);
    m_supervisor.clearRequests();
    m_stopping.store(true);
    {
        std::lock_guard<std::mutex> operation(m_channelsOpLock);
        StopAll();
    }
    m_grid.destroyWindow();
    m_parentHandle = 0;
}

void CPreviewPanel::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x1b, 0x1b, 0x1b));
}

void CPreviewPanel::resizeEvent(QResizeEvent* event)
{
    CWnd::resizeEvent(event);
    if (m_grid.isCreated())
        m_grid.setGeometry(rect());
}

void CPreviewPanel::keyPressEvent(QKeyEvent* event)
{
    // Any key but Ctrl and F11 leaves full screen.
    if (event->key() != Qt::Key_Control && event->key() != Qt::Key_F11)
        setFullScreen(false);
    event->accept();
}

void CPreviewPanel::setDevice(std::uint32_t deviceHandle, const QString& recordFolder)
{
    m_deviceHandle.store(deviceHandle);
    std::lock_guard<std::mutex> guard(m_deviceTextLock);
    m_recordRoot = recordFolder;
}

void CPreviewPanel::setDeviceAddress(const QString& address, std::uint32_t webPort)
{
    {
        std::lock_guard<std::mutex> guard(m_deviceTextLock);
        m_deviceAddress = address;
    }
    m_webPort = webPort;
    m_grid.SetDevice(address, webPort);
}

void CPreviewPanel::setRecordFolder(const QString& folder)
{
    std::lock_guard<std::mutex> guard(m_deviceTextLock);
    m_recordRoot = folder;
}

QString CPreviewPanel::recordFolder() const
{
    std::lock_guard<std::mutex> guard(m_deviceTextLock);
    return m_recordRoot;
}

QString CPreviewPanel::deviceAddress() const
{
    std::lock_guard<std::mutex> guard(m_deviceTextLock);
    return m_deviceAddress;
}

void CPreviewPanel::capture(const QString& snapFolder, const QString& address)
{
    captureImage(snapFolder, address);
}

std::int32_t CPreviewPanel::captureImage(const QString& snapFolder, const QString& address, QString* savedPath,
                                         int* channel)
{
    if (preview::normalisedRoot(snapFolder).isEmpty())
        return CChannelEX::kRecordFileNotCreated;
    for (int slot = 0; slot < kMaxChannels; ++slot) {
        CChannelEX* window = slotWindow(slot);
        if (!window || !window->isActive())
            continue;
        if (channel)
            *channel = window->channel();
        return window->CaptureLocalImage(snapFolder, address, savedPath);
    }
    return CChannelEX::kNoStream;
}

std::int32_t CPreviewPanel::startLocalRecord(const QString& recordFolder, const QString& address)
{
    {
        std::lock_guard<std::mutex> guard(m_deviceTextLock);
        m_recordRoot = recordFolder;
        m_deviceAddress = address;
    }
    // A folder that cannot be used records nothing: no window tries it.
    if (preview::normalisedRoot(recordFolder).isEmpty())
        return CChannelEX::kRecordFileNotCreated;
    // One thread per playing window, as files are created and key frames
    // asked for in parallel; they only post, so this thread may wait.
    std::vector<std::thread> starters;
    std::atomic<bool> notCreated{false};
    for (int slot = 0; slot < kMaxChannels; ++slot) {
        CChannelEX* window = slotWindow(slot);
        if (!window || !window->isPlaying())
            continue;
        runOnThread(starters, [window, recordFolder, address, &notCreated] {
            if (window->StartLocalRecord(recordFolder, address) == CChannelEX::kRecordFileNotCreated)
                notCreated.store(true);
        });
    }
    for (std::thread& starter : starters)
        starter.join();
    postRecordState();
    return notCreated.load() ? CChannelEX::kRecordFileNotCreated : 0;
}

void CPreviewPanel::stopLocalRecord()
{
    std::vector<std::thread> stoppers;
    for (int slot = 0; slot < kMaxChannels; ++slot)
        if (CChannelEX* window = slotWindow(slot); window && window->isRecording())
            runOnThread(stoppers, [window] { window->StopLocalRecord(); });
    for (std::thread& stopper : stoppers)
        stopper.join();
    postRecordState();
}

int CPreviewPanel::activeChannel() const
{
    for (int slot = 0; slot < kMaxChannels; ++slot)
        if (CChannelEX* window = slotWindow(slot); window && window->isActive())
            return window->channel();
    return -1;
}

std::uint32_t CPreviewPanel::switchStreamType(std::uint32_t type)
{
    // A window takes a type outside 0..2 as 1; the panel keeps what the
    // windows really use, so that later opens do not fail on it.
    const int windowType = type > 2 ? 1 : static_cast<int>(type);
    const int requested = type > 2 ? 3 : static_cast<int>(type);
    std::int32_t result = 0;
    for (int k = 0; k < CChannelPanel::kWindowCount; ++k) {
        result = m_grid.window(k)->SwitchStreamType(requested);
        if (result == 0)
            m_streamType.store(static_cast<std::uint32_t>(windowType));
    }
    return static_cast<std::uint32_t>(result);
}

std::uint32_t CPreviewPanel::openChannelMask() const
{
    std::uint32_t mask = 0;
    const int count = std::min(m_channelCount.load(), kMaxChannels);
    for (int slot = 0; slot < count; ++slot)
        if (CChannelEX* window = slotWindow(slot); window && window->isPlaying())
            mask |= 1u << slot;
    return mask;
}

std::uint32_t CPreviewPanel::recordingChannelMask() const
{
    std::uint32_t mask = 0;
    const int count = std::min(m_channelCount.load(), kMaxChannels);
    for (int slot = 0; slot < count; ++slot)
        if (CChannelEX* window = slotWindow(slot); window && window->isRecording())
            mask |= 1u << slot;
    return mask;
}

bool CPreviewPanel::allChannelsOpen() const
{
    if (m_session)
        return m_session->allChannelsOpen();
    const int count = m_channelCount.load();
    if (count < 0 || count > 32)
        return false;
    return static_cast<std::uint64_t>(openChannelMask()) + 1 == (std::uint64_t{1} << count);
}

CChannelEX* CPreviewPanel::slotWindow(int slot) const
{
    if (slot < 0 || slot >= kMaxChannels)
        return nullptr;
    return m_slots[static_cast<std::size_t>(slot)].load();
}

void CPreviewPanel::startViewAll(int channelCount, std::uint32_t streamType)
{
    m_channelCount.store(channelCount);
    m_streamType.store(streamType);
    m_supervisor.requestStart();
}

void CPreviewPanel::stopPreviewAll()
{
    m_supervisor.requestStop();
}

void CPreviewPanel::showChannels(std::uint32_t windowCount)
{
    if (windowCount == 0) {
        setFullScreen(!m_fullScreen);
        return;
    }
    if (const int layout = layoutForWindowCount(windowCount); layout != 0)
        m_grid.SetLayout(commandIdForLayout(layout));
}

void CPreviewPanel::nextGroup()
{
    m_grid.NextGroup();
    applySelectionSound(slotWindow(m_grid.firstPosition()));
}

void CPreviewPanel::previousGroup()
{
    m_grid.PreviousGroup();
    applySelectionSound(slotWindow(m_grid.firstPosition()));
}

void CPreviewPanel::applySelectionSound(const CChannelEX* selectedWindow)
{
    if (selectedWindow)
        m_grid.selectWindow(selectedWindow->windowIndex());
    const int volume = static_cast<int>(m_volume.load());
    for (int slot = 0; slot < kMaxChannels; ++slot) {
        CChannelEX* window = slotWindow(slot);
        if (!window)
            continue;
        if (window == selectedWindow) {
            window->OpenSound(volume);
        } else {
            if (window->isActive())
                window->SetActive(false);
            window->CloseSound();
        }
    }
}

void CPreviewPanel::setSoundEnabled(bool on)
{
    m_soundEnabled.store(on);
    for (int k = 0; k < CChannelPanel::kWindowCount; ++k)
        m_grid.window(k)->setSoundAllowed(on);
    const int volume = static_cast<int>(m_volume.load());
    for (int slot = 0; slot < kMaxChannels; ++slot) {
        CChannelEX* window = slotWindow(slot);
        if (!window || !window->isPlaying())
            continue;
        if (window->isActive() && on)
            window->OpenSound(volume);
        else
            window->CloseSound();
    }
}

void CPreviewPanel::setVolume(std::uint32_t volume)
{
    m_volume.store(volume);
    // The page's number may exceed 0..100 either way; each window clamps it.
    const int windowVolume = volume > 100 ? (volume > 0x7FFFFFFFu ? 0 : 100) : static_cast<int>(volume);
    for (int k = 0; k < CChannelPanel::kWindowCount; ++k)
        m_grid.window(k)->SetVolume(windowVolume);
}

void CPreviewPanel::setShapeMode(int mode)
{
    m_shapeMode = (mode == 0 || mode == 1) ? mode : 0;
    for (int k = 0; k < CChannelPanel::kWindowCount; ++k)
        m_grid.window(k)->setShapeMode(m_shapeMode);
}

void CPreviewPanel::setFullScreen(bool on)
{
    // Without its window there is nothing to show over the screen.
    if (on == m_fullScreen || (on && !isCreated()))
        return;
    if (on) {
        m_savedGeometry = geometry();
        m_formerParent = parentWidget();
        QScreen* shownOn = m_formerParent ? m_formerParent->screen() : screen();
        const QRect screenRect = shownOn ? shownOn->geometry() : QRect(0, 0, 800, 600);
        // A top-level window of its own over the whole screen; the control
        // behind it is hidden until full screen ends.
        setParent(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        if (m_formerParent)
            m_formerParent->hide();
        setGeometry(screenRect);
        show();
        // The offscreen platform stacks windows by the order they are shown.
        if (QGuiApplication::platformName() != QLatin1String("offscreen"))
            raise();
        activateWindow();
        setFocus(Qt::OtherFocusReason);
        m_fullScreen = true;
        return;
    }
    QWidget* parent = m_formerParent;
    if (parent)
        parent->show();
    // Back to a child drawn into its parent: the window of its own goes.
    hide();
    destroy(true, false);
    setParent(parent, Qt::Widget);
    setGeometry(m_savedGeometry);
    show();
    m_formerParent = nullptr;
    m_fullScreen = false;
}

void CPreviewPanel::placeInParent(const QRect& rect)
{
    if (m_fullScreen) {
        m_savedGeometry = rect;
        return;
    }
    setGeometry(rect);
    update();
}

LRESULT CPreviewPanel::windowProc(std::uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CHANNEL_CLICK:
        onWindowClicked(static_cast<int>(wParam));
        return 0;
    case WM_CHANNEL_VIEW_STATE:
        postViewState();
        postRecordState();
        return 0;
    case WM_CHANNEL_RECORD_STATE:
        postRecordState();
        return 0;
    case WM_CHANNEL_VIEW_ALL:
        if (wParam == 0)
            openAllNow();
        else
            closeAllNow();
        return 0;
    case WM_STREAMTYPE_CHANGED:
        m_streamType.store(static_cast<std::uint32_t>(wParam));
        postMessage(m_parentHandle, WM_STREAMTYPE_CHANGED, wParam, 0);
        return 0;
    case WM_EXIT_FULLSCREEN:
        setFullScreen(false);
        return 0;
    default:
        return CWnd::windowProc(msg, wParam, lParam);
    }
}

void CPreviewPanel::onWindowClicked(int windowIndex)
{
    const CChannelEX* clicked = m_grid.window(windowIndex);
    const int volume = static_cast<int>(m_volume.load());
    for (int slot = 0; slot < kMaxChannels; ++slot) {
        CChannelEX* window = slotWindow(slot);
        if (!window)
            continue;
        if (window == clicked) {
            if (window->isPlaying())
                window->OpenSound(volume);
        } else {
            window->CloseSound();
        }
    }
    postMessage(m_notifyWindow, WM_CHANNEL_CLICK, static_cast<WPARAM>(windowIndex), 0);
}

void CPreviewPanel::postViewState()
{
    postMessage(m_notifyWindow, WM_CHANNEL_VIEW_STATE, openChannelMask(), 0);
}

void CPreviewPanel::postRecordState()
{
    postMessage(m_notifyWindow, WM_CHANNEL_RECORD_STATE, recordingChannelMask(), 0);
}
