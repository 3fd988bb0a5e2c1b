// SPDX-License-Identifier: GPL-3.0-or-later
// The overlay window's own live stream: opening it on the window through
// the network library, the decoder's draw callback that paints the overlay
// on each picture, the stream callback, and closing.
#include "overlay/COverlayWnd.h"

#include "device/CommandEnvelope.h"
#include "overlay/OverlayMessages.h"
#include "overlay/OverlayPainter.h"
#include "platform/Debug.h"

#include "MIVU.h"

#include <QPainter>

using namespace overlay;

namespace {

// Library results as the window reads them.
constexpr std::int32_t kResultOk = 0;
constexpr std::int32_t kResultRefused = 1;
constexpr std::int32_t kResultUnreachable = 5;
constexpr std::int32_t kResultBroken = 6;
constexpr std::int32_t kResultDevice = 7;
constexpr std::int32_t kResultTimeout = 8;

// Stream callback types.
constexpr std::uint32_t kCallbackData = 1;
constexpr std::uint32_t kCallbackDeviceOffline = 3;
constexpr std::uint32_t kCallbackError = 4;

COverlayWnd::Status statusForRealPlay(std::int32_t result)
{
    switch (result) {
    case kResultRefused: return COverlayWnd::kStatusOpenFailed;
    // An unreachable recorder is a network error here as for GETDECODER.
    case kResultUnreachable:
    case kResultBroken:
    case kResultTimeout: return COverlayWnd::kStatusNetworkError;
    default: return COverlayWnd::kStatusUnknownError;
    }
}

COverlayWnd::Status statusForGetDecoder(std::int32_t result)
{
    switch (result) {
    case kResultRefused: return COverlayWnd::kStatusOpenFailed;
    case kResultUnreachable:
    case kResultBroken:
    case kResultTimeout: return COverlayWnd::kStatusNetworkError;
    case kResultDevice:
    default: return COverlayWnd::kStatusUnknownError;
    }
}

}  // namespace

void COverlayWnd::startEditing(std::uint32_t deviceHandle, int mode, int channel, std::uint32_t streamType,
                               int pictureWidth, int pictureHeight)
{
    // One stream per window: a stream still open is closed before the next.
    closeStream();
    m_deviceHandle.store(deviceHandle);
    m_model.reset(mode, pictureWidth, pictureHeight);
    m_streamType = streamType;
    m_channel = channel;
    publish();
    openStream(channel);
}

void COverlayWnd::endEditing()
{
    closeStream();
    m_model.leave();
    m_channel = -1;
    setStatus(kStatusNone);
}

void COverlayWnd::openStream(int channel)
{
    if (!isCreated()) {
        setStatus(kStatusUnknownError);
        return;
    }
    m_editable.store(false);
    m_soundOffPending.store(false);
    m_streamGeneration.fetch_add(1);
    setStatus(kStatusOpening);

    CommandEnvelope command("REALPLAY");
    command.uint("HDEV", m_deviceHandle.load())
        .sint("CHANNEL", channel)
        .sint("STREAMTYPE", static_cast<std::int32_t>(m_streamType))
        .uint("CALLBACK", reinterpret_cast<std::uintptr_t>(&COverlayWnd::StreamCallback))
        .uint("USERDATA", reinterpret_cast<std::uintptr_t>(this))
        .uint("HWND", handle());
    const CommandResult opened = sendCommand(command, true, true);
    if (opened.result != kResultOk || opened.handle == 0) {
        setStatus(opened.result == kResultOk ? kStatusUnknownError : statusForRealPlay(opened.result));
        platform::debugPrintf("overlay REALPLAY of channel %d failed: %d\n", channel, opened.result);
        return;
    }
    m_playHandle.store(opened.handle);

    CommandEnvelope query("GETDECODER");
    query.uint("HPLAY", opened.handle);
    const CommandResult decoder = sendCommand(query, true);
    Status failure = kStatusNone;
    if (decoder.result != kResultOk || decoder.handle == 0) {
        failure = decoder.result == kResultOk ? kStatusUnknownError : statusForGetDecoder(decoder.result);
    } else {
        m_decoderHandle.store(decoder.handle);
        m_soundOffPending.store(true);
        if (MIVU_RegisterOSDCallBack(decoder.handle, &COverlayWnd::OsdCallback, this) != 0)
            failure = kStatusUnknownError;
    }
    if (failure != kStatusNone) {
        // Without the drawing nothing could be edited: the stream is not
        // kept open behind the error.
        closeStream();
        setStatus(failure);
        platform::debugPrintf("overlay has no decoder to draw on for channel %d\n", channel);
    }
}

void COverlayWnd::closeStream()
{
    const std::uint32_t playHandle = m_playHandle.load();
    if (playHandle == 0)
        return;
    // Removing the callback waits for a drawing in progress; after it, no
    // picture of this stream is drawn on through this window.
    if (const std::uint32_t decoder = m_decoderHandle.exchange(0); decoder != 0)
        MIVU_RegisterOSDCallBack(decoder, nullptr, nullptr);
    m_soundOffPending.store(false);
    m_streamGeneration.fetch_add(1);
    CommandEnvelope command("REALPLAYSTOP");
    command.uint("HPLAY", playHandle);
    const std::int32_t result = sendCommand(command).result;
    if (result != kResultOk)
        platform::debugPrintf("overlay REALPLAYSTOP failed: %d\n", result);
    // Nothing is retried: the handle is not used again either way.
    m_playHandle.store(0);
    platform::debugPrintf("overlay stream of channel %d closed\n", m_channel.load());
    m_editable.store(false);
    clearPicture();
}

std::int32_t COverlayWnd::StreamCallback(std::uint32_t type, void* userData, const std::uint8_t* /*data*/,
                                         std::uint32_t /*length*/, std::uint32_t /*kind*/)
{
    auto* self = static_cast<COverlayWnd*>(userData);
    if (self == nullptr)
        return 0;
    if (type == kCallbackData)
        self->onStreamData();
    else if (type == kCallbackDeviceOffline)
        self->onDeviceOffline();
    else if (type == kCallbackError)
        self->onStreamEnded();
    return 0;
}

void COverlayWnd::onStreamData()
{
    if (!m_editable.exchange(true))
        platform::debugPrintf("overlay first picture of channel %d\n", m_channel.load());
    if (m_status.exchange(kStatusNone) != kStatusNone)
        platform::postMessage(m_postHandle.load(), WM_OVERLAY_STATUS, m_streamGeneration.load(), 0);
    if (m_soundOffPending.exchange(false)) {
        if (const std::uint32_t decoder = m_decoderHandle.load(); decoder != 0)
            MIVU_SetSound(decoder, 0, 0);
    }
}

void COverlayWnd::onDeviceOffline()
{
    m_status.store(kStatusDeviceOffline);
    platform::postMessage(m_postHandle.load(), WM_OVERLAY_STATUS, m_streamGeneration.load(), 0);
}

void COverlayWnd::onStreamEnded()
{
    // The recorder ended the stream (the user may no longer see the channel,
    // or the stream failed): no picture comes any more.
    platform::postMessage(m_postHandle.load(), WM_OVERLAY_STREAM_ENDED, m_streamGeneration.load(), 0);
}

void COverlayWnd::onStreamEndedPosted(std::uint32_t generation)
{
    if (generation != m_streamGeneration.load())
        return;
    closeStream();
    setStatus(kStatusUnknownError);
}

void COverlayWnd::onStatusChanged(std::uint32_t generation)
{
    if (generation != m_streamGeneration.load())
        return;
    const Status shown = status();
    platform::debugPrintf("overlay status %s\n", shown == kStatusNone ? "none" : statusKey(shown));
    if (status() != kStatusNone)
        clearPicture();
    update();
}

std::int32_t COverlayWnd::OsdCallback(void* userData, void* drawContext, std::int32_t pictureWidth,
                                      std::int32_t pictureHeight)
{
    auto* self = static_cast<COverlayWnd*>(userData);
    if (self == nullptr || drawContext == nullptr)
        return 0;
    self->drawOnPicture(*static_cast<QPainter*>(drawContext), pictureWidth, pictureHeight);
    return 0;
}

void COverlayWnd::drawOnPicture(QPainter& painter, int pictureWidth, int pictureHeight)
{
    const std::shared_ptr<const OverlaySnapshot> current = snapshot();
    if (!current)
        return;
    m_drawnWidth.store(pictureWidth);
    m_drawnHeight.store(pictureHeight);
    if (current->needsMeasuring(pictureWidth, pictureHeight) && !m_measureRequested.exchange(true))
        platform::postMessage(m_postHandle.load(), WM_OVERLAY_MEASURE, 0, 0);
    paintOverlay(painter, *current, pictureWidth, pictureHeight);
}
