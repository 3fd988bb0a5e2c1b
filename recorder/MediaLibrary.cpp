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

std::shared_ptr<const EncodedLoop> MediaLibrary::loop(std::uint32_t channel, std::uint32_t streamType)
{
    const auto profile = streamProfile(streamType);
    if (!profile || !m_canEncode || m_threads.empty())
        return nullptr;
    const auto key = std::make_pair(channel, streamType);
    if (const auto it = m_loops.find(key); it != m_loops.end())
        return it->second;
    auto loop = std::make_shared<EncodedLoop>(channel, *profile, kLoopFrames);
    m_loops.emplace(key, loop);
    {
        std::lock_guard lock(m_jobsLock);
        if (m_stopping) {
            loop->markFailed();
            return loop;
        }
        // A new loop goes first: a stream is waiting for its first picture.
        m_jobs.push_front(Job{loop, nullptr});
    }
    m_jobsChanged.notify_one();
    return loop;
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
            job.encoder = LoopEncoder::create(*job.loop, kKeyInterval);
            if (!job.encoder)
                job.loop->markFailed();
            count = 1;
        }
        bool more = job.encoder != nullptr;
        for (std::size_t i = 0; more && i < count; ++i)
            more = job.encoder->encodeNext(*job.loop);
        if (!more)
            job = Job{};  // frees the encoder outside the lock

        lock.lock();
        if (more && !m_stopping)
            m_jobs.push_back(std::move(job));
        else if (more)
            job.loop->markFailed();
    }
}

Json::Value MediaLibrary::status() const
{
    Json::Value loops(Json::arrayValue);
    for (const auto& [key, loop] : m_loops) {
        Json::Value v(Json::objectValue);
        v["channel"] = key.first;
        v["streamType"] = key.second;
        v["ready"] = Json::UInt64(loop->readyCount());
        v["frames"] = Json::UInt64(loop->frameCount());
        v["bytes"] = Json::UInt64(loop->encodedBytes());
        v["failed"] = loop->failed();
        loops.append(v);
    }
    return loops;
}

}  // namespace velk::recorder
