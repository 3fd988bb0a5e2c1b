// SPDX-License-Identifier: GPL-3.0-or-later
#include "mivu/SoundOutput.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace mivu {

namespace {

constexpr int kSampleRate = 8000;  // G.711

}  // namespace

void SoundOutput::setOn(bool on)
{
    m_on.store(on);
    if (!on) {
        closeOutput();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_outputLock);
        if (m_output)
            return;
    }
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr)
        return;  // no Qt application: no audio output, the switch is kept
    if (QThread::currentThread() == application->thread()) {
        openOutput();
        return;
    }
    if (m_openQueued.exchange(true))
        return;
    QMetaObject::invokeMethod(
        application,
        [weak = weak_from_this()] {
            if (const auto self = weak.lock()) {
                self->m_openQueued.store(false);
                self->openOutput();
            }
        },
        Qt::QueuedConnection);
}

void SoundOutput::openOutput()
{
    if (!m_on.load())
        return;
    {
        std::lock_guard<std::mutex> lock(m_outputLock);
        if (m_output)
            return;
    }
    // Asking for the devices may take a few ms: not under the lock.
    std::unique_ptr<AudioOutput> opened = AudioOutput::openDefault(kSampleRate);
    // Switched off or opened elsewhere meanwhile: `opened` is let go after
    // the lock is left.
    std::lock_guard<std::mutex> lock(m_outputLock);
    if (!m_output && m_on.load())
        m_output = std::move(opened);
}

void SoundOutput::play(std::span<const std::int16_t> samples)
{
    if (!m_on.load())
        return;
    std::lock_guard<std::mutex> lock(m_outputLock);
    if (m_output)
        m_output->write(samples);
}

void SoundOutput::closeOutput()
{
    std::unique_ptr<AudioOutput> output;  // stopped after the lock is left
    std::lock_guard<std::mutex> lock(m_outputLock);
    output = std::move(m_output);
}

}  // namespace mivu
