// SPDX-License-Identifier: GPL-3.0-or-later
// The session's transport: open, play, pause, fast, slow, single frames and
// stop.
#include "playback/PlaybackSession.h"

#include "platform/Debug.h"

#include <bit>

namespace playback {

namespace {

constexpr std::int32_t kResultOk = 0;
constexpr std::int32_t kResultUnknownHandle = 1;
constexpr std::int32_t kResultBroken = 6;
constexpr std::int32_t kResultDevice = 7;

}  // namespace

int nextFastSpeed(int speed)
{
    return speed >= 2 && speed < 16 ? speed * 2 : 2;
}

int nextSlowSpeed(int speed)
{
    return speed <= -2 && speed > -16 ? speed * 2 : -2;
}

PlaybackSession::PlaybackSession(IPlaybackLibrary& library, IPlaybackBarView& bar)
    : m_library(library), m_bar(bar)
{
}

IPlaybackWindow* PlaybackSession::window(int slot) const
{
    return slot >= 0 && slot < kSlots ? m_windows[static_cast<std::size_t>(slot)] : nullptr;
}

void PlaybackSession::setChannelMask(std::uint32_t mask)
{
    if (mask != m_channelMask)
        stopPlay();
    m_channelMask = mask;
    m_channelCount = std::popcount(mask);
}

void PlaybackSession::setRecordType(std::uint32_t type)
{
    // 7 means all recordings as 2 does: no reason to stop for it.
    const std::uint32_t stored = type > 2 ? 2 : type;
    if (stored != m_recordType)
        stopPlay();
    m_recordType = stored;
}

void PlaybackSession::setDay(const platform::DateTime& day)
{
    stopPlay();
    statusKey("IE_PlaybackStop");
    // A stream whose stop failed keeps its handle and its state.
    if (m_playHandle.load() == 0)
        m_playState = kStopped;
    m_clock = day;
}

bool PlaybackSession::getDecoder()
{
    const std::uint32_t playHandle = m_playHandle.load();
    if (playHandle == 0)
        return false;
    m_decoder = 0;
    CommandEnvelope command("GETDECODER");
    command.uint("HPLAY", playHandle);
    const CommandResult sent = m_library.command(command, true);
    if (!sent.okWithHandle())
        return false;
    m_decoder = sent.handle;
    m_sessionDecoder = sent.handle;
    return true;
}

void PlaybackSession::play()
{
    if (m_channelMask == 0) {
        statusKey("IE_NoPower");
        return;
    }
    if (m_deviceHandle == 0) {
        statusKey("IE_NetworkError");
        return;
    }
    const platform::DateTime start = m_bar.cursorTime();
    switch (m_playState) {
    case kPlaying:
        m_bar.updateButtons(false);
        return;
    case kPaused:
    case kSingleFrame: {
        if (!getDecoder()) {
            stopPlay();
            return;
        }
        if (const std::int32_t result = m_library.pause(m_sessionDecoder, 0); result != 0) {
            statusLiteral(QStringLiteral("pause back result %1").arg(result));
            return;
        }
        m_playState = kPlaying;
        m_bar.updateButtons(false);
        statusKey("STR_Playing");
        leaveFrameDropMode();
        m_firstData = false;
        restoreSoundAfterSingleFrame();
        return;
    }
    case kFast:
    case kSlow:
        if (!getDecoder()) {
            stopPlay();
            return;
        }
        m_speed = 1;
        m_library.setSpeed(m_sessionDecoder, 1);
        m_playState = kPlaying;
        m_bar.updateButtons(false);
        statusKey("STR_Playing");
        if (m_frameDrop)
            leaveFrameDropMode();
        else
            restoreSoundAfterSingleFrame();
        return;
    default:
        open(start);
        return;
    }
}

void PlaybackSession::open(const platform::DateTime& start)
{
    const int slotCount = std::min(m_channelCount, kSlots);
    for (int i = 0; i < slotCount; ++i) {
        auto& slot = m_windows[static_cast<std::size_t>(i)];
        if (slot)
            continue;
        slot = m_bar.allocateWindow();
        if (!slot)
            break;
    }
    bool any = false;
    for (IPlaybackWindow* w : m_windows) {
        if (w) {
            w->setPlaying(true);
            w->setOccupied(true);
            any = true;
        }
    }
    if (!any) {
        statusLiteral(QStringLiteral("no wnd resourse"));
        return;
    }
    std::vector<std::uint32_t> views(static_cast<std::size_t>(slotCount), 0);
    for (int i = 0; i < slotCount; ++i) {
        if (IPlaybackWindow* w = m_windows[static_cast<std::size_t>(i)])
            views[static_cast<std::size_t>(i)] = w->viewHandle();
    }
    // Callbacks of the stream carry this generation; news of earlier
    // streams still queued for the bar is recognised and dropped.
    m_generation = (m_generation + 1) & kGenerationMask;
    CommandEnvelope command("REMOTEPLAY");
    command.uint("HDEV", m_deviceHandle)
        .uint("CHANNEL", m_channelMask)
        .uint("STREAMTYPE", m_streamType)
        .uint("FILETYPE", m_recordType)
        .uint("CALLBACK", reinterpret_cast<std::uintptr_t>(&PlaybackSession::streamCallback))
        .uint("USERDATA", reinterpret_cast<std::uintptr_t>(userDataFor(m_barHandle.load(), m_generation)))
        .uintArray("HWND", views)
        .text("STARTTIME", start.toDigits());
    const CommandResult sent = m_library.command(command, true);
    if (sent.result != kResultOk) {
        if (sent.result == kResultBroken)
            statusKey("IE_NetworkError");
        else
            statusLiteral(QStringLiteral("Error %1").arg(sent.result));
        releaseWindows();
        return;
    }
    if (sent.handle == 0) {
        // Nothing was opened: the windows are free again.
        releaseWindows();
        return;
    }
    m_playHandle.store(sent.handle);
    m_bar.enableBar(false);
    m_singleFrameSilence = false;
    progressKey("IE_Buffering");
    m_speed = 1;
    m_playState = kPlaying;
    m_bar.updateButtons(true);
    statusKey("STR_Playing");
    m_firstData = false;
    m_seekPending = false;
    m_frameTimeReported = false;
    m_callbackCount = 0;
    restartWatchdog();
}

bool PlaybackSession::backToNormalSpeed()
{
    m_speed = 1;
    if (m_library.setSpeed(m_sessionDecoder, 1) == 0)
        return true;
    stopPlay();
    return false;
}

bool PlaybackSession::resumeDecoder()
{
    if (getDecoder() && m_library.pause(m_sessionDecoder, 0) == 0)
        return true;
    stopPlay();
    return false;
}

void PlaybackSession::pause()
{
    if (!getDecoder()) {
        stopPlay();
        return;
    }
    if (m_playState == kPaused || m_playState == kStopped)
        return;
    if ((m_playState == kFast || m_playState == kSlow) && !backToNormalSpeed())
        return;
    if (m_library.pause(m_sessionDecoder, 1) != 0) {
        stopPlay();
        return;
    }
    m_playState = kPaused;
    m_bar.updateButtons(false);
    statusKey("IE_PlaybackPause");
    progressClear();
}

void PlaybackSession::fast()
{
    if (!getDecoder()) {
        statusLiteral(QStringLiteral("Speed Failed"));
        stopPlay();
        return;
    }
    switch (m_playState) {
    case kStopped:
        return;
    case kFast:
        m_speed = nextFastSpeed(m_speed);
        m_frameDrop = true;
        break;
    case kSingleFrame:
    case kPaused:
        // A paused decoder stays paused whatever its speed: resume it, or
        // the pictures would stand while the bar says fast.
        if (!resumeDecoder())
            return;
        if (m_playState == kPaused) {
            sendLose(1);
            m_frameDrop = true;
        }
        m_speed = 2;
        break;
    default:  // playing, slow
        sendLose(1);
        m_frameDrop = true;
        m_speed = 2;
        break;
    }
    if (m_library.setSpeed(m_sessionDecoder, m_speed) != 0) {
        stopPlay();
        return;
    }
    m_playState = kFast;
    m_bar.updateButtons(false);
    statusLiteral(QStringLiteral("%1 X%2").arg(m_bar.text("IE_PlaybackSpeed")).arg(m_speed));
}

void PlaybackSession::slow()
{
    if (!getDecoder()) {
        statusLiteral(QStringLiteral("Slow Failed"));
        stopPlay();
        return;
    }
    switch (m_playState) {
    case kStopped:
        return;
    case kSlow:
        m_speed = nextSlowSpeed(m_speed);
        break;
    case kSingleFrame:
    case kPaused:
        // As for fast play: a paused decoder must run again.
        if (!resumeDecoder())
            return;
        m_speed = -2;
        break;
    default:  // playing, fast
        m_speed = -2;
        break;
    }
    if (m_library.setSpeed(m_sessionDecoder, m_speed) != 0) {
        stopPlay();
        return;
    }
    m_playState = kSlow;
    m_bar.updateButtons(false);
    leaveFrameDropMode();
    statusLiteral(m_bar.text("IE_PlaybackSlow") + QStringLiteral(" X1/%1").arg(-m_speed));
}

void PlaybackSession::nextFrame()
{
    if (!getDecoder()) {
        statusLiteral(QStringLiteral("Next Frame Failed"));
        stopPlay();
        return;
    }
    if (m_speed != 1 && !backToNormalSpeed())
        return;
    if (m_library.playFrame(m_sessionDecoder, 1) != 0) {
        stopPlay();
        return;
    }
    m_playState = kSingleFrame;
    m_bar.updateButtons(false);
    leaveFrameDropMode();
    m_singleFrameSilence = true;
    if (!m_muted)
        soundOffForSoundWindow();
    statusKey("IE_PlaybackNextFrame");
}

void PlaybackSession::leaveFrameDropMode()
{
    if (!m_frameDrop)
        return;
    progressKey("IE_Buffering");
    m_bar.updateButtons(true);
    sendLose(0);
    m_frameDrop = false;
    // The recorder sent key frames only: the whole stream comes again from
    // where the pictures are.
    m_bar.seekSelf(m_clock);
}

void PlaybackSession::sendLose(std::uint32_t value)
{
    CommandEnvelope command("REMOTEPLAYLOSE");
    command.uint("HPLAY", m_playHandle.load()).uint("VAL", value);
    m_library.command(command, false);
}

void PlaybackSession::stopPlay()
{
    const std::uint32_t playHandle = m_playHandle.exchange(0);
    if (playHandle == 0)
        return;
    m_bar.enableBar(false);
    CommandEnvelope command("REMOTEPLAYSTOP");
    command.uint("HPLAY", playHandle);
    finishStop(m_library.command(command, false).result, playHandle);
}

void PlaybackSession::finishStop(std::int32_t result, std::uint32_t playHandle)
{
    // A handle the library does not know is no stream any more: keeping it
    // would leave the session "playing" something that cannot come back.
    if (result == kResultOk || result == kResultUnknownHandle) {
        m_sessionDecoder = 0;
        m_decoder = 0;
        m_playState = kStopped;
        m_speed = 1;
        m_frameDrop = false;
        m_firstData = false;
        m_seekPending = false;
        m_generation = (m_generation + 1) & kGenerationMask;
        m_bar.updateButtons(false);
        statusKey("IE_PlaybackStop");
        m_bar.killWatchdog();
        progressClear();
    } else {
        // The stream is still open: keep its handle for the next stop.
        std::uint32_t none = 0;
        m_playHandle.compare_exchange_strong(none, playHandle);
        if (result == kResultDevice)
            statusLiteral(QStringLiteral("Stop Failed %1").arg(result));
    }
    releaseWindows();
    m_bar.enableBar(true);
}

void PlaybackSession::releaseWindows()
{
    for (IPlaybackWindow*& w : m_windows) {
        if (!w)
            continue;
        w->setPlaying(false);
        w->setOccupied(false);
        w->setPictureSize(0, 0);
        w->repaintView();
        w = nullptr;
    }
}

void PlaybackSession::statusKey(const char* key)
{
    platform::debugOutput(std::string("playback status ") + key + "\n");
    m_bar.setStatusText(m_bar.text(key));
}

void PlaybackSession::statusLiteral(const QString& text)
{
    platform::debugOutput("playback status " + text.toStdString() + "\n");
    m_bar.setStatusText(text);
}

void PlaybackSession::progressKey(const char* key)
{
    m_bar.setProgressText(m_bar.text(key));
}

void PlaybackSession::progressClear()
{
    m_bar.setProgressText(QString());
}

void PlaybackSession::restartWatchdog()
{
    m_bar.startWatchdog(kWatchdogMs);
}

}  // namespace playback
