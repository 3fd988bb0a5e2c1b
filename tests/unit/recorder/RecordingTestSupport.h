// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the recordings' unit tests: a temporary folder, container
// frames of a channel's main stream, and segments written directly.
#pragma once

#include "SegmentWriter.h"

#include "proto/MediaFrame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace recordingtest {

class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/velk-store-test-XXXXXX";
        if (const char* dir = ::mkdtemp(pattern))
            m_path = dir;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// A video frame of the main stream; the payload's bytes vary with the time
// so that frames differ.
inline std::vector<std::uint8_t> makeFrame(std::uint32_t channel, std::int64_t timeMs, bool key,
                                           std::size_t payloadBytes = 300)
{
    media::FrameFields f;
    f.kind = key ? media::MediaKind::VideoKey : media::MediaKind::VideoDelta;
    f.channel = static_cast<std::uint8_t>(channel);
    f.sequence = static_cast<std::uint16_t>(timeMs / 40);
    f.time = media::FrameTime{static_cast<std::uint32_t>(timeMs / 1000), static_cast<std::uint32_t>(timeMs % 1000)};
    if (key)
        f.video = media::VideoInfo{704, 576, 25};
    std::vector<std::uint8_t> payload(payloadBytes);
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<std::uint8_t>(timeMs + i);
    return media::buildFrame(f, payload);
}

// Appends frames at 25 a second from startMs, a key frame every keyEvery.
inline void appendFrames(velk::recorder::SegmentWriter& writer, std::int64_t startMs, int count, int keyEvery = 25)
{
    std::string error;
    for (int i = 0; i < count; ++i) {
        const std::int64_t t = startMs + 40LL * i;
        const bool key = i % keyEvery == 0;
        ASSERT_TRUE(writer.append(makeFrame(writer.channel(), t, key), t, key, error)) << error;
    }
}

inline std::vector<std::uint8_t> readAll(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void writeAll(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace recordingtest
