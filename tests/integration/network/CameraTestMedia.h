// SPDX-License-Identifier: GPL-3.0-or-later
// Camera pictures for tests, made at test time: a moving picture encoded
// with libavcodec (libx264 for H.264, libx265 for H.265) into access units
// as a camera's source hands them to its feed (Annex B in decoding order,
// key frames with their parameter sets first), and a decoder of either
// codec that counts what comes out.
#pragma once

#include "proto/MediaFrame.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace nettest {

struct CameraPicture {
    bool key = false;
    std::vector<std::uint8_t> annexB;
};

struct CameraEncoding {
    media::VideoCodec codec = media::VideoCodec::H264;
    int width = 320;
    int height = 240;
    int frameRate = 25;
    int keyInterval = 10;  // pictures from one key frame to the next
    int bFrames = 0;       // B-frames between references (decoding order differs from display order)
};

class CameraEncoder {
public:
    explicit CameraEncoder(const CameraEncoding& encoding);
    ~CameraEncoder();
    CameraEncoder(const CameraEncoder&) = delete;
    CameraEncoder& operator=(const CameraEncoder&) = delete;

    // False when this libavcodec lacks the codec's encoder.
    bool ready() const;
    // The next count access units (in decoding order; with B-frames some
    // come only after later pictures were given, so a call may give fewer
    // at first and the rest later).
    std::vector<CameraPicture> encode(int count);

private:
    struct Codec;
    std::unique_ptr<Codec> m_codec;
    CameraEncoding m_encoding;
    std::int64_t m_next = 0;
};

class CameraDecoder {
public:
    explicit CameraDecoder(media::VideoCodec codec);
    ~CameraDecoder();
    CameraDecoder(const CameraDecoder&) = delete;
    CameraDecoder& operator=(const CameraDecoder&) = delete;

    bool ready() const;
    // Decodes one access unit; how many pictures came out of it.
    int decode(std::span<const std::uint8_t> accessUnit);
    int pictures() const { return m_pictures; }
    int errors() const { return m_errors; }
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    struct Codec;
    std::unique_ptr<Codec> m_codec;
    int m_pictures = 0;
    int m_errors = 0;
    int m_width = 0;
    int m_height = 0;
};

}  // namespace nettest
