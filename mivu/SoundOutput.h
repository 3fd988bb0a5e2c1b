// SPDX-License-Identifier: GPL-3.0-or-later
// The sound switch of one sub-picture and the audio output behind it.
//
// The switch may be thrown on any thread (the control does it from the
// network library's callback too), but Qt Multimedia's device list belongs
// to the application's main thread: the output is opened there, right away
// when the switch is thrown on that thread, else by a queued call. Without
// an audio device, the switch is kept and nothing plays.
#pragma once

#include "mivu/AudioOutput.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>

namespace mivu {

class SoundOutput : public std::enable_shared_from_this<SoundOutput> {
public:
    // Any thread.
    void setOn(bool on);
    bool isOn() const { return m_on.load(); }
    // Plays samples when the switch is on and an output is open. Decode thread.
    void play(std::span<const std::int16_t> samples);
    // Closes the output (the switch stays). Any thread but the audio thread.
    void closeOutput();

private:
    // Main thread.
    void openOutput();

    std::atomic<bool> m_on{false};
    std::atomic<bool> m_openQueued{false};
    std::mutex m_outputLock;  // guards m_output
    std::unique_ptr<AudioOutput> m_output;
};

}  // namespace mivu
