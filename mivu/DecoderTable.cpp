// SPDX-License-Identifier: GPL-3.0-or-later
#include "mivu/DecoderTable.h"

#include <vector>

namespace mivu {

DecoderTable& DecoderTable::instance()
{
    static DecoderTable table;
    return table;
}

DecoderTable::~DecoderTable()
{
    std::unordered_map<std::uint32_t, std::shared_ptr<Decoder>> open;
    {
        std::lock_guard<std::mutex> lock(m_tableLock);
        open.swap(m_decoders);
    }
    for (auto& [handle, decoder] : open)
        decoder->close();
}

std::uint32_t DecoderTable::add(std::shared_ptr<Decoder> decoder)
{
    std::lock_guard<std::mutex> lock(m_tableLock);
    do {
        ++m_lastHandle;
    } while (m_lastHandle == 0 || m_decoders.count(m_lastHandle) != 0);
    m_decoders.emplace(m_lastHandle, std::move(decoder));
    return m_lastHandle;
}

std::shared_ptr<Decoder> DecoderTable::find(std::uint32_t handle)
{
    std::lock_guard<std::mutex> lock(m_tableLock);
    const auto it = m_decoders.find(handle);
    return it == m_decoders.end() ? nullptr : it->second;
}

std::shared_ptr<Decoder> DecoderTable::remove(std::uint32_t handle)
{
    std::lock_guard<std::mutex> lock(m_tableLock);
    const auto it = m_decoders.find(handle);
    if (it == m_decoders.end())
        return nullptr;
    std::shared_ptr<Decoder> decoder = std::move(it->second);
    m_decoders.erase(it);
    return decoder;
}

}  // namespace mivu
