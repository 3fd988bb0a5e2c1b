// SPDX-License-Identifier: GPL-3.0-or-later
// A one-shot result handed from the I/O thread to a waiting caller.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace velk::tovr {

template <class T>
class Completion {
public:
    // The first value wins; later ones are ignored. Any thread.
    void set(T value)
    {
        {
            std::lock_guard lock(m_valueLock);
            if (m_value)
                return;
            m_value = std::move(value);
        }
        m_valueSet.notify_all();
    }

    // nullopt when nothing was set in time. Any thread.
    std::optional<T> waitFor(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_valueLock);
        m_valueSet.wait_for(lock, timeout, [this] { return m_value.has_value(); });
        return m_value;
    }

private:
    std::mutex m_valueLock;  // guards m_value
    std::condition_variable m_valueSet;
    std::optional<T> m_value;
};

}  // namespace velk::tovr
