// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/StreamMaker.h"

#include "MediaLibrary.h"
#include "StreamProfile.h"

#include "proto/MediaFrame.h"

extern "C" {
#include <libavutil/log.h>
}

#include <chrono>
#include <thread>

namespace bench {

std::vector<ContainerFrame> makeRecorderStream(std::uint32_t streamType, std::size_t frameCount,
                                               std::uint64_t startTimeMs)
{
    // The encoder's statistics are of no interest here.
    const int logLevel = av_log_get_level();
    av_log_set_level(AV_LOG_ERROR);
    velk::recorder::MediaLibrary library(1);
    if (!library.canEncode())
        return {};
    const auto loop = library.loop(0, streamType);
    if (!loop)
        return {};
    while (!loop->complete() && !loop->failed())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    library.stop();
    av_log_set_level(logLevel);
    if (loop->readyCount() == 0)
        return {};

    std::vector<ContainerFrame> frames;
    frames.reserve(frameCount);
    const auto& profile = loop->profile();
    for (std::size_t i = 0; i < frameCount; ++i) {
        const auto& picture = loop->picture(i % loop->readyCount());
        media::FrameFields fields;
        fields.kind = picture.key ? media::MediaKind::VideoKey : media::MediaKind::VideoDelta;
        fields.streamType = static_cast<std::uint8_t>(streamType);
        fields.sequence = static_cast<std::uint16_t>(i);
        const std::uint64_t timeMs = startTimeMs + i * velk::recorder::kFrameIntervalMs;
        fields.time = media::FrameTime{static_cast<std::uint32_t>(timeMs / 1000), static_cast<std::uint32_t>(timeMs % 1000)};
        if (picture.key)
            fields.video = media::VideoInfo{profile.width, profile.height, profile.frameRate};
        frames.push_back(media::buildFrame(fields, picture.annexB));
    }
    return frames;
}

}  // namespace bench
