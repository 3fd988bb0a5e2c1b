// SPDX-License-Identifier: GPL-3.0-or-later
// Reassembles frames from a byte stream that arrives in pieces of any size.
// Bytes either come in through append() (a copy), or a reader receives
// them straight into the decoder's buffer (prepare(), then commit()); frames
// come out as copies (next()) or in place (peek(), then pop()), so a
// receiver of many small frames can use them where they arrived.
#pragma once

#include "proto/Frame.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace velk::proto {

// A frame where it lies in a decoder's buffer: valid until the decoder's
// next append(), prepare() or next().
struct FrameRef {
    FrameType type = FrameType::Json;
    std::string_view payload;
};

class FrameDecoder {
public:
    enum class Status { NeedMore, FrameReady, Failed };
    enum class Failure { None, BadMagic, UnknownType, Oversize };

    // Frames whose payload exceeds maxPayloadBytes are rejected as soon as
    // their header arrives, before their body is buffered.
    explicit FrameDecoder(std::uint32_t maxPayloadBytes);

    // Adds received bytes. Ignored once the decoder has failed.
    void append(const void* data, std::size_t bytes);
    // Room for up to bytes more at the end of the buffer, to receive into;
    // then commit() how many arrived. Moves what is buffered (frames given
    // in place are no longer valid).
    std::span<char> prepare(std::size_t bytes);
    // Adds the first bytes of the room prepare() gave (at most its size).
    // Ignored once the decoder has failed.
    void commit(std::size_t bytes);

    // Takes the next complete frame into out. After Failed the stream is
    // unusable (the connection should be closed); failure() tells why.
    Status next(Frame& out);
    // The next complete frame in place, without taking it: the same frame
    // again until pop(). Statuses as next().
    Status peek(FrameRef& out);
    // Takes the frame peek() gave (its payload stays valid as FrameRef says).
    void pop();

    Failure failure() const { return m_failure; }
    std::size_t bufferedBytes() const { return m_end - m_begin; }

private:
    // The length of the complete frame at the front (header and payload),
    // 0 when it is not all there; fails the decoder on a bad header.
    std::size_t frontFrameBytes();

    std::uint32_t m_maxPayloadBytes;
    std::unique_ptr<char[]> m_data;
    std::size_t m_capacity = 0;
    std::size_t m_begin = 0;  // the first byte not taken yet
    std::size_t m_end = 0;    // the end of what arrived
    std::size_t m_peeked = 0;  // the length of the frame peek() gave; 0 when none
    Failure m_failure = Failure::None;
};

const char* failureText(FrameDecoder::Failure failure);

}  // namespace velk::proto
