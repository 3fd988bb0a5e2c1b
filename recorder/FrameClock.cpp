// SPDX-License-Identifier: GPL-3.0-or-later
#include "FrameClock.h"

#include <algorithm>
#include <cstdlib>

namespace velk::recorder {

namespace {

// RTP and MPEG timestamps count 33 bits (at 90 kHz, 26.5 hours) and wrap.
constexpr std::int64_t kWrap33 = std::int64_t(1) << 33;

}  // namespace

FrameClock::FrameClock(int timeBaseNum, int timeBaseDen)
    : m_num(timeBaseNum > 0 ? timeBaseNum : 1), m_den(timeBaseDen > 0 ? timeBaseDen : 1000)
{
}

void FrameClock::restart()
{
    m_anchored = false;
    m_wrapOffset = 0;
}

void FrameClock::setTimeBase(int timeBaseNum, int timeBaseDen)
{
    m_num = timeBaseNum > 0 ? timeBaseNum : 1;
    m_den = timeBaseDen > 0 ? timeBaseDen : 1000;
    restart();
}

std::int64_t FrameClock::toMs(std::int64_t units) const
{
    // Whole time-base periods first, so that large timestamps cannot
    // overflow; the remainder rounded to the nearest millisecond.
    const std::int64_t whole = units / m_den;
    const std::int64_t rest = units % m_den * 1000 * m_num;
    const std::int64_t half = m_den / 2;
    return whole * 1000 * m_num + (rest >= 0 ? (rest + half) / m_den : (rest - half) / m_den);
}

bool FrameClock::anchorHolds(std::int64_t timestamp, std::int64_t arrivalMs, std::int64_t& mapped) const
{
    if (timestamp < m_lastTimestamp)
        return false;
    mapped = m_anchorMs + toMs(timestamp - m_anchorTimestamp);
    return std::llabs(mapped - arrivalMs) <= kJumpMs;
}

std::int64_t FrameClock::map(std::optional<std::int64_t> timestamp, std::int64_t arrivalMs)
{
    std::int64_t mapped = arrivalMs;
    if (timestamp) {
        std::int64_t unwrapped = *timestamp + m_wrapOffset;
        if (!m_anchored) {
            m_anchored = true;
            m_anchorTimestamp = unwrapped;
            m_anchorMs = arrivalMs;
        } else if (!anchorHolds(unwrapped, arrivalMs, mapped)) {
            // A 33-bit timestamp that wrapped: far back from near the top of
            // its range, and right once counted on past the wrap.
            std::int64_t wrappedMapped = 0;
            if (unwrapped < m_lastTimestamp && m_lastTimestamp - m_wrapOffset >= kWrap33 / 2 &&
                *timestamp < kWrap33 / 2 && anchorHolds(unwrapped + kWrap33, arrivalMs, wrappedMapped)) {
                m_wrapOffset += kWrap33;
                unwrapped += kWrap33;
                mapped = wrappedMapped;
            } else {
                ++m_reanchors;
                m_anchorTimestamp = unwrapped;
                m_anchorMs = arrivalMs;
                mapped = arrivalMs;
            }
        }
        if (mapped > arrivalMs) {
            // A frame cannot have been taken after it arrived: the anchor
            // frame came late (the first frames of a connection often come
            // in a burst, or the first one waited on the network). The
            // anchor slides back so that this frame is placed at its
            // arrival; it settles on the least delayed frame seen.
            m_anchorMs -= mapped - arrivalMs;
            mapped = arrivalMs;
        }
        m_lastTimestamp = unwrapped;
    }
    if (m_lastMs)
        mapped = std::max(mapped, *m_lastMs + 1);
    m_lastMs = mapped;
    return mapped;
}

}  // namespace velk::recorder
