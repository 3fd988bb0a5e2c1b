// SPDX-License-Identifier: GPL-3.0-or-later
#include "mivu/PlaybackClock.h"

namespace mivu {

void PlaybackClock::setSpeed(std::int32_t speedCode)
{
    m_speedNumerator = 1;
    m_speedDenominator = 1;
    if (speedCode > 1)
        m_speedNumerator = speedCode;
    else if (speedCode < -1)
        m_speedDenominator = -static_cast<std::int64_t>(speedCode);
    m_anchored = false;
}

void PlaybackClock::anchor(std::uint64_t frameTimeMs, Clock::time_point now)
{
    m_anchored = true;
    m_anchorFrameMs = frameTimeMs;
    m_anchorTime = now;
}

PlaybackClock::Clock::time_point PlaybackClock::dueTime(std::uint64_t frameTimeMs, Clock::time_point now)
{
    // A day ahead is a jump whatever the speed (and keeps the maths below in range).
    constexpr std::uint64_t kMaxDistanceMs = 24ull * 3600 * 1000;
    if (!m_anchored || frameTimeMs < m_anchorFrameMs || frameTimeMs - m_anchorFrameMs > kMaxDistanceMs) {
        anchor(frameTimeMs, now);
        return now;
    }
    // Microseconds keep fractions of a millisecond at high speeds.
    const std::uint64_t distanceMs = frameTimeMs - m_anchorFrameMs;
    const auto realUs = std::chrono::microseconds(static_cast<std::int64_t>(
        distanceMs * 1000 * static_cast<std::uint64_t>(m_speedDenominator) / static_cast<std::uint64_t>(m_speedNumerator)));
    const Clock::time_point due = m_anchorTime + realUs;
    if (due > now + kMaxLead || due + kMaxLag < now) {
        anchor(frameTimeMs, now);
        return now;
    }
    return due;
}

}  // namespace mivu
