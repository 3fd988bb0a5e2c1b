// SPDX-License-Identifier: GPL-3.0-or-later
// G.711 (mu-law or A-law, 8 kHz mono) to 16-bit samples, with libavcodec's
// pcm_mulaw / pcm_alaw decoders.
#pragma once

#include "mivu/Packet.h"

#include "proto/MediaFrame.h"

#include <cstdint>
#include <vector>

namespace mivu {

class AudioDecoder {
public:
    AudioDecoder();
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    // Decodes one payload of the given kind, appending its samples. False
    // when the kind is not G.711 or the decoder refused it. Decode thread.
    bool decode(media::MediaKind kind, AVPacket* packet, std::vector<std::int16_t>& samples);

private:
    bool openFor(media::MediaKind kind);

    AVCodecContext* m_context = nullptr;
    media::MediaKind m_kind{};
    FramePtr m_frame;
};

}  // namespace mivu
