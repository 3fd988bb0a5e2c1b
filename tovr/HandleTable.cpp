// SPDX-License-Identifier: GPL-3.0-or-later
#include "HandleTable.h"

#include <atomic>

namespace velk::tovr {

namespace {

// Shared by every table of the process, so a handle from before an UNINIT
// never names an object made after it.
std::atomic<std::uint32_t> g_nextHandle{1};

}  // namespace

std::uint32_t HandleTable::reserve(std::shared_ptr<HandleObject> object)
{
    std::lock_guard lock(m_handlesLock);
    if (m_closed)
        return 0;
    for (;;) {
        const std::uint32_t handle = g_nextHandle.fetch_add(1);
        if (handle != 0 && m_entries.find(handle) == m_entries.end()) {
            m_entries.emplace(handle, Entry{std::move(object), false});
            return handle;
        }
    }
}

void HandleTable::commit(std::uint32_t handle)
{
    std::lock_guard lock(m_handlesLock);
    const auto it = m_entries.find(handle);
    if (it != m_entries.end())
        it->second.committed = true;
}

std::shared_ptr<HandleObject> HandleTable::remove(std::uint32_t handle)
{
    std::lock_guard lock(m_handlesLock);
    const auto it = m_entries.find(handle);
    if (it == m_entries.end())
        return nullptr;
    auto object = std::move(it->second.object);
    m_entries.erase(it);
    return object;
}

std::vector<std::shared_ptr<HandleObject>> HandleTable::closeAndTakeAll()
{
    std::lock_guard lock(m_handlesLock);
    m_closed = true;
    std::vector<std::shared_ptr<HandleObject>> all;
    all.reserve(m_entries.size());
    for (auto& [handle, entry] : m_entries)
        all.push_back(std::move(entry.object));
    m_entries.clear();
    return all;
}

std::size_t HandleTable::committedCount() const
{
    std::lock_guard lock(m_handlesLock);
    std::size_t count = 0;
    for (const auto& [handle, entry] : m_entries)
        count += entry.committed ? 1 : 0;
    return count;
}

}  // namespace velk::tovr
