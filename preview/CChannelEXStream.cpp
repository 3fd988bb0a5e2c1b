// SPDX-License-Identifier: GPL-3.0-or-later
// The stream side of a video window: opening, closing and switching the
// live stream through the network library, the decoder's sound, and the
// stream callback.
#include "preview/CChannelEX.h"

#include "device/CallbackText.h"
#include "device/CommandEnvelope.h"
#include "platform/Debug.h"
#include "platform/Shell.h"
#include "preview/PreviewMessages.h"
#include "preview/VideoStatus.h"

#include "MIVU.h"

#include <json/json.h>

#include <algorithm>
#include <memory>

using namespace platform;
using namespace preview;

namespace {

// Library results as the window reads them.
constexpr std::int32_t kResultOk = 0;
constexpr std::int32_t kResultRefused = 1;
constexpr std::int32_t kResultUnreachable = 5;
constexpr std::int32_t kResultBroken = 6;
constexpr std::int32_t kResultDevice = 7;
constexpr std::int32_t kResultTimeout = 8;

// Stream callback types and error kinds.
constexpr std::uint32_t kCallbackData = 1;
constexpr std::uint32_t kCallbackVideoProperty = 2;
constexpr std::uint32_t kCallbackDeviceOffline = 3;
constexpr std::uint32_t kCallbackError = 4;
constexpr std::uint32_t kCallbackConnectionLost = 6;
constexpr std::uint32_t kCallbackStreamTypeChanged = 9;
constexpr std::uint32_t kErrorNoRight = 18;
constexpr std::uint32_t kErrorSubstreamNotEncoded = 28;
constexpr std::uint32_t kErrorUnknown = 41;

// Largest picture side taken from a VIDEOPROPERTY text; anything else is
// not a picture size.
constexpr int kMaxPictureSide = 16384;

int statusForOpenResult(std::int32_t result)
{
    switch (result) {
    case kResultRefused:
    case kResultDevice:
        return kStatusOpenFailed;
    case kResultUnreachable:
    case kResultBroken:
    case kResultTimeout:
        return kStatusNetworkError;
    default:
        return kStatusUnknownError;
    }
}

// A picture side from a JSON member; 0 when it is not a sensible size.
int pictureSide(const Json::Value& value)
{
    if (!value.isIntegral())
        return 0;
    const Json::LargestInt side = value.asLargestInt();
    return side > 0 && side <= kMaxPictureSide ? static_cast<int>(side) : 0;
}

}  // namespace

std::int32_t CChannelEX::StartRealPlay(std::uint32_t deviceHandle, int channel, int streamType)
{
    CAtomLock streamGuard(m_streamLock);
    m_deviceHandle.store(deviceHandle);
    if (m_playHandle.load() != 0)
        return 0;
    if (static_cast<std::uint32_t>(channel) > 16 || deviceHandle == 0 || streamType < 0 || streamType > 2)
        return kBadArgument;
    const WindowHandle viewHandle = m_view.postHandle();
    if (viewHandle == 0)
        return kNoView;

    m_streamType.store(streamType);
    m_channel.store(channel);
    m_playHandle.store(0);
    // "Opening" shows from now on; the first data block replaces it with the
    // picture, also when it arrives before the library's call returns.
    const int previousStatus = m_view.status();
    m_streamGeneration.fetch_add(1);
    m_firstFramePending.store(true);
    m_view.setStatus(kStatusOpening);

    CommandEnvelope command("REALPLAY");
    command.uint("HDEV", deviceHandle)
        .sint("CHANNEL", channel)
        .sint("STREAMTYPE", streamType)
        .uint("CALLBACK", reinterpret_cast<std::uintptr_t>(&CChannelEX::StreamCallback))
        .uint("USERDATA", reinterpret_cast<std::uintptr_t>(this))
        .uint("HWND", viewHandle);
    const CommandResult sent = sendCommand(command, true, true);

    if (sent.result == kResultOk) {
        if (sent.handle == 0) {
            // Nothing was opened: the window stays as it was.
            m_firstFramePending.store(false);
            m_view.setStatus(previousStatus);
            return 0;
        }
        m_playHandle.store(sent.handle);
        m_decoderHandle.store(0);
        m_playing.store(true);
        m_occupied.store(true);
        m_recording.store(false);
        m_substreamRefused.store(false);
        return 0;
    }
    m_firstFramePending.store(false);
    m_playing.store(false);
    m_occupied.store(false);
    m_recording.store(false);
    m_view.setStatus(statusForOpenResult(sent.result));
    if (sent.result == kResultDevice)
        return sent.detail != 0 ? static_cast<std::int32_t>(sent.detail) : kResultDevice;
    return sent.result;
}

std::int32_t CChannelEX::StopRealPlay()
{
    CAtomLock streamGuard(m_streamLock);
    return stopRealPlayLocked();
}

std::int32_t CChannelEX::stopRealPlayLocked()
{
    const std::uint32_t playHandle = m_playHandle.load();
    if (playHandle == 0) {
        m_occupied.store(false);
        return 0;
    }
    StopLocalRecord();
    CommandEnvelope command("REALPLAYSTOP");
    command.uint("HPLAY", playHandle);
    const std::int32_t result = sendCommand(command).result;
    // A handle the library no longer knows is closed as well: keeping it
    // would leave the window "playing" a stream that cannot come back.
    if (result == kResultOk || result == kResultRefused) {
        m_streamGeneration.fetch_add(1);
        m_playHandle.store(0);
        m_decoderHandle.store(0);
        m_playing.store(false);
        m_recording.store(false);
        m_substreamRefused.store(false);
        m_soundOn.store(false);
        m_firstFramePending.store(false);
        m_view.setStatus(kStatusIdle);
        return 0;
    }
    return result == kResultDevice ? kResultDevice : 0;
}

std::int32_t CChannelEX::SwitchStreamType(int streamType)
{
    if (streamType == m_streamType.load())
        return 0;
    if (streamType < 0 || streamType > 2)
        streamType = 1;
    CAtomLock streamGuard(m_streamLock);
    m_streamType.store(streamType);
    if (const std::uint32_t playHandle = m_playHandle.load(); playHandle != 0) {
        CommandEnvelope command("REALPLAYSWITCHSTREAM");
        command.uint("HPLAY", playHandle).uint("STREAMTYPE", static_cast<std::uint32_t>(streamType));
        return sendCommand(command).result;
    }
    if (m_substreamRefused.load() && streamType == 1) {
        StartRealPlay(m_deviceHandle.load(), m_channel.load(), streamType);
        return 0;
    }
    return kNoStream;
}

int CChannelEX::QueryDecoder()
{
    const std::uint32_t playHandle = m_playHandle.load();
    if (playHandle == 0)
        return 0;
    CommandEnvelope command("GETDECODER");
    command.uint("HPLAY", playHandle);
    const CommandResult sent = sendCommand(command, true);
    if (sent.result != kResultOk || sent.handle == 0)
        return 0;
    m_decoderHandle.store(sent.handle);
    return 1;
}

std::int32_t CChannelEX::OpenSound(int volume)
{
    m_volume.store(std::clamp(volume, 0, 100));
    if (!QueryDecoder() || !m_playing.load() || !m_soundAllowed.load() || !m_active.load() || m_soundOn.load())
        return kNoSound;
    const std::int32_t result = MIVU_SetSound(m_decoderHandle.load(), 0, 1);
    if (result != 0)
        return result;
    m_soundOn.store(true);
    SetVolume(m_volume.load());
    return 0;
}

std::int32_t CChannelEX::CloseSound()
{
    if (!QueryDecoder() || !m_playing.load())
        return kNoSound;
    const std::int32_t result = MIVU_SetSound(m_decoderHandle.load(), 0, 0);
    if (result == 0)
        m_soundOn.store(false);
    return result;
}

std::int32_t CChannelEX::SetVolume(int volume)
{
    const int clamped = std::clamp(volume, 0, 100);
    m_volume.store(clamped);
    if (m_playHandle.load() == 0)
        return kBadArgument;
    // The process volume is the one wave output every window shares.
    setProcessVolume(static_cast<std::uint32_t>(clamped));
    return 0;
}

std::int32_t CChannelEX::StreamCallback(std::uint32_t type, void* userData, const std::uint8_t* data,
                                        std::uint32_t length, std::uint32_t kind)
{
    auto* self = static_cast<CChannelEX*>(userData);
    if (self == nullptr)
        return 0;
    switch (type) {
    case kCallbackData:
        self->onStreamData(data, length);
        break;
    case kCallbackVideoProperty:
        self->onVideoProperty(data, length);
        break;
    case kCallbackDeviceOffline:
        self->postStreamFailure(kStatusDeviceOffline);
        break;
    case kCallbackError:
        if (kind == kErrorNoRight)
            self->postStreamFailure(kStatusNoRight);
        else if (kind == kErrorSubstreamNotEncoded)
            self->postStreamFailure(kStatusSubstreamNotEncoded);
        else if (kind == kErrorUnknown)
            self->postStreamFailure(kStatusUnknownError);
        break;
    case kCallbackConnectionLost:
        self->onConnectionLost();
        break;
    case kCallbackStreamTypeChanged:
        self->m_streamType.store(static_cast<int>(kind));
        self->postToParent(WM_STREAMTYPE_CHANGED, kind, 0);
        break;
    default:
        break;
    }
    return 0;
}

void CChannelEX::onStreamData(const std::uint8_t* data, std::uint32_t length)
{
    if (m_firstFramePending.exchange(false)) {
        m_view.setStatus(kStatusShowing);
        m_playing.store(true);
        m_occupied.store(true);
        debugPrintf("Preview, Channel %d, Startview Or Re-startview Succeed \n", m_channel.load());
        // Sound follows on the UI thread, where clicks change the selection.
        postMessage(m_postHandle.load(), WM_STREAM_FIRST_FRAME, m_streamGeneration.load(), 0);
        // A recording that the lost connection suspended goes on in a new file.
        resumeSuspendedRecording();
    }
    if (m_recording.load() && data != nullptr && length > 0)
        writeRecordBlock(data, length);
}

void CChannelEX::onVideoProperty(const std::uint8_t* data, std::uint32_t length)
{
    CallbackText text;
    if (!readCallbackText(data, length, text) || text.key != "VIDEOPROPERTY")
        return;
    const Json::Value& param = text.param;
    const int width = pictureSide(param["WIDTH"]);
    const int height = pictureSide(param["HEIGHT"]);
    if (width == 0 || height == 0)
        return;
    const bool changed = m_pictureWidth.exchange(width) != width;
    const bool heightChanged = m_pictureHeight.exchange(height) != height;
    if (changed || heightChanged)
        postMessage(m_postHandle.load(), WM_PICTURE_SIZE_KNOWN, 0, 0);
}

void CChannelEX::onConnectionLost()
{
    m_firstFramePending.store(true);
    // The last picture would look live while nothing arrives: say that the
    // stream is being reconnected until data (the picture) or the offline
    // report replaces it.
    m_view.setStatus(kStatusReconnecting);
    suspendRecordingForReconnect();
    debugPrintf("Preview, Channel %d, disconnected, and begin to restart \n", m_channel.load());
}

void CChannelEX::postStreamFailure(int status)
{
    postMessage(m_postHandle.load(), WM_STREAM_FAILED, m_streamGeneration.load(), status);
}

void CChannelEX::onStreamFailed(std::uint32_t generation, int status)
{
    CAtomLock streamGuard(m_streamLock);
    // A failure of a stream that was closed (or replaced) meanwhile is over.
    if (generation != m_streamGeneration.load())
        return;
    stopRealPlayLocked();
    m_view.setStatus(status);
    if (status == kStatusSubstreamNotEncoded)
        m_substreamRefused.store(true);
}

void CChannelEX::onFirstFrame(std::uint32_t generation)
{
    if (generation != m_streamGeneration.load() || !m_playing.load())
        return;
    if (m_active.load() && m_soundAllowed.load())
        OpenSound(m_volume.load());
    else
        CloseSound();
}
