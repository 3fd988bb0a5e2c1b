// SPDX-License-Identifier: GPL-3.0-or-later
// Reassembles frames from a byte stream that arrives in pieces of any size.
#pragma once

#include "proto/Frame.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace velk::proto {

class FrameDecoder {
public:
    enum class Status { NeedMore, FrameReady, Failed };
    enum class Failure { None, BadMagic, UnknownType, Oversize };

    // Frames whose payload exceeds maxPayloadBytes are rejected as soon as
    // their header arrives, before their body is buffered.
    explicit FrameDecoder(std::uint32_t maxPayloadBytes);

    // Adds received bytes. Ignored once the decoder has failed.
    void append(const void* data, std::size_t bytes);

    // Takes the next complete frame into out. After Failed the stream is
    // unusable (the connection should be closed); failure() tells why.
    Status next(Frame& out);

    Failure failure() const { return m_failure; }
    std::size_t bufferedBytes() const { return m_buffer.size() - m_readOffset; }

private:
    void compact();

    std::uint32_t m_maxPayloadBytes;
    std::string m_buffer;
    std::size_t m_readOffset = 0;
    Failure m_failure = Failure::None;
};

const char* failureText(FrameDecoder::Failure failure);

}  // namespace velk::proto
