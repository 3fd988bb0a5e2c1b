// SPDX-License-Identifier: GPL-3.0-or-later
#include "EncodedLoop.h"

#include <algorithm>

namespace velk::recorder {

EncodedLoop::EncodedLoop(std::uint32_t channel, StreamProfile profile, std::size_t frameCount)
    : m_channel(channel), m_profile(profile), m_pictures(std::max<std::size_t>(frameCount, 1))
{
}

std::size_t EncodedLoop::keyAtOrBefore(std::size_t position) const
{
    const std::size_t ready = readyCount();
    if (ready == 0)
        return 0;
    for (std::size_t i = std::min(position, ready - 1) + 1; i-- > 0;)
        if (m_pictures[i].key)
            return i;
    return 0;
}

std::optional<std::size_t> EncodedLoop::keyAfter(std::size_t position) const
{
    const std::size_t ready = readyCount();
    for (std::size_t i = position + 1; i < ready; ++i)
        if (m_pictures[i].key)
            return i;
    if (ready == frameCount() && ready > 0 && m_pictures[0].key)
        return 0;  // round the loop
    return std::nullopt;
}

bool EncodedLoop::append(EncodedPicture picture)
{
    const std::size_t index = m_ready.load(std::memory_order_relaxed);
    if (index >= m_pictures.size())
        return false;
    m_bytes.fetch_add(picture.annexB.size(), std::memory_order_relaxed);
    m_pictures[index] = std::move(picture);
    m_ready.store(index + 1, std::memory_order_release);
    return true;
}

}  // namespace velk::recorder
