// SPDX-License-Identifier: GPL-3.0-or-later
// Latency of live pictures: from the recorder's frame time (the wall clock
// when it sent the frame, in each frame's time item) to the moment the
// picture was painted in its window, and, as the reference, to the moment
// the frame reached the control's stream callback (the network alone).
//
// The probe puts itself between the control and the network library: each
// REALPLAY's callback is wrapped by one that notes the arrival time and
// passes the call on unchanged. Painting is seen through the render
// target's shown hook.
#pragma once

#include "bench/Samples.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <span>
#include <vector>

#include "bench/Samples.h"

#include <mutex>

class CChannelEX;

namespace bench {

class LatencyProbe {
public:
    // Wraps the command function of the control; one probe at a time. UI thread.
    LatencyProbe();
    ~LatencyProbe();
    LatencyProbe(const LatencyProbe&) = delete;
    LatencyProbe& operator=(const LatencyProbe&) = delete;

    // Notes the latency of every picture the window's view paints, also
    // under the window's channel (shownIn); the probe must outlive the
    // window. UI thread.
    void watch(CChannelEX& window);
    // Forgets what was measured so far (after a warm-up). UI thread.
    void clear();

    // Frame time to painted, ms. UI thread.
    const Samples& shown() const { return m_shown; }
    // Frame time to the stream callback, ms. Any thread.
    Samples arrived() const;
    // The same for the pictures of one channel (0-based). UI thread / any thread.
    Samples shownIn(int channel) const;
    Samples arrivedIn(int channel) const;

    // Keeps a copy of every video frame of the channel's streams that
    // arrives from now on, in order (the packets a decoder was given, for a
    // reference decode of the same packets). Any thread.
    void capture(int channel);
    std::vector<std::vector<std::uint8_t>> captured(int channel) const;

    // The wrapped callback's side: one video container frame arrived, this
    // late. Runs on the network library's callback thread.
    void noteArrival(std::span<const std::uint8_t> frame, int channel, double latencyMs);

private:
    Samples m_shown;                        // UI thread only
    std::map<int, Samples> m_shownByChannel;  // UI thread only
    mutable std::mutex m_arrivedLock;  // guards m_arrived, m_arrivedByChannel and m_captured
    Samples m_arrived;
    std::map<int, Samples> m_arrivedByChannel;
    std::map<int, std::vector<std::vector<std::uint8_t>>> m_captured;  // channels being captured
};

}  // namespace bench
