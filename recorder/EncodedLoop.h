// SPDX-License-Identifier: GPL-3.0-or-later
// One channel's stream of one type, encoded once and played round and
// round: a fixed number of H.264 access units (Annex B, SPS/PPS before each
// key picture), with a key picture at index 0 and then regularly. It is
// filled in order by an encoder thread while streams already read it: a
// picture is visible to readers once readyCount() has passed its index, and
// never changes afterwards.
#pragma once

#include "StreamProfile.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace velk::recorder {

struct EncodedPicture {
    bool key = false;
    std::vector<std::uint8_t> annexB;
};

class EncodedLoop {
public:
    EncodedLoop(std::uint32_t channel, StreamProfile profile, std::size_t frameCount);

    std::uint32_t channel() const { return m_channel; }
    const StreamProfile& profile() const { return m_profile; }
    std::size_t frameCount() const { return m_pictures.size(); }

    // Any thread.
    std::size_t readyCount() const { return m_ready.load(std::memory_order_acquire); }
    bool complete() const { return readyCount() == frameCount(); }
    bool failed() const { return m_failed.load(std::memory_order_acquire); }
    std::size_t encodedBytes() const { return m_bytes.load(std::memory_order_relaxed); }

    // A ready picture (index < readyCount()). Any thread.
    const EncodedPicture& picture(std::size_t index) const { return m_pictures[index]; }
    // The last ready key picture at or before position; 0 when none is
    // ready yet (index 0 is the first key picture). Any thread.
    std::size_t keyAtOrBefore(std::size_t position) const;
    // The first ready key picture after position, going round the loop once
    // it is complete; nullopt when that picture is not encoded yet. Any thread.
    std::optional<std::size_t> keyAfter(std::size_t position) const;

    // Encoder thread: adds the next picture; false when the loop is full.
    bool append(EncodedPicture picture);
    // Encoder thread: the encoder gave up; readers stop waiting for more.
    void markFailed() { m_failed.store(true, std::memory_order_release); }

private:
    const std::uint32_t m_channel;
    const StreamProfile m_profile;
    // Sized once; slot i is written by the encoder thread before m_ready
    // passes i and only read afterwards.
    std::vector<EncodedPicture> m_pictures;
    std::atomic<std::size_t> m_ready{0};
    std::atomic<bool> m_failed{false};
    std::atomic<std::size_t> m_bytes{0};
};

}  // namespace velk::recorder
