// SPDX-License-Identifier: GPL-3.0-or-later
// The process's open decoders by handle. A handle is nonzero and names one
// decoder from its open to its close; a closed handle is not given out again
// while another decoder holds it.
#pragma once

#include "mivu/Decoder.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace mivu {

class DecoderTable {
public:
    static DecoderTable& instance();

    // Any thread.
    std::uint32_t add(std::shared_ptr<Decoder> decoder);
    std::shared_ptr<Decoder> find(std::uint32_t handle);
    std::shared_ptr<Decoder> remove(std::uint32_t handle);

    // Closes every decoder still open when the process ends.
    ~DecoderTable();

private:
    DecoderTable() = default;

    std::mutex m_tableLock;  // guards m_decoders and m_lastHandle
    std::unordered_map<std::uint32_t, std::shared_ptr<Decoder>> m_decoders;
    std::uint32_t m_lastHandle = 0;
};

}  // namespace mivu
