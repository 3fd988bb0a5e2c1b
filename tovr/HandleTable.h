// SPDX-License-Identifier: GPL-3.0-or-later
// The handles the library gave out. A handle is reserved while its object
// is being set up (invisible to lookups, but shut down with the library)
// and committed when the command that creates it succeeds. Handle numbers
// are nonzero and not reused while the process lives (until they wrap).
#pragma once

#include "HandleObject.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace velk::tovr {

class HandleTable {
public:
    // 0 when the table is closed. Any thread.
    std::uint32_t reserve(std::shared_ptr<HandleObject> object);
    // Makes a reserved handle visible. Any thread.
    void commit(std::uint32_t handle);
    // Removes a handle, reserved or committed; returns its object. Any thread.
    std::shared_ptr<HandleObject> remove(std::uint32_t handle);
    // Removes a committed handle of type T; null when there is none. Any thread.
    template <class T>
    std::shared_ptr<T> take(std::uint32_t handle);
    // A committed handle's object of type T; null when there is none. Any thread.
    template <class T>
    std::shared_ptr<T> find(std::uint32_t handle) const;
    // Refuses further reservations and hands back everything. Any thread.
    std::vector<std::shared_ptr<HandleObject>> closeAndTakeAll();

    std::size_t committedCount() const;

private:
    struct Entry {
        std::shared_ptr<HandleObject> object;
        bool committed = false;
    };

    mutable std::mutex m_handlesLock;  // guards m_entries and m_closed
    std::unordered_map<std::uint32_t, Entry> m_entries;
    bool m_closed = false;
};

template <class T>
std::shared_ptr<T> HandleTable::find(std::uint32_t handle) const
{
    std::lock_guard lock(m_handlesLock);
    const auto it = m_entries.find(handle);
    if (it == m_entries.end() || !it->second.committed)
        return nullptr;
    return std::dynamic_pointer_cast<T>(it->second.object);
}

template <class T>
std::shared_ptr<T> HandleTable::take(std::uint32_t handle)
{
    std::lock_guard lock(m_handlesLock);
    const auto it = m_entries.find(handle);
    if (it == m_entries.end() || !it->second.committed)
        return nullptr;
    auto object = std::dynamic_pointer_cast<T>(it->second.object);
    if (object)
        m_entries.erase(it);
    return object;
}

}  // namespace velk::tovr
