// SPDX-License-Identifier: GPL-3.0-or-later
#include "mivu/PlaybackClock.h"

#include <algorithm>

namespace mivu {

namespace {

// A day apart is a jump whatever the speed (and keeps the maths below in range).
constexpr std::int64_t kMaxDistanceMs = 24ll * 3600 * 1000;

}  // namespace

void PlaybackClock::setSpeed(std::int32_t speedCode, Clock::time_point now)
{
    if (m_anchored) {
        // Continue from the frame time reached, at the new rate.
        const std::uint64_t reached = position(now);
        m_anchorFrameMs = reached;
        m_anchorTime = now;
    }
    m_speedNumerator = 1;
    m_speedDenominator = 1;
    if (speedCode > 1)
        m_speedNumerator = speedCode;
    else if (speedCode < -1)
        m_speedDenominator = -static_cast<std::int64_t>(speedCode);
}

void PlaybackClock::reset()
{
    m_anchored = false;
    m_shown = false;
    m_shownFrameMs = 0;
}

void PlaybackClock::resume(Clock::time_point now)
{
    if (m_shown)
        anchor(m_shownFrameMs, now);
    else
        m_anchored = false;
}

void PlaybackClock::anchor(std::uint64_t frameTimeMs, Clock::time_point now)
{
    m_anchored = true;
    m_anchorFrameMs = frameTimeMs;
    m_anchorTime = now;
    m_lastActivity = now;
}

std::uint64_t PlaybackClock::position(Clock::time_point now) const
{
    const auto elapsedUs = std::chrono::duration_cast<std::chrono::microseconds>(now - m_anchorTime).count();
    if (elapsedUs <= 0)
        return m_anchorFrameMs;
    const std::int64_t advancedMs = elapsedUs * m_speedNumerator / m_speedDenominator / 1000;
    return m_anchorFrameMs + static_cast<std::uint64_t>(std::min(advancedMs, kMaxDistanceMs));
}

PlaybackClock::Clock::time_point PlaybackClock::dueTime(std::uint64_t frameTimeMs, Clock::time_point now)
{
    if (!m_anchored) {
        anchor(frameTimeMs, now);
        return now;
    }
    const std::int64_t distanceMs = static_cast<std::int64_t>(frameTimeMs - m_anchorFrameMs);
    if (distanceMs > kMaxDistanceMs || distanceMs < -kMaxDistanceMs) {
        anchor(frameTimeMs, now);
        return now;
    }
    // Microseconds keep fractions of a millisecond at high speeds.
    const auto realUs = std::chrono::microseconds(distanceMs * 1000 * m_speedDenominator / m_speedNumerator);
    const Clock::time_point due = m_anchorTime + realUs;
    if (due + kMaxLag < now) {
        // Far behind: every sub-picture follows this one.
        anchor(frameTimeMs, now);
        return now;
    }
    if (due > now + kMaxLead && now - m_lastActivity >= kGapQuiet) {
        // A gap, and nothing else is playing up to it: jump it.
        anchor(frameTimeMs, now);
        return now;
    }
    return due;
}

void PlaybackClock::shown(std::uint64_t frameTimeMs, Clock::time_point now)
{
    m_shown = true;
    m_shownFrameMs = frameTimeMs;
    m_lastActivity = now;
}

}  // namespace mivu

namespace mivu {

void PlaybackClock::setPending(std::size_t slot, std::optional<std::uint64_t> frameTimeMs)
{
    if (slot < m_pending.size())
        m_pending[slot] = frameTimeMs;
}

bool PlaybackClock::heldBack(std::size_t slot, std::uint64_t frameTimeMs) const
{
    for (std::size_t other = 0; other < m_pending.size(); ++other) {
        if (other != slot && m_pending[other] && *m_pending[other] < frameTimeMs)
            return true;
    }
    return false;
}

}  // namespace mivu
