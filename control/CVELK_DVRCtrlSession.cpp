// SPDX-License-Identifier: GPL-3.0-or-later
// Session, page and settings methods of the control.
#include "control/CVELK_DVRCtrl.h"

#include "control/OsdMatrix.h"
#include "device/CDeviceManage.h"
#include "device/DeviceSession.h"
#include "platform/Messages.h"
#include "playback/BackupQueue.h"
#include "widgets/LanguageTable.h"

#include <QFileDialog>

#include <algorithm>
#include <array>

using namespace platform;

namespace {

// The settings the page may read and write; matched case-sensitively.
bool isLocalParameterKey(const QString& key)
{
    static const std::array<QString, 6> kKeys = {
        QStringLiteral("snap_path"),  QStringLiteral("record_path"), QStringLiteral("record_pack_time"),
        QStringLiteral("alarm_path"), QStringLiteral("save_alarm"),  QStringLiteral("backup_path"),
    };
    return std::find(kKeys.begin(), kKeys.end(), key) != kKeys.end();
}

QString loginResult(std::uint32_t code, std::uint32_t devId)
{
    return QString::asprintf("%08x_%d", code, static_cast<int>(devId));
}

}  // namespace

QString CVELK_DVRCtrl::Login(const QString& deviceIp, std::uint32_t mediaPort, const QString& userName,
                             const QString& userPassword)
{
    auto* session = new DeviceSession;
    // The new session is current at once; the previous one stays listed.
    m_currentSessionId = session->id();
    session->setLoginParameters(deviceIp, mediaPort, userName, userPassword, m_clientId);
    session->setWebPort(m_webPort);
    session->setPanels(&m_preview, &m_playback);
    session->setBackupQueue(std::make_unique<playback::BackupQueue>());

    std::uint32_t code = session->login();
    if (code != 0) {
        delete session;
        m_currentSessionId = 0;
        if (code == DeviceSession::kUnreachableCode)
            code = 3;
        return loginResult(code, 0);
    }
    const std::uint32_t devId = session->id();
    CDeviceManage::instance().add(session);
    m_loggedInSessionIds.push_back(devId);
    session->setControlWindow(handle());
    m_preview.setControlWindow(handle());
    return loginResult(0, devId);
}

std::uint32_t CVELK_DVRCtrl::Logout(std::uint32_t devId)
{
    DeviceSession* session = listedSession(devId);
    if (!session)
        return static_cast<std::uint32_t>(-2);
    m_overlay.endEditing();
    session->logout();
    if (m_preview.session() == session)
        m_preview.setSession(nullptr);
    std::erase(m_loggedInSessionIds, devId);
    CDeviceManage::instance().remove(session);
    if (m_currentSessionId == devId)
        m_currentSessionId = 0;
    return 0;  // whatever the recorder answered
}

void CVELK_DVRCtrl::SetSize(std::uint32_t width, std::uint32_t height)
{
    sendMessage(handle(), WM_SIZE, width, height);
}

void CVELK_DVRCtrl::RePlace(std::uint16_t /*type*/, std::int16_t x, std::int16_t y)
{
    // Message parameters are 32 bits wide for the page: -1 travels as 0xFFFFFFFF.
    const auto wParam = static_cast<WPARAM>(static_cast<std::uint32_t>(static_cast<std::int32_t>(x)));
    const auto lParam = static_cast<LPARAM>(static_cast<std::int32_t>(y));
    postMessage(handle(), WM_SIZE, wParam, lParam);
}

std::uint32_t CVELK_DVRCtrl::SetLanguageString(std::uint32_t /*devId*/, const QString& key, const QString& value)
{
    if (!m_language)
        return 3;
    if (!m_language->replace(key, value))
        return 2;
    // Texts looked up when drawn follow on the next paint; the schedule
    // page's buttons hold theirs, so they are set again.
    if (m_schedule.isCreated())
        m_schedule.refreshTexts();
    return 0;
}

QString CVELK_DVRCtrl::SetLocalParameter(std::uint32_t devId, const QString& key, const QString& value,
                                         const QString& operation)
{
    DeviceSession* session = listedSession(devId);
    if (!session)
        return QStringLiteral("faile 1");
    if (!isLocalParameterKey(key))
        return QStringLiteral("faile 2");
    if (operation == QLatin1String("get"))
        return session->readSetting(key);
    if (operation != QLatin1String("set"))
        return QStringLiteral("faile 4");
    // A value that could not be stored is not reported as stored.
    if (!session->writeSetting(key, value))
        return QStringLiteral("faile 3");
    if (key == QLatin1String("snap_path"))
        m_playback.setSnapFolder(value);
    else if (key == QLatin1String("record_path"))
        m_preview.setRecordFolder(value);
    return QStringLiteral("succeed");
}

QString CVELK_DVRCtrl::GetFolderPath(std::uint32_t devId)
{
    if (!listedSession(devId))
        return QStringLiteral("faile");
    // Qt's own dialog, so that it is drawn (and shown in the page) like every
    // other window of the control. It runs a nested event loop.
    QString folder = QFileDialog::getExistingDirectory(nullptr, QString(), QString(),
                                                       QFileDialog::ShowDirsOnly |
                                                           QFileDialog::DontUseNativeDialog);
    if (folder.isEmpty())
        return {};
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString CVELK_DVRCtrl::CreateOsdMatrix(const QString& text, std::uint32_t /*unused*/)
{
    return createOsdMatrix(text);
}
