// SPDX-License-Identifier: GPL-3.0-or-later
// The session's stream side: seeks, the stream callback and what it
// reports, the watchdog, and stops from a worker thread.
#include "playback/PlaybackSession.h"

#include "platform/Debug.h"

namespace playback {

namespace {

constexpr std::uint32_t kEndOfRecordings = 52;

}  // namespace

std::int32_t PlaybackSession::streamCallback(std::uint32_t type, void* userData, const std::uint8_t* data,
                                             std::uint32_t length, std::uint32_t code)
{
    if (userData == nullptr)
        return 0;
    const auto [bar, generation] = fromUserData(userData);
    CallbackEvent event = decodeCallback(type, data, length, code);
    event.generation = generation;
    const auto [wParam, lParam] = packEvent(event);
    platform::postMessage(bar, WM_PLAYBACK_CALLBACK, wParam, lParam);
    return 0;
}

bool PlaybackSession::seek(const platform::DateTime& target)
{
    const std::uint32_t playHandle = m_playHandle.load();
    if (playHandle == 0)
        return false;
    const std::string digits = target.toDigits();
    if (digits.empty())
        return false;
    m_clockSync = false;
    CommandEnvelope command("REMOTEPLAYSEEK");
    command.uint("HPLAY", playHandle).text("STARTTIME", digits);
    if (m_library.command(command, false).result != 0) {
        statusLiteral(QStringLiteral("Jump Failed"));
        stopPlay();
    } else {
        m_bar.updateButtons(true);
        progressKey("IE_Buffering");
        m_firstData = false;
        // Frame times of the old position may still be on their way; the
        // clock follows the stream again once the new position's first
        // data came (the library reports them in order).
        m_seekPending = true;
        m_frameTimeReported = false;
        m_clock = target;
    }
    m_clockSync = true;
    m_callbackCount = 0;
    // A seek that ended the session leaves no stream to watch.
    if (m_playHandle.load() != 0)
        restartWatchdog();
    return true;
}

void PlaybackSession::onCallback(const CallbackEvent& event)
{
    if (event.generation != m_generation || m_playHandle.load() == 0)
        return;
    ++m_callbackCount;
    switch (event.kind) {
    case CallbackKind::FirstData:
        m_seekPending = false;
        if (!m_firstData)
            onFirstData();
        break;
    case CallbackKind::FrameTime:
        if (m_clockSync && !m_seekPending) {
            m_clock = event.time;
            m_bar.setPlayTime(event.time);
            // The first frame time of a position tells where the stream began.
            if (!m_frameTimeReported) {
                m_frameTimeReported = true;
                platform::debugOutput("playback at " + event.time.toText() + "\n");
            }
        }
        break;
    case CallbackKind::VideoProperty:
        if (IPlaybackWindow* w = window(event.slot))
            w->setPictureSize(event.width, event.height);
        break;
    case CallbackKind::ConnectionLost:
        stopPlay();
        statusKey("IE_NetworkError");
        break;
    case CallbackKind::End:
        if (event.code == kEndOfRecordings) {
            stopPlay();
            statusKey("IE_PlaybackFailed");
            m_bar.updateButtons(false);
        }
        break;
    case CallbackKind::Buffering:
        progressKey("IE_Buffering");
        m_callbackCount = 0;
        restartWatchdog();
        break;
    case CallbackKind::BufferingOver:
        m_bar.killWatchdog();
        progressClear();
        break;
    case CallbackKind::Other:
        break;
    }
}

void PlaybackSession::onFirstData()
{
    m_firstData = true;
    m_bar.enableBar(true);
    if (!getDecoder()) {
        statusLiteral(QStringLiteral("Failed get decoder!"));
        return;
    }
    m_bar.updateButtons(false);
    progressClear();
    m_singleFrameSilence = false;
    int index = 0;
    const int slotCount = std::min(m_channelCount, kSlots);
    for (int slot = 0; slot < slotCount; ++slot) {
        IPlaybackWindow* w = m_windows[static_cast<std::size_t>(slot)];
        if (!w || !w->isPlaying())
            continue;
        if (w->isActive() && !m_muted) {
            m_library.setSound(m_sessionDecoder, index, 1);
            m_library.setVolume(static_cast<std::uint32_t>(m_volume));
        } else {
            m_library.setSound(m_sessionDecoder, index, 0);
        }
        ++index;
    }
}

void PlaybackSession::onWatchdog()
{
    if (m_callbackCount > kAliveCallbacks) {
        m_bar.killWatchdog();
    } else if (m_firstData && (m_playState == kPaused || m_playState == kSingleFrame || m_playState == kSlow)) {
        // Paused, stepping or slow, the decoder holds the stream back and
        // few callbacks come: that is no loss (a lost connection is
        // reported by the library itself).
        m_bar.killWatchdog();
    } else {
        const bool hadData = m_firstData;
        stopPlay();
        m_bar.killWatchdog();
        statusKey(hadData ? "IE_NetworkError" : "IE_PlaybackFailed");
    }
    progressClear();
    m_bar.enableBar(true);
}

void PlaybackSession::stopFromWorker(std::uint32_t playHandle)
{
    // Only the stream that played when the stop was asked for: a Play that
    // came after it (the worker may start late) keeps its new stream.
    std::uint32_t expected = playHandle;
    if (playHandle == 0 || !m_playHandle.compare_exchange_strong(expected, 0))
        return;
    CommandEnvelope command("REMOTEPLAYSTOP");
    command.uint("HPLAY", playHandle);
    const std::int32_t result = m_library.command(command, false).result;
    if (!platform::postMessage(m_barHandle.load(), WM_PLAYBACK_STOPPED, static_cast<platform::WPARAM>(result),
                               static_cast<platform::LPARAM>(playHandle)))
        platform::debugOutput("playback stop: the bar is gone\n");
}

}  // namespace playback
