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

    // Notes the latency of every picture the window's view paints; the
    // probe must outlive the window. UI thread.
    void watch(CChannelEX& window);
    // Forgets what was measured so far (after a warm-up). UI thread.
    void clear();

    // Frame time to painted, ms. UI thread.
    const Samples& shown() const { return m_shown; }
    // Frame time to the stream callback, ms. Any thread.
    Samples arrived() const;

    // The wrapped callback's side. Runs on the network library's callback thread.
    void noteArrival(double latencyMs);

private:
    Samples m_shown;                  // UI thread only
    mutable std::mutex m_arrivedLock;  // guards m_arrived
    Samples m_arrived;
};

}  // namespace bench
