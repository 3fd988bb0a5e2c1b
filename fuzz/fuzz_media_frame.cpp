// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's frame container (proto/MediaFrame.h), read as a record file
// or a clip holds it (frames back to back) and as a media connection carries
// it (each container frame in a media frame of the device protocol).
//
// Input: byte 0 bit 0 chooses the form (0: container frames back to back,
// 1: a media connection's byte stream, reassembled in pieces of 1 + byte 0 / 2
// bytes); the rest is the bytes.
//
// Properties checked: a parsed frame lies within the bytes it was parsed
// from, its items and payload within the frame; a frame rebuilt from what
// was parsed parses to the same fields and payload.
#include "FuzzCheck.h"

#include "proto/FrameDecoder.h"
#include "proto/MediaFrame.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace {

void checkFrame(std::span<const std::uint8_t> bytes)
{
    const std::optional<media::FrameView> view = media::parseFrame(bytes);
    const std::size_t length = media::frameLength(bytes);
    if (!view) {
        return;
    }
    FUZZ_CHECK(view->totalBytes == length && length <= bytes.size());
    FUZZ_CHECK(length >= media::kHeaderBytes && length - media::kHeaderBytes <= media::kMaxBodyBytes);
    FUZZ_CHECK(view->payload.data() >= bytes.data() + media::kHeaderBytes);
    FUZZ_CHECK(view->payload.data() + view->payload.size() == bytes.data() + length);

    media::FrameFields fields;
    fields.kind = view->kind;
    fields.channel = view->channel;
    fields.streamType = view->streamType;
    fields.sequence = view->sequence;
    fields.time = view->time;
    fields.video = view->video;
    fields.audioSampleRate = view->audioSampleRate;
    const std::vector<std::uint8_t> rebuilt = media::buildFrame(fields, view->payload);
    FUZZ_CHECK(!rebuilt.empty());
    const std::optional<media::FrameView> again = media::parseFrame(rebuilt);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->kind == view->kind && again->channel == view->channel &&
               again->streamType == view->streamType && again->sequence == view->sequence);
    FUZZ_CHECK(again->time.has_value() == view->time.has_value());
    if (view->time)
        FUZZ_CHECK(again->time->seconds == view->time->seconds &&
                   again->time->milliseconds == view->time->milliseconds);
    FUZZ_CHECK(again->video.has_value() == view->video.has_value());
    if (view->video)
        FUZZ_CHECK(again->video->width == view->video->width && again->video->height == view->video->height &&
                   again->video->frameRate == view->video->frameRate);
    FUZZ_CHECK(again->audioSampleRate == view->audioSampleRate);
    FUZZ_CHECK(std::equal(again->payload.begin(), again->payload.end(), view->payload.begin(),
                          view->payload.end()));
}

// Frames back to back, as a record file's data or a downloaded clip.
void walkFrames(std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty()) {
        const std::size_t length = media::frameLength(bytes);
        if (length == 0 || length > bytes.size())
            return;
        checkFrame(bytes);
        bytes = bytes.subspan(length);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    if ((data[0] & 1) == 0) {
        walkFrames(rest);
        return 0;
    }
    const std::size_t piece = 1 + (data[0] >> 1);
    velk::proto::FrameDecoder decoder(velk::proto::kMediaFrameLimitBytes);
    velk::proto::Frame frame;
    for (std::size_t pos = 0; pos < rest.size();) {
        const std::size_t n = std::min(piece, rest.size() - pos);
        decoder.append(rest.data() + pos, n);
        pos += n;
        velk::proto::FrameDecoder::Status status;
        while ((status = decoder.next(frame)) == velk::proto::FrameDecoder::Status::FrameReady) {
            if (frame.type != velk::proto::FrameType::Media)
                continue;
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(frame.payload.data());
            checkFrame(std::span<const std::uint8_t>(bytes, frame.payload.size()));
        }
        if (status == velk::proto::FrameDecoder::Status::Failed)
            return 0;
    }
    return 0;
}
