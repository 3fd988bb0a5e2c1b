// SPDX-License-Identifier: GPL-3.0-or-later
// The library's exported C entry points: look the decoder up, check the
// arguments, hand over to it. No exception leaves this file.
#include "MIVU.h"
#include "MIVUStream.h"

#include "mivu/DecoderTable.h"
#include "mivu/FfmpegLog.h"
#include "mivu/OsdHook.h"

#include <new>
#include <vector>

using mivu::Decoder;
using mivu::DecoderTable;

namespace {

template <class Call>
std::int32_t guarded(Call&& call)
{
    try {
        return call();
    } catch (...) {
        return MIVU_ERR_RESOURCE;
    }
}

// The decoder and its sub-picture, or the result code that says why not.
template <class Call>
std::int32_t withSubPicture(std::uint32_t handle, std::int32_t index, Call&& call)
{
    return guarded([&]() -> std::int32_t {
        const std::shared_ptr<Decoder> decoder = DecoderTable::instance().find(handle);
        if (!decoder)
            return MIVU_ERR_HANDLE;
        mivu::SubPicture* subPicture = decoder->subPicture(index);
        if (subPicture == nullptr)
            return MIVU_ERR_ARGUMENT;
        return call(*decoder, *subPicture);
    });
}

template <class Call>
std::int32_t withDecoder(std::uint32_t handle, Call&& call)
{
    return guarded([&]() -> std::int32_t {
        const std::shared_ptr<Decoder> decoder = DecoderTable::instance().find(handle);
        return decoder ? call(*decoder) : MIVU_ERR_HANDLE;
    });
}

}  // namespace

extern "C" {

MIVU_API int32_t MIVU_SetSound(uint32_t decoder, int32_t index, int32_t on)
{
    if (on != 0 && on != 1)
        return DecoderTable::instance().find(decoder) ? MIVU_ERR_ARGUMENT : MIVU_ERR_HANDLE;
    return withSubPicture(decoder, index, [on](Decoder&, mivu::SubPicture& subPicture) -> std::int32_t {
        subPicture.setSound(on == 1);
        return MIVU_OK;
    });
}

MIVU_API int32_t MIVU_RegisterOSDCallBack(uint32_t decoder, MIVU_OSDCallback callback, void* userData)
{
    return withDecoder(decoder, [&](Decoder& d) -> std::int32_t {
        return d.settings().osd.set(callback, userData) ? MIVU_OK : MIVU_ERR_BUSY;
    });
}

MIVU_API int32_t MIVU_CapturePicture(uint32_t decoder, int32_t index, const char* path)
{
    return withSubPicture(decoder, index, [path](Decoder&, mivu::SubPicture& subPicture) -> std::int32_t {
        if (path == nullptr || path[0] == '\0')
            return MIVU_ERR_ARGUMENT;
        return subPicture.capture(path);
    });
}

MIVU_API int32_t MIVU_Pause(uint32_t decoder, int32_t pause)
{
    return withDecoder(decoder, [pause](Decoder& d) -> std::int32_t {
        if (pause != 0 && pause != 1)
            return MIVU_ERR_ARGUMENT;
        return d.setPaused(pause == 1);
    });
}

MIVU_API int32_t MIVU_SetSpeed(uint32_t decoder, int32_t speed)
{
    return withDecoder(decoder, [speed](Decoder& d) { return d.setSpeed(speed); });
}

MIVU_API int32_t MIVU_PlayFrame(uint32_t decoder, int32_t count)
{
    return withDecoder(decoder, [count](Decoder& d) { return d.playFrames(count); });
}

MIVU_API int32_t MIVU_OpenStream(const uint32_t* windows, int32_t count, int32_t mode, uint32_t* decoder)
{
    return guarded([&]() -> std::int32_t {
        if (windows == nullptr || decoder == nullptr || count < 1 || count > MIVU_MAX_SUBPICTURES ||
            (mode != MIVU_MODE_LIVE && mode != MIVU_MODE_PLAYBACK))
            return MIVU_ERR_ARGUMENT;
        *decoder = 0;
        mivu::routeFfmpegLog();
        const std::vector<platform::WindowHandle> targets(windows, windows + count);
        auto opened = Decoder::open(targets, mode == MIVU_MODE_LIVE ? mivu::StreamMode::Live : mivu::StreamMode::Playback);
        if (!opened)
            return MIVU_ERR_RESOURCE;
        *decoder = DecoderTable::instance().add(std::move(opened));
        return MIVU_OK;
    });
}

MIVU_API int32_t MIVU_InputFrame(uint32_t decoder, int32_t index, const uint8_t* data, uint32_t length)
{
    return withSubPicture(decoder, index, [&](Decoder&, mivu::SubPicture& subPicture) -> std::int32_t {
        if (data == nullptr || length == 0)
            return MIVU_ERR_ARGUMENT;
        return subPicture.input(std::span<const std::uint8_t>(data, length));
    });
}

MIVU_API int32_t MIVU_ResetStream(uint32_t decoder)
{
    return withDecoder(decoder, [](Decoder& d) -> std::int32_t {
        d.reset();
        return MIVU_OK;
    });
}

MIVU_API int32_t MIVU_CloseStream(uint32_t decoder)
{
    return guarded([&]() -> std::int32_t {
        DecoderTable& table = DecoderTable::instance();
        const std::shared_ptr<Decoder> found = table.find(decoder);
        if (!found)
            return MIVU_ERR_HANDLE;
        // Closing waits for the decode threads: not from one of them.
        if (found->isOwnThread() || mivu::OsdHook::insideCallback())
            return MIVU_ERR_BUSY;
        const std::shared_ptr<Decoder> removed = table.remove(decoder);
        if (!removed)
            return MIVU_ERR_HANDLE;  // closed by another thread meanwhile
        removed->close();
        return MIVU_OK;
    });
}

MIVU_API int32_t MIVU_GetPlaybackTime(uint32_t decoder, uint64_t* frameTimeMs)
{
    return withDecoder(decoder, [frameTimeMs](Decoder& d) -> std::int32_t {
        if (frameTimeMs == nullptr)
            return MIVU_ERR_ARGUMENT;
        *frameTimeMs = d.playbackTimeMs();
        return MIVU_OK;
    });
}

MIVU_API int32_t MIVU_GetStatistics(uint32_t decoder, int32_t index, MIVU_Statistics* statistics)
{
    return withSubPicture(decoder, index, [statistics](Decoder&, mivu::SubPicture& subPicture) -> std::int32_t {
        if (statistics == nullptr)
            return MIVU_ERR_ARGUMENT;
        *statistics = subPicture.statistics();
        return MIVU_OK;
    });
}

}  // extern "C"
