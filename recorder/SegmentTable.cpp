// SPDX-License-Identifier: GPL-3.0-or-later
#include "SegmentTable.h"

#include <algorithm>

namespace velk::recorder {

void SegmentTable::publish(const SegmentSummary& segment)
{
    std::lock_guard lock(m_lock);
    auto& list = m_segments[segment.channel];
    // A segment being written is published before its first frame (with
    // the wall clock as its start) and again with its first frame's time,
    // which may lie anywhere (a camera's frames, a clock set back): it
    // takes its place by start each time.
    std::erase_if(list, [&](const auto& s) { return s.path == segment.path; });
    const auto at = std::upper_bound(list.begin(), list.end(), segment.startMs,
                                     [](std::int64_t start, const auto& s) { return start < s.startMs; });
    list.insert(at, segment);
}

void SegmentTable::remove(std::uint32_t channel, const std::string& path)
{
    std::lock_guard lock(m_lock);
    auto& list = m_segments[channel];
    std::erase_if(list, [&](const auto& s) { return s.path == path; });
}

std::vector<SegmentSummary> SegmentTable::channel(std::uint32_t channel) const
{
    std::lock_guard lock(m_lock);
    const auto it = m_segments.find(channel);
    return it == m_segments.end() ? std::vector<SegmentSummary>{} : it->second;
}

std::optional<SegmentSummary> SegmentTable::find(std::uint32_t channel, const std::string& path) const
{
    std::lock_guard lock(m_lock);
    const auto it = m_segments.find(channel);
    if (it == m_segments.end())
        return std::nullopt;
    for (const auto& s : it->second)
        if (s.path == path)
            return s;
    return std::nullopt;
}

std::vector<SegmentSummary> SegmentTable::all() const
{
    std::lock_guard lock(m_lock);
    std::vector<SegmentSummary> out;
    for (const auto& [channel, list] : m_segments)
        out.insert(out.end(), list.begin(), list.end());
    return out;
}

}  // namespace velk::recorder
