// SPDX-License-Identifier: GPL-3.0-or-later
#include "proto/FrameDecoder.h"

#include <algorithm>
#include <cstring>

namespace velk::proto {

FrameDecoder::FrameDecoder(std::uint32_t maxPayloadBytes) : m_maxPayloadBytes(maxPayloadBytes) {}

void FrameDecoder::append(const void* data, std::size_t bytes)
{
    if (m_failure != Failure::None || bytes == 0)
        return;
    std::memcpy(prepare(bytes).data(), data, bytes);
    commit(bytes);
}

std::span<char> FrameDecoder::prepare(std::size_t bytes)
{
    m_peeked = 0;
    // What was taken is dropped by moving the rest (at most part of one
    // frame, usually) to the front, but only when the room is needed: a
    // stream of small frames then costs no move at all most of the time.
    if (m_begin == m_end) {
        m_begin = 0;
        m_end = 0;
    }
    if (m_capacity - m_end < bytes && m_begin > 0) {
        std::memmove(m_data.get(), m_data.get() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    if (m_capacity - m_end < bytes) {
        const std::size_t capacity = std::max(m_capacity * 2, m_end + bytes);
        auto grown = std::make_unique_for_overwrite<char[]>(capacity);
        if (m_end > 0)
            std::memcpy(grown.get(), m_data.get(), m_end);
        m_data = std::move(grown);
        m_capacity = capacity;
    }
    return {m_data.get() + m_end, bytes};
}

void FrameDecoder::commit(std::size_t bytes)
{
    if (m_failure != Failure::None)
        return;
    m_end += std::min(bytes, m_capacity - m_end);
}

std::size_t FrameDecoder::frontFrameBytes()
{
    if (bufferedBytes() < kFrameHeaderBytes)
        return 0;
    const auto* header = reinterpret_cast<const unsigned char*>(m_data.get() + m_begin);
    if (header[0] != static_cast<unsigned char>(kFrameMagic0) ||
        header[1] != static_cast<unsigned char>(kFrameMagic1)) {
        m_failure = Failure::BadMagic;
        return 0;
    }
    if (!isKnownFrameType(header[2])) {
        m_failure = Failure::UnknownType;
        return 0;
    }
    const std::uint32_t length = (std::uint32_t(header[4]) << 24) | (std::uint32_t(header[5]) << 16) |
                                 (std::uint32_t(header[6]) << 8) | std::uint32_t(header[7]);
    if (length > m_maxPayloadBytes) {
        m_failure = Failure::Oversize;
        return 0;
    }
    if (bufferedBytes() < kFrameHeaderBytes + length)
        return 0;
    return kFrameHeaderBytes + length;
}

FrameDecoder::Status FrameDecoder::peek(FrameRef& out)
{
    m_peeked = 0;
    if (m_failure != Failure::None)
        return Status::Failed;
    const std::size_t bytes = frontFrameBytes();
    if (m_failure != Failure::None)
        return Status::Failed;
    if (bytes == 0)
        return Status::NeedMore;
    const char* at = m_data.get() + m_begin;
    out.type = static_cast<FrameType>(static_cast<unsigned char>(at[2]));
    out.payload = std::string_view(at + kFrameHeaderBytes, bytes - kFrameHeaderBytes);
    m_peeked = bytes;
    return Status::FrameReady;
}

void FrameDecoder::pop()
{
    m_begin += m_peeked;
    m_peeked = 0;
}

FrameDecoder::Status FrameDecoder::next(Frame& out)
{
    FrameRef ref;
    const Status status = peek(ref);
    if (status != Status::FrameReady)
        return status;
    out.type = ref.type;
    out.payload.assign(ref.payload);
    pop();
    return Status::FrameReady;
}

const char* failureText(FrameDecoder::Failure failure)
{
    switch (failure) {
    case FrameDecoder::Failure::None: return "no failure";
    case FrameDecoder::Failure::BadMagic: return "not a device-protocol frame";
    case FrameDecoder::Failure::UnknownType: return "unknown frame type";
    case FrameDecoder::Failure::Oversize: return "frame larger than allowed";
    }
    return "unknown failure";
}

}  // namespace velk::proto
