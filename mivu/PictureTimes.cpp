// SPDX-License-Identifier: GPL-3.0-or-later
#include "mivu/PictureTimes.h"

namespace mivu {

std::optional<std::int64_t> PictureTimes::take()
{
    if (m_times.empty())
        return std::nullopt;
    const std::int64_t time = m_times.front();
    m_times.pop_front();
    return time;
}

void PictureTimes::trim(int depth)
{
    const std::size_t keep = depth > 0 ? static_cast<std::size_t>(depth) : 0;
    while (m_times.size() > keep)
        m_times.pop_front();
}

}  // namespace mivu
