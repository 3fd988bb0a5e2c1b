// SPDX-License-Identifier: GPL-3.0-or-later
#include "proto/FrameDecoder.h"

namespace velk::proto {

FrameDecoder::FrameDecoder(std::uint32_t maxPayloadBytes) : m_maxPayloadBytes(maxPayloadBytes) {}

void FrameDecoder::append(const void* data, std::size_t bytes)
{
    if (m_failure != Failure::None || bytes == 0)
        return;
    m_buffer.append(static_cast<const char*>(data), bytes);
}

FrameDecoder::Status FrameDecoder::next(Frame& out)
{
    if (m_failure != Failure::None)
        return Status::Failed;
    if (bufferedBytes() < kFrameHeaderBytes) {
        compact();
        return Status::NeedMore;
    }
    const auto* header = reinterpret_cast<const unsigned char*>(m_buffer.data() + m_readOffset);
    if (header[0] != static_cast<unsigned char>(kFrameMagic0) ||
        header[1] != static_cast<unsigned char>(kFrameMagic1)) {
        m_failure = Failure::BadMagic;
        return Status::Failed;
    }
    if (!isKnownFrameType(header[2])) {
        m_failure = Failure::UnknownType;
        return Status::Failed;
    }
    const std::uint32_t length = (std::uint32_t(header[4]) << 24) | (std::uint32_t(header[5]) << 16) |
                                 (std::uint32_t(header[6]) << 8) | std::uint32_t(header[7]);
    if (length > m_maxPayloadBytes) {
        m_failure = Failure::Oversize;
        return Status::Failed;
    }
    if (bufferedBytes() < kFrameHeaderBytes + length) {
        compact();
        return Status::NeedMore;
    }
    out.type = static_cast<FrameType>(header[2]);
    out.payload.assign(m_buffer, m_readOffset + kFrameHeaderBytes, length);
    m_readOffset += kFrameHeaderBytes + length;
    return Status::FrameReady;
}

void FrameDecoder::compact()
{
    // Drop consumed bytes once they make up most of the buffer, so a long
    // stream of small frames does not grow it for ever.
    if (m_readOffset == 0)
        return;
    if (m_readOffset == m_buffer.size()) {
        m_buffer.clear();
        m_readOffset = 0;
    } else if (m_readOffset >= m_buffer.size() / 2) {
        m_buffer.erase(0, m_readOffset);
        m_readOffset = 0;
    }
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
