// SPDX-License-Identifier: GPL-3.0-or-later
// The session's libraries as they are: command texts through the network
// library's entry point, decoder calls into the decode-render library, the
// volume of the process's sound output.
#include "playback/PlaybackSessionPorts.h"

#include "platform/Shell.h"

#include "MIVU.h"

namespace playback {

namespace {

class RealPlaybackLibrary final : public IPlaybackLibrary {
public:
    CommandResult command(const CommandEnvelope& text, bool wantHandle) override
    {
        return sendCommand(text, wantHandle);
    }
    std::int32_t pause(std::uint32_t decoder, std::int32_t pause) override { return MIVU_Pause(decoder, pause); }
    std::int32_t setSpeed(std::uint32_t decoder, std::int32_t speed) override
    {
        return MIVU_SetSpeed(decoder, speed);
    }
    std::int32_t playFrame(std::uint32_t decoder, std::int32_t count) override
    {
        return MIVU_PlayFrame(decoder, count);
    }
    std::int32_t setSound(std::uint32_t decoder, std::int32_t index, std::int32_t on) override
    {
        return MIVU_SetSound(decoder, index, on);
    }
    std::int32_t capturePicture(std::uint32_t decoder, std::int32_t index, const char* path) override
    {
        return MIVU_CapturePicture(decoder, index, path);
    }
    void setVolume(std::uint32_t volume) override { platform::setProcessVolume(volume > 100 ? 100 : volume); }
};

}  // namespace

IPlaybackLibrary& realPlaybackLibrary()
{
    static RealPlaybackLibrary library;
    return library;
}

}  // namespace playback
