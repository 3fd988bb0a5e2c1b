// SPDX-License-Identifier: GPL-3.0-or-later
#include "StreamReconnect.h"

#include <algorithm>

namespace velk::tovr {

StreamReconnect::StreamReconnect(std::chrono::milliseconds firstDelay, std::chrono::milliseconds maxDelay,
                                 std::chrono::milliseconds offlineAfter)
    : m_firstDelay(firstDelay),
      m_maxDelay(std::max(maxDelay, firstDelay)),
      m_offlineAfter(offlineAfter),
      m_delay(firstDelay)
{
}

void StreamReconnect::lost(Clock::time_point now)
{
    if (m_lostAt)
        return;
    m_lostAt = now;
    m_delay = m_firstDelay;
}

void StreamReconnect::back()
{
    m_lostAt.reset();
    m_delay = m_firstDelay;
}

std::chrono::milliseconds StreamReconnect::nextDelay()
{
    const auto delay = m_delay;
    m_delay = std::min(m_delay * 2, m_maxDelay);
    return delay;
}

StreamReconnect::Clock::time_point StreamReconnect::offlineAt() const
{
    return m_lostAt.value_or(Clock::time_point{}) + m_offlineAfter;
}

}  // namespace velk::tovr
