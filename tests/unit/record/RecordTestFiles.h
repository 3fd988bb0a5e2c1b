// SPDX-License-Identifier: GPL-3.0-or-later
// Record files built in memory for the tests: frames of the recorder's
// container placed at chosen offsets after the 1024-byte prefix.
#pragma once

#include "proto/MediaFrame.h"
#include "proto/RecordFile.h"

#include <cstdint>
#include <vector>

namespace recordtest {

// One frame with a time item (unless withTime is false) and a payload of
// payloadBytes bytes that never contain "2dc".
inline std::vector<std::uint8_t> frame(std::uint32_t seconds, std::uint32_t milliseconds,
                                       std::size_t payloadBytes = 100, bool withTime = true,
                                       media::MediaKind kind = media::MediaKind::VideoDelta,
                                       std::uint8_t channel = 0)
{
    media::FrameFields fields;
    fields.kind = kind;
    fields.channel = channel;
    if (withTime)
        fields.time = media::FrameTime{seconds, milliseconds};
    std::vector<std::uint8_t> payload(payloadBytes, 0x41);
    return media::buildFrame(fields, payload);
}

// Bytes of a file under construction; frames go at the end or at an offset
// (the gap is filled with zero bytes).
class FileBuilder {
public:
    FileBuilder() : m_bytes(recordfile::kDataOffset, 0) {}
    FileBuilder& append(const std::vector<std::uint8_t>& bytes)
    {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    FileBuilder& at(std::size_t offset, const std::vector<std::uint8_t>& bytes)
    {
        if (m_bytes.size() < offset)
            m_bytes.resize(offset, 0);
        m_bytes.resize(offset);
        return append(bytes);
    }
    FileBuilder& padTo(std::size_t size)
    {
        m_bytes.resize(size, 0);
        return *this;
    }
    std::size_t size() const { return m_bytes.size(); }
    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

}  // namespace recordtest
