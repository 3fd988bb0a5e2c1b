// SPDX-License-Identifier: GPL-3.0-or-later
#include "MediaLibrary.h"

#include <system_error>

namespace velk::recorder {

MediaLibrary::MediaLibrary(unsigned encoderThreads) : m_canEncode(LoopEncoder::available())
{
    if (!m_canEncode)
        return;
    for (unsigned i = 0; i < std::max(encoderThreads, 1u); ++i) {
        try {
            m_threads.emplace_back([this] { runEncoder(); });
        } catch (const std::system_error&) {
            break;
        }
    }
}

MediaLibrary::~MediaLibrary()
{
    stop();
}

void MediaLibrary::stop()
{
    std::deque<Job> abandoned;
    {
        std::lock_guard lock(m_jobsLock);
        m_stopping = true;
        abandoned.swap(m_jobs);
    }
    m_jobsChanged.notify_all();
    for (auto& thread : m_threads)
        if (thread.joinable())
            thread.join();
    for (auto& job : abandoned)
        job.loop->markFailed();
}

OverlaySettings MediaLibrary::overlayOf(std::uint32_t channel) const
{
    const auto it = m_overlays.find(channel);
    return it != m_overlays.end() ? it->second : OverlaySettings::defaults(channel);
}

std::shared_ptr<const EncodedLoop> MediaLibrary::loop(std::uint32_t channel, std::uint32_t streamType)
{
    const auto profile = streamProfile(streamType);
    if (!profile || !m_canEncode || m_threads.empty())
        return nullptr;
    const Key key(channel, streamType);
    std::shared_ptr<EncodedLoop> loop;
    {
        std::lock_guard lock(m_jobsLock);
        Slot& slot = m_slots[key];
        if (slot.current)
            return slot.current;
        loop = std::make_shared<EncodedLoop>(channel, *profile, kLoopFrames);
        slot.current = loop;
        if (m_stopping) {
            loop->markFailed();
            return loop;
        }
        // A new loop goes first: a stream is waiting for its first picture.
        m_jobs.push_front(Job{key, loop, overlayOf(channel), false, nullptr});
    }
    m_jobsChanged.notify_one();
    return loop;
}

bool MediaLibrary::setOverlay(std::uint32_t channel, const OverlaySettings& overlay)
{
    bool started = false;
    {
        std::lock_guard lock(m_jobsLock);
        const OverlaySettings before = overlayOf(channel);
        m_overlays[channel] = overlay;
        if (before.masks == overlay.masks && before.osd == overlay.osd)
            return false;  // the pictures stay as they are
        if (m_stopping)
            return false;
        for (auto it = m_slots.lower_bound(Key(channel, 0)); it != m_slots.end() && it->first.first == channel; ++it) {
            Slot& slot = it->second;
            if (!slot.current)
                continue;
            if (slot.next) {
                slot.again = true;  // one more when this one is done, with the newest overlay
                continue;
            }
            startReplacement(it->first, slot);
            started = true;
        }
    }
    if (started)
        m_jobsChanged.notify_all();
    return true;
}

void MediaLibrary::startReplacement(const Key& key, Slot& slot)
{
    slot.again = false;
    slot.next = std::make_shared<EncodedLoop>(key.first, slot.current->profile(), slot.current->frameCount());
    // Behind the loops already in turn: streams waiting for a first picture
    // of another channel never wait for this one.
    m_jobs.push_back(Job{key, slot.next, overlayOf(key.first), true, nullptr});
}

void MediaLibrary::finishReplacement(const Key& key, const std::shared_ptr<EncodedLoop>& loop)
{
    const auto it = m_slots.find(key);
    if (it == m_slots.end() || it->second.next != loop)
        return;
    Slot& slot = it->second;
    if (loop->complete()) {
        slot.current = loop;
        ++slot.reencodes;
    }
    slot.next.reset();
    if (slot.again && !m_stopping) {
        startReplacement(key, slot);
        m_jobsChanged.notify_one();
    }
}

void MediaLibrary::runEncoder()
{
    std::unique_lock lock(m_jobsLock);
    for (;;) {
        m_jobsChanged.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_stopping)
            return;
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();

        // A new loop's first turn makes its first key picture only, so
        // that every stream just opened can start at once; later turns
        // make a few pictures each, round the loops being made.
        std::size_t count = kPicturesPerTurn;
        if (!job.encoder) {
            job.encoder = LoopEncoder::create(*job.loop, kKeyInterval, job.overlay);
            if (!job.encoder)
                job.loop->markFailed();
            count = 1;
        }
        bool more = job.encoder != nullptr;
        for (std::size_t i = 0; more && i < count; ++i)
            more = job.encoder->encodeNext(*job.loop);
        if (!more)
            job.encoder.reset();  // frees the encoder outside the lock

        lock.lock();
        if (more && !m_stopping)
            m_jobs.push_back(std::move(job));
        else if (more)
            job.loop->markFailed();
        else if (job.replacement)
            finishReplacement(job.key, job.loop);
    }
}

Json::Value MediaLibrary::status() const
{
    std::lock_guard lock(m_jobsLock);
    Json::Value loops(Json::arrayValue);
    for (const auto& [key, slot] : m_slots) {
        if (!slot.current)
            continue;
        const EncodedLoop& loop = *slot.current;
        Json::Value v(Json::objectValue);
        v["channel"] = key.first;
        v["streamType"] = key.second;
        v["ready"] = Json::UInt64(loop.readyCount());
        v["frames"] = Json::UInt64(loop.frameCount());
        v["bytes"] = Json::UInt64(loop.encodedBytes());
        v["failed"] = loop.failed();
        v["reencoding"] = slot.next != nullptr;
        v["reencodes"] = Json::UInt64(slot.reencodes);
        loops.append(v);
    }
    return loops;
}

}  // namespace velk::recorder
