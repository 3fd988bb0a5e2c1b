// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/DeviceSession.h"

#include "device/CommandEnvelope.h"
#include "device/DecodeHexDes.h"
#include "device/DeviceCallback.h"
#include "platform/Debug.h"
#include "platform/Text.h"

#include "TOVR.h"

#include <mutex>
#include <unordered_set>

namespace {

// Texts of LOGIN go to buffers of this many bytes, terminator included.
constexpr std::size_t kLoginTextBytes = 256;
// The panel code for "no preview panel" of a stream type switch.
constexpr std::uint32_t kNoPanelCode = 0x80020002u;
// What a LOGIN that reports success without a device handle returns: the
// library's "refused", so the session is not taken for logged in.
constexpr std::uint32_t kNoHandleCode = TOVR_ERR_REFUSED;

// Device ids: nonzero, below 2^31 (they print the same with "%d" and "%u"),
// and unique among live sessions even after the counter wraps.
class SessionIds {
public:
    std::uint32_t acquire()
    {
        std::lock_guard<std::mutex> guard(m_liveLock);
        for (;;) {
            m_next = (m_next + 1) & 0x7FFFFFFFu;
            if (m_next != 0 && m_live.insert(m_next).second) {
                return m_next;
            }
        }
    }

    void release(std::uint32_t id)
    {
        std::lock_guard<std::mutex> guard(m_liveLock);
        m_live.erase(id);
    }

private:
    // Guards m_next and m_live.
    std::mutex m_liveLock;
    std::uint32_t m_next = 0;
    std::unordered_set<std::uint32_t> m_live;
};

// The error code of a LOGIN: 0 on success; the recorder's detail code when
// it refused; kUnreachableCode when it could not be reached; else the
// library's result. A refusal without a detail code and a success without a
// device handle are failures too, never 0.
std::uint32_t loginErrorCode(const CommandResult& sent)
{
    switch (sent.result) {
    case TOVR_OK:
        return sent.handle != 0 ? 0 : kNoHandleCode;
    case TOVR_ERR_DEVICE:
        return sent.detail != 0 ? sent.detail : static_cast<std::uint32_t>(TOVR_ERR_DEVICE);
    case TOVR_ERR_UNREACHABLE:
        return DeviceSession::kUnreachableCode;
    default:
        return static_cast<std::uint32_t>(sent.result);
    }
}

SessionIds& sessionIds()
{
    static auto* ids = new SessionIds;  // never destroyed: sessions may outlive static destruction order
    return *ids;
}

}  // namespace

DeviceSession::DeviceSession()
    : m_id(sessionIds().acquire())
{
}

DeviceSession::~DeviceSession()
{
    unregisterSessionWindow(m_id);
    m_backups.reset();  // ends every backup of the device
    m_preview = nullptr;
    m_playback = nullptr;
    sessionIds().release(m_id);
}

void DeviceSession::setLoginParameters(const QString& address, std::uint32_t devicePort, const QString& userName,
                                       const QString& passwordText, std::uint32_t clientId)
{
    m_address = address;
    m_devicePort = devicePort;
    m_userName = userName;
    m_passwordText = passwordText;
    m_clientId = clientId;
}

void DeviceSession::setPanels(IPreviewLink* preview, IPlaybackLink* playback)
{
    m_preview = preview;
    m_playback = playback;
}

void DeviceSession::setControlWindow(platform::WindowHandle control)
{
    m_controlWindow = control;
    registerSessionWindow(m_id, control);
}

std::uint32_t DeviceSession::login()
{
    // Each text must fit a 256-byte buffer with its terminator, else it is sent empty.
    const std::string address = platform::toUtf8Fitting(m_address, kLoginTextBytes);
    const std::string userName = platform::toUtf8Fitting(m_userName, kLoginTextBytes);
    const std::string passwordText = platform::toUtf8Fitting(m_passwordText, kLoginTextBytes);
    const std::string password = decodeHexDesText(passwordText);

    CommandEnvelope command("LOGIN");
    command.sint("DEVTYPE", 0)
        .text("DEVIP", address)
        .uint("DEVPORT", m_devicePort)
        .text("USERNAME", userName)
        .text("PASSWORD", password)
        .uint("CALLBACK", reinterpret_cast<std::uintptr_t>(&DeviceCallback))
        .uint("USERDATA", m_id)
        .uint("CLIENTID", m_clientId);
    const CommandResult sent = sendCommand(command, true, true);

    const std::uint32_t errorCode = loginErrorCode(sent);
    if (errorCode != 0) {
        platform::debugPrintf("check Login done  error-code=%08x\n", errorCode);
        return errorCode;
    }
    m_loginHandle = sent.handle;
    m_deviceHandle = sent.handle;
    m_settings.load(m_address, m_webPort);

    if (m_playback) {
        m_playback->setDevice(m_deviceHandle, m_address, m_webPort);
        m_playback->setSnapFolder(m_settings.snapPath());
    }
    if (m_preview) {
        m_preview->setDevice(m_deviceHandle, m_settings.recordPath());
        m_preview->setDeviceAddress(m_address, m_webPort);
        m_preview->setSession(this);
    }
    if (m_controlWindow != 0) {
        registerSessionWindow(m_id, m_controlWindow);
    }
    return 0;
}

int DeviceSession::logout()
{
    if (m_deviceHandle == 0) {
        return 1;
    }
    closeAllLiveChannels(1);
    stopAllBackups();
    if (m_deviceHandle == 0) {
        return 1;
    }
    CommandEnvelope command("LOGOUT");
    command.uint("HDEV", m_loginHandle);
    if (sendCommand(command).result != TOVR_OK) {
        return 0;  // both handles stay set
    }
    m_loginHandle = 0;
    m_deviceHandle = 0;
    return 1;
}

int DeviceSession::closeAllLiveChannels(int reasonFlag)
{
    if (m_preview) {
        m_preview->closeAllChannels(reasonFlag);
    }
    return 0;
}

int DeviceSession::capture()
{
    if (m_preview) {
        m_preview->capture(m_settings.snapPath(), m_address);
    }
    return 0;
}

std::int32_t DeviceSession::startLocalRecord()
{
    if (!m_preview) {
        return 1;
    }
    return m_preview->startLocalRecord(m_settings.recordPath(), m_address);
}

int DeviceSession::activeChannel() const
{
    return m_preview ? m_preview->activeChannel() : -1;
}

std::uint32_t DeviceSession::switchStreamType(std::uint32_t type)
{
    if (!m_preview) {
        return kNoPanelCode;
    }
    if (type == m_preview->streamType()) {
        return 0;
    }
    return m_preview->switchStreamType(type);
}

namespace {

std::uint32_t openMaskOf(const IPreviewLink* preview)
{
    return preview ? preview->openChannelMask() : 0;
}

}  // namespace

// All open: mask + 1 == 2^channelCount, computed without wrapping, so a
// full 32-bit mask means 32 channels, and no mask matches a negative count
// or one past 32 channels.
bool DeviceSession::allChannelsOpen() const
{
    if (m_channelCount < 0 || m_channelCount > 32) {
        return false;
    }
    const std::uint64_t maskPlusOne = static_cast<std::uint64_t>(openMaskOf(m_preview)) + 1;
    return maskPlusOne == (std::uint64_t{1} << m_channelCount);
}

bool DeviceSession::noChannelOpen() const
{
    return openMaskOf(m_preview) == 0;
}

int DeviceSession::setRecordPeriod(std::uint32_t channel, std::uint32_t recordType, const QString& start,
                                   const QString& end)
{
    if (m_playback) {
        m_playback->setRecordPeriod(channel, recordType, start, end);
    }
    return 1;
}

bool DeviceSession::queueBackup(const QString& deviceFileName, int channel, const QString& startDigits,
                                const QString& endDigits, const QString& key)
{
    if (!m_backups) {
        return false;
    }
    BackupRequest request;
    request.sessionId = m_id;
    request.deviceHandle = m_deviceHandle;
    request.notifyWindow = m_controlWindow;
    request.address = m_address;
    request.webPort = m_webPort;
    request.saveFolder = m_settings.backupPath();
    request.channel = channel;
    request.deviceFileName = deviceFileName;
    request.startDigits = startDigits;
    request.endDigits = endDigits;
    request.key = key;
    return m_backups->add(request);
}

std::optional<BackupProgress> DeviceSession::stopBackup(const QString& key)
{
    return m_backups ? m_backups->stop(key) : std::nullopt;
}

void DeviceSession::startQueuedBackups()
{
    if (m_backups) {
        m_backups->startQueued();
    }
}

void DeviceSession::stopAllBackups()
{
    if (m_backups) {
        m_backups->stopAll();
    }
}

bool DeviceSession::isBackupCurrent(const QString& key, std::uint64_t serial) const
{
    return m_backups && m_backups->isCurrent(key, serial);
}
