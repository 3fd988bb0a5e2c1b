// SPDX-License-Identifier: GPL-3.0-or-later
// The reference of the decoding benchmarks: libavcodec alone decoding
// container frames' packets on the calling thread, with the options our
// decode library uses (one thread, low delay), as `ffmpeg -threads 1 -f
// null` decodes. Only send/receive are timed (this thread's CPU time).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

extern "C" {
struct AVFrame;
}

namespace bench {

struct AloneDecode {
    double decodeMs = 0;  // CPU inside libavcodec
    std::uint64_t pictures = 0;
    std::uint64_t errors = 0;
};

// Decodes the frames' payloads with libavcodec's decoder of that name
// ("h264", "hevc") from the first key frame on; each picture goes to
// perPicture (untimed) when given, as a library would convert it between
// decodes.
AloneDecode decodeAlone(const std::vector<std::vector<std::uint8_t>>& frames, const char* decoderName,
                        const std::function<void(AVFrame*)>& perPicture = {});

}  // namespace bench
