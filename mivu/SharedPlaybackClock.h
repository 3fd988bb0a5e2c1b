// SPDX-License-Identifier: GPL-3.0-or-later
// The playback clock of one decoder, shared by the decode threads of its
// sub-pictures and the steering calls: PlaybackClock under a lock, read
// with the steady clock's time now.
#pragma once

#include "mivu/PlaybackClock.h"

#include <cstdint>
#include <mutex>

namespace mivu {

class SharedPlaybackClock {
public:
    using Clock = PlaybackClock::Clock;

    // All callable from any thread; each holds m_clockLock briefly.
    Clock::time_point dueTime(std::uint64_t frameTimeMs, Clock::time_point now)
    {
        std::lock_guard lock(m_clockLock);
        return m_clock.dueTime(frameTimeMs, now);
    }
    void shown(std::uint64_t frameTimeMs)
    {
        std::lock_guard lock(m_clockLock);
        m_clock.shown(frameTimeMs, Clock::now());
    }
    void setSpeed(std::int32_t speedCode)
    {
        std::lock_guard lock(m_clockLock);
        m_clock.setSpeed(speedCode, Clock::now());
    }
    void resume()
    {
        std::lock_guard lock(m_clockLock);
        m_clock.resume(Clock::now());
    }
    void reset()
    {
        std::lock_guard lock(m_clockLock);
        m_clock.reset();
    }
    void setSlots(std::size_t count)
    {
        std::lock_guard lock(m_clockLock);
        m_clock.setSlots(count);
    }
    void setPending(std::size_t slot, std::optional<std::uint64_t> frameTimeMs)
    {
        std::lock_guard lock(m_clockLock);
        m_clock.setPending(slot, frameTimeMs);
    }
    bool heldBack(std::size_t slot, std::uint64_t frameTimeMs) const
    {
        std::lock_guard lock(m_clockLock);
        return m_clock.heldBack(slot, frameTimeMs);
    }
    std::uint64_t shownFrameTimeMs() const
    {
        std::lock_guard lock(m_clockLock);
        return m_clock.shownFrameTimeMs();
    }

private:
    mutable std::mutex m_clockLock;  // guards m_clock; taken after a sub-picture's m_queueLock, never before
    PlaybackClock m_clock;
};

}  // namespace mivu
