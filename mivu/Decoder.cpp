// SPDX-License-Identifier: GPL-3.0-or-later
#include "mivu/Decoder.h"

#include "MIVUStream.h"

namespace mivu {

namespace {

constexpr std::int32_t kMaxSpeed = 64;
constexpr std::int32_t kMaxStepCount = 1000;

}  // namespace

Decoder::Decoder(StreamMode mode) : m_settings(mode) {}

Decoder::~Decoder()
{
    close();
}

std::shared_ptr<Decoder> Decoder::open(std::span<const platform::WindowHandle> targets, StreamMode mode)
{
    std::shared_ptr<Decoder> decoder(new Decoder(mode));
    decoder->m_subPictures.reserve(targets.size());
    decoder->m_settings.clock.setSlots(targets.size());
    for (const platform::WindowHandle target : targets) {
        const std::size_t slot = decoder->m_subPictures.size();
        decoder->m_subPictures.push_back(std::make_unique<SubPicture>(decoder->m_settings, target, slot));
    }
    for (const auto& subPicture : decoder->m_subPictures) {
        if (!subPicture->start())
            return nullptr;  // the destructor stops those already started
    }
    return decoder;
}

void Decoder::close()
{
    for (const auto& subPicture : m_subPictures)
        subPicture->stop();
}

bool Decoder::isOwnThread() const
{
    for (const auto& subPicture : m_subPictures) {
        if (subPicture->isOwnThread())
            return true;
    }
    return false;
}

SubPicture* Decoder::subPicture(std::int32_t index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_subPictures.size())
        return nullptr;
    return m_subPictures[static_cast<std::size_t>(index)].get();
}

void Decoder::wakeAll()
{
    for (const auto& subPicture : m_subPictures)
        subPicture->wake();
}

std::int32_t Decoder::setPaused(bool paused)
{
    m_settings.paused.store(paused);
    if (!paused) {
        for (const auto& subPicture : m_subPictures)
            subPicture->setStepCredits(0, false);
        // Going on from the picture shown last, not from where the clock
        // would be had it run through the pause.
        m_settings.clock.resume();
    }
    wakeAll();
    return MIVU_OK;
}

std::int32_t Decoder::setSpeed(std::int32_t speedCode)
{
    if (speedCode == 0 || speedCode > kMaxSpeed || speedCode < -kMaxSpeed)
        return MIVU_ERR_ARGUMENT;
    m_settings.speedCode.store(speedCode);
    m_settings.clock.setSpeed(speedCode);
    wakeAll();
    return MIVU_OK;
}

std::int32_t Decoder::playFrames(std::int32_t count)
{
    if (count < 1 || count > kMaxStepCount)
        return MIVU_ERR_ARGUMENT;
    m_settings.paused.store(true);
    for (const auto& subPicture : m_subPictures)
        subPicture->setStepCredits(count, true);
    wakeAll();
    return MIVU_OK;
}

void Decoder::reset()
{
    // Every sub-picture first discards what it holds (a picture waiting to
    // be shown is dropped, not shown), so that only pictures from after the
    // reset anchor the clock again.
    for (const auto& subPicture : m_subPictures)
        subPicture->reset();
    m_settings.clock.reset();
}

std::uint64_t Decoder::playbackTimeMs() const
{
    return m_settings.clock.shownFrameTimeMs();
}

}  // namespace mivu
