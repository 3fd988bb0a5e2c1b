// SPDX-License-Identifier: GPL-3.0-or-later
// The sound every stream carries: G.711 mu-law, 8 kHz mono, in pieces of
// 40 ms (320 bytes), one second round: a short quiet 1 kHz tick at the
// start of each second of the loop clock, silence otherwise. Encoded once
// with libavcodec's pcm_mulaw encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velk::recorder {

class AudioLoop {
public:
    static constexpr std::uint32_t kSampleRate = 8000;
    static constexpr std::size_t kSamplesPerPiece = 320;  // 40 ms
    static constexpr std::size_t kPieces = 25;            // one second

    AudioLoop();

    // Piece index % kPieces. Any thread.
    const std::vector<std::uint8_t>& piece(std::size_t index) const { return m_pieces[index % kPieces]; }

private:
    std::vector<std::vector<std::uint8_t>> m_pieces;
};

}  // namespace velk::recorder
