// SPDX-License-Identifier: GPL-3.0-or-later
// The control object: construction, its window and panels, page switching,
// its own drawing, and the window procedure that turns private messages into
// events. The automation methods live in the CVELK_DVRCtrl*.cpp files beside.
#include "control/CVELK_DVRCtrl.h"

#include "control/BackupText.h"
#include "device/AlarmMailbox.h"
#include "device/CDeviceManage.h"
#include "device/DeviceSession.h"
#include "platform/Debug.h"
#include "platform/Messages.h"
#include "playback/BackupMailbox.h"
#include "playback/BackupProgress.h"
#include "widgets/LanguageTable.h"

#include <QImage>
#include <QPainter>

using namespace platform;

CVELK_DVRCtrl::CVELK_DVRCtrl()
    : m_language(std::make_unique<LanguageTable>())
{
    // Every window that shows text looks it up in the one table.
    m_playback.setLanguageTable(m_language.get());
    m_preview.setLanguageTable(m_language.get());
    m_schedule.setLanguageTable(m_language.get());
    m_overlay.setLanguageTable(m_language.get());
    m_overlay.setStatus(COverlayWnd::kStatusNone);
    // The control paints every pixel itself, double-buffered.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CVELK_DVRCtrl::~CVELK_DVRCtrl()
{
    destroyWindow();
    unlinkSessions();
}

void CVELK_DVRCtrl::setEventSink(EventSink sink)
{
    m_eventSink = std::move(sink);
}

DeviceSession* CVELK_DVRCtrl::listedSession(std::uint32_t devId)
{
    return CDeviceManage::instance().find(devId);
}

DeviceSession* CVELK_DVRCtrl::currentSession() const
{
    return m_currentSessionId == 0 ? nullptr : listedSession(m_currentSessionId);
}

bool CVELK_DVRCtrl::onCreate()
{
    const QRect client = rect();
    m_playback.createWindow(this, client, kPlaybackPanelId, true);
    m_preview.createWindow(this, client, kPreviewPanelId, true);
    m_overlay.createWindow(this, client, kOverlayWindowId, true);
    m_schedule.createWindow(this, client, kScheduleWindowId, true);
    m_preview.show();
    m_playback.hide();
    m_overlay.hide();
    m_schedule.hide();
    return true;
}

void CVELK_DVRCtrl::onDestroy()
{
    // The overlay's stream belongs to a session: it ends before the session.
    m_overlay.endEditing();
    endCurrentSession();
    m_schedule.destroyWindow();
    m_overlay.destroyWindow();
    m_preview.destroyWindow();
    m_playback.destroyWindow();
    dropAlarms(handle());
    playback::dropBackupNotes(handle());
}

void CVELK_DVRCtrl::endCurrentSession()
{
    DeviceSession* session = currentSession();
    m_currentSessionId = 0;
    if (!session)
        return;
    session->logout();
    if (m_preview.session() == session)
        m_preview.setSession(nullptr);
    CDeviceManage::instance().remove(session);
}

void CVELK_DVRCtrl::unlinkSessions()
{
    for (std::uint32_t id : m_loggedInSessionIds) {
        if (DeviceSession* session = listedSession(id)) {
            session->setPanels(nullptr, nullptr);
            session->setControlWindow(0);
        }
    }
    m_loggedInSessionIds.clear();
}

void CVELK_DVRCtrl::showPanel(CWnd& panel, bool show)
{
    if (panel.isCreated())
        panel.setVisible(show);
}

void CVELK_DVRCtrl::layoutPanels()
{
    if (!m_preview.isCreated())
        return;
    const QRect client = rect();
    for (CWnd* panel : {static_cast<CWnd*>(&m_playback), static_cast<CWnd*>(&m_overlay),
                        static_cast<CWnd*>(&m_schedule)}) {
        panel->setGeometry(client);
        panel->update();
    }
    // In full screen the preview covers the screen; it takes the client
    // area when it comes back.
    m_preview.placeInParent(client);
}

void CVELK_DVRCtrl::resizeEvent(QResizeEvent* event)
{
    CWnd::resizeEvent(event);
    layoutPanels();
}

void CVELK_DVRCtrl::paintEvent(QPaintEvent* /*event*/)
{
    // Visible only where no panel covers the control.
    if (size().isEmpty())
        return;
    QImage buffer(size(), QImage::Format_ARGB32_Premultiplied);
    {
        QPainter offscreen(&buffer);
        offscreen.fillRect(buffer.rect(), Qt::white);
        offscreen.setPen(Qt::black);
        offscreen.drawEllipse(buffer.rect().adjusted(0, 0, -1, -1));
    }
    QPainter painter(this);
    painter.drawImage(0, 0, buffer);
}

std::uint32_t CVELK_DVRCtrl::SwitchPage(std::uint32_t page)
{
    const auto nPage = static_cast<std::int32_t>(page);
    if (nPage == m_currentPage)
        return 0;
    const bool haveWindows = m_preview.isCreated();
    // Another page is never shown behind a preview in full screen.
    if (nPage >= 1 && nPage <= 3)
        m_preview.setFullScreen(false);
    switch (nPage) {
    case 0:  // live preview
        if (haveWindows) {
            showPanel(m_preview, true);
            showPanel(m_playback, false);
            m_playback.stopPlaybackAsync();
            showPanel(m_overlay, false);
            m_overlay.endEditing();
            showPanel(m_schedule, false);
        }
        break;
    case 1:  // overlay editor
        if (haveWindows) {
            showPanel(m_preview, false);
            m_preview.stopPreviewAll();
            showPanel(m_playback, false);
            m_playback.stopPlaybackAsync();
            showPanel(m_overlay, true);
            showPanel(m_schedule, false);
        }
        break;
    case 2:  // record schedule
        showPanel(m_schedule, true);
        showPanel(m_preview, false);
        m_preview.stopPreviewAll();
        showPanel(m_playback, false);
        m_playback.stopPlaybackAsync();
        showPanel(m_overlay, false);
        m_overlay.endEditing();
        break;
    case 3:  // playback
        if (haveWindows) {
            showPanel(m_overlay, false);
            m_overlay.endEditing();
            showPanel(m_preview, false);
            m_preview.stopPreviewAll();
            showPanel(m_playback, true);
            showPanel(m_schedule, false);
        }
        break;
    default:
        break;
    }
    m_currentPage = nPage;
    return 0;
}

void CVELK_DVRCtrl::fireEvent(int dispid, std::vector<Variant> args)
{
    const EventInfo* info = findEvent(dispid);
    if (info && m_eventSink)
        m_eventSink(*info, args);
}

LRESULT CVELK_DVRCtrl::windowProc(std::uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_SIZE:
        // The numbers it carries are not used: the panels cover the client area.
        layoutPanels();
        return 0;
    case WM_CHANNEL_CLICK:
        fireEvent(3, {Variant::ui4(static_cast<std::uint32_t>(wParam))});
        return 0;
    case WM_ALARM_2:
        onAlarm(2, wParam, lParam);
        return 0;
    case WM_ALARM_1:
        onAlarm(1, wParam, lParam);
        return 0;
    case WM_ALARM_0:
        onAlarm(0, wParam, lParam);
        return 0;
    case WM_DEVICE_ALARM:
        // Each waiting alarm goes to the page as its alarm message would.
        for (const DeviceAlarm& alarm : takeAlarms(handle())) {
            const std::string content = alarmContentText(alarm);
            const std::uint32_t type = alarmUploadType(alarm);
            const std::uint32_t message = type == 2 ? WM_ALARM_2 : type == 1 ? WM_ALARM_1 : WM_ALARM_0;
            windowProc(message, reinterpret_cast<WPARAM>(content.c_str()), static_cast<LPARAM>(content.size()));
        }
        return 0;
    case WM_BACKUP_MAIL:
        onBackupMail();
        return 0;
    case WM_CHANNEL_RECORD_STATE:
        fireEvent(4, {Variant::ui4(1), Variant::ui4(static_cast<std::uint32_t>(wParam))});
        return 0;
    case WM_CHANNEL_VIEW_STATE:
        fireEvent(4, {Variant::ui4(0), Variant::ui4(static_cast<std::uint32_t>(wParam))});
        return 0;
    case WM_DEVICE_STATE_CHANGED:
        fireEvent(4, {Variant::ui4(2), Variant::ui4(0)});
        return 0;
    case WM_STREAMTYPE_CHANGED:
        debugOutput(" &&&& pang WM_STREAMTYPE_CHANGED \n");
        fireEvent(4, {Variant::ui4(3), Variant::ui4(static_cast<std::uint32_t>(wParam))});
        return 0;
    default:
        if (msg >= WM_BACKUP_NOTIFY && msg <= WM_BACKUP_NOTIFY_LAST) {
            onBackupNotify(msg, wParam, lParam);
            return 0;
        }
        return CWnd::windowProc(msg, wParam, lParam);
    }
}

void CVELK_DVRCtrl::onAlarm(std::uint32_t type, WPARAM wParam, LPARAM lParam)
{
    // wParam: the alarm content as a zero-terminated UTF-8 text (or null),
    // valid while the message is handled; lParam: its size.
    const auto* content = reinterpret_cast<const char*>(wParam);
    fireEvent(1, {Variant::ui4(type), Variant::bstr(content ? QString::fromUtf8(content) : QString()),
                  Variant::ui4(static_cast<std::uint32_t>(lParam))});
}

void CVELK_DVRCtrl::onBackupNotify(std::uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    const auto* progress = reinterpret_cast<const BackupProgress*>(lParam);
    if (!progress)
        return;
    const auto* key = reinterpret_cast<const char*>(wParam);
    handleBackupEvent(currentSession(), msg - WM_BACKUP_NOTIFY, key ? QString::fromUtf8(key) : QString(),
                      *progress);
}

void CVELK_DVRCtrl::onBackupMail()
{
    for (const playback::BackupNote& note : playback::takeBackupNotes(handle())) {
        DeviceSession* session = listedSession(note.sessionId);
        const QString key = QString::fromUtf8(note.key);
        if (!session || !session->isBackupCurrent(key, note.serial))
            continue;
        handleBackupEvent(session, note.flag, key, note.progress);
    }
}

void CVELK_DVRCtrl::handleBackupEvent(DeviceSession* session, std::uint32_t flag, const QString& key,
                                      const BackupProgress& progress)
{
    const std::uint32_t sessionId = session ? session->id() : 0;
    fireEvent(2, {Variant::bstr(key), Variant::ui4(flag), Variant::ui8(progress.totalBytes),
                  Variant::ui8(progress.currentBytes),
                  Variant::bstr(backupPercentText(progress.totalBytes, progress.currentBytes))});
    // Whoever heard the event may have logged the session out meanwhile.
    session = sessionId != 0 ? listedSession(sessionId) : nullptr;
    if (!session)
        return;
    switch (flag) {
    case 1:  // done
    case 2:  // unreachable
    case 4:  // failed
        if (const std::optional<BackupProgress> stopped = session->stopBackup(key))
            handleBackupEvent(session, 3, key, *stopped);
        session->startQueuedBackups();
        break;
    case 3:  // stopped
        session->stopBackup(key);
        session->startQueuedBackups();
        break;
    default:
        break;
    }
}
