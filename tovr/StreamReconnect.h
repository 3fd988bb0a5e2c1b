// SPDX-License-Identifier: GPL-3.0-or-later
// When a lost stream tries again, and when it gives up: the first try after
// the first delay, then twice as long after each failure up to the largest
// delay; once the stream has been away for the offline time, the device
// counts as offline. Plain arithmetic on the times given, so it can be
// tested without a clock.
#pragma once

#include <chrono>
#include <optional>

namespace velk::tovr {

class StreamReconnect {
public:
    using Clock = std::chrono::steady_clock;

    StreamReconnect(std::chrono::milliseconds firstDelay, std::chrono::milliseconds maxDelay,
                    std::chrono::milliseconds offlineAfter);

    // The stream was lost at now; a loss while already lost changes nothing.
    void lost(Clock::time_point now);
    // The stream is back: the next loss starts afresh.
    void back();
    bool isLost() const { return m_lostAt.has_value(); }

    // How long to wait before the next try; each call doubles the next.
    std::chrono::milliseconds nextDelay();
    // When the device counts as offline (only while lost).
    Clock::time_point offlineAt() const;
    bool isOffline(Clock::time_point now) const { return m_lostAt && now >= offlineAt(); }

private:
    const std::chrono::milliseconds m_firstDelay;
    const std::chrono::milliseconds m_maxDelay;
    const std::chrono::milliseconds m_offlineAfter;
    std::chrono::milliseconds m_delay;
    std::optional<Clock::time_point> m_lostAt;
};

}  // namespace velk::tovr
