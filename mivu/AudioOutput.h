// SPDX-License-Identifier: GPL-3.0-or-later
// Plays 16-bit mono samples on the default audio output (Qt Multimedia's
// QAudioSink) at the process volume.
//
// The sink lives on the output's own thread, which moves queued samples into
// it every few milliseconds and applies the process volume as it changes.
// Writers only append to a short buffer; when it runs over, the oldest
// samples go, so sound never lags far behind the picture.
#pragma once

#include <QAudioDevice>
#include <QAudioFormat>
#include <QThread>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>

namespace mivu {

class AudioPump;

class AudioOutput {
public:
    // An output on the default audio device, or null when the process has
    // no Qt application object or no audio output device. Any thread (it
    // asks Qt Multimedia for the devices, which may take a few ms).
    static std::unique_ptr<AudioOutput> openDefault(int sampleRate);

    // Any thread but the output's own; waits for its thread to end.
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // Queues samples for playing. Any thread; never blocks for long.
    void write(std::span<const std::int16_t> samples);

private:
    friend class AudioPump;
    AudioOutput(const QAudioDevice& device, const QAudioFormat& format);
    // Takes up to maxSamples queued samples. Output thread.
    std::size_t take(std::int16_t* out, std::size_t maxSamples);

    const std::size_t m_maxQueuedSamples;
    std::mutex m_samplesLock;  // guards m_samples
    std::deque<std::int16_t> m_samples;

    QThread m_thread;
    AudioPump* m_pump = nullptr;  // lives on m_thread; deleted after it ended
};

}  // namespace mivu
