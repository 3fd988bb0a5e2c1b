// SPDX-License-Identifier: GPL-3.0-or-later
#include "mivu/AudioOutput.h"

#include "platform/Debug.h"
#include "platform/Shell.h"

#include <QAudioSink>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace mivu {

namespace {

constexpr int kPumpIntervalMs = 10;
constexpr int kSinkBufferMs = 200;
constexpr int kMaxQueuedMs = 300;

}  // namespace

// Owns the sink on the output thread and feeds it.
class AudioPump : public QObject {
public:
    AudioPump(AudioOutput& output, QAudioDevice device, QAudioFormat format)
        : m_output(output), m_device(std::move(device)), m_format(format)
    {
    }

    // Output thread.
    void start()
    {
        m_sink = new QAudioSink(m_device, m_format, this);
        m_sink->setBufferSize(m_format.bytesForDuration(kSinkBufferMs * 1000));
        m_io = m_sink->start();
        if (m_io == nullptr) {
            platform::debugPrintf("MIVU: audio output could not be opened (error %d)\n", int(m_sink->error()));
            return;
        }
        m_timer = new QTimer(this);
        m_timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(m_timer, &QTimer::timeout, this, [this] { feed(); });
        m_timer->start(kPumpIntervalMs);
    }

    // Output thread, as it ends.
    void stop()
    {
        if (m_timer != nullptr)
            m_timer->stop();
        if (m_sink != nullptr)
            m_sink->stop();
        delete m_timer;
        delete m_sink;
        m_timer = nullptr;
        m_sink = nullptr;
        m_io = nullptr;
    }

private:
    // Output thread.
    void feed()
    {
        const int volume = static_cast<int>(platform::processVolume());
        if (volume != m_volume) {
            m_volume = volume;
            m_sink->setVolume(volume / 100.0);
        }
        const std::size_t room = static_cast<std::size_t>(std::max<qsizetype>(m_sink->bytesFree(), 0)) / 2;
        if (room == 0)
            return;
        m_buffer.resize(room);
        const std::size_t count = m_output.take(m_buffer.data(), room);
        if (count > 0)
            m_io->write(reinterpret_cast<const char*>(m_buffer.data()), static_cast<qint64>(count * 2));
    }

    AudioOutput& m_output;
    const QAudioDevice m_device;
    const QAudioFormat m_format;
    QAudioSink* m_sink = nullptr;  // output thread only, like the members below
    QIODevice* m_io = nullptr;
    QTimer* m_timer = nullptr;
    int m_volume = -1;
    std::vector<std::int16_t> m_buffer;
};

std::unique_ptr<AudioOutput> AudioOutput::openDefault(int sampleRate)
{
    if (QCoreApplication::instance() == nullptr)
        return nullptr;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return nullptr;
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    return std::unique_ptr<AudioOutput>(new AudioOutput(device, format));
}

AudioOutput::AudioOutput(const QAudioDevice& device, const QAudioFormat& format)
    : m_maxQueuedSamples(static_cast<std::size_t>(format.sampleRate()) * kMaxQueuedMs / 1000)
{
    m_pump = new AudioPump(*this, device, format);
    m_pump->moveToThread(&m_thread);
    AudioPump* pump = m_pump;
    QObject::connect(&m_thread, &QThread::started, pump, [pump] { pump->start(); });
    QObject::connect(&m_thread, &QThread::finished, pump, [pump] { pump->stop(); }, Qt::DirectConnection);
    m_thread.setObjectName(QStringLiteral("MIVU audio"));
    m_thread.start();
}

AudioOutput::~AudioOutput()
{
    m_thread.quit();
    m_thread.wait();
    delete m_pump;
}

void AudioOutput::write(std::span<const std::int16_t> samples)
{
    std::lock_guard<std::mutex> lock(m_samplesLock);
    m_samples.insert(m_samples.end(), samples.begin(), samples.end());
    if (m_samples.size() > m_maxQueuedSamples)
        m_samples.erase(m_samples.begin(), m_samples.begin() + static_cast<std::ptrdiff_t>(m_samples.size() - m_maxQueuedSamples));
}

std::size_t AudioOutput::take(std::int16_t* out, std::size_t maxSamples)
{
    std::lock_guard<std::mutex> lock(m_samplesLock);
    const std::size_t count = std::min(maxSamples, m_samples.size());
    std::copy_n(m_samples.begin(), count, out);
    m_samples.erase(m_samples.begin(), m_samples.begin() + static_cast<std::ptrdiff_t>(count));
    return count;
}

}  // namespace mivu
