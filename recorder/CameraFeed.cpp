// SPDX-License-Identifier: GPL-3.0-or-later
#include "CameraFeed.h"

#include <algorithm>

namespace velk::recorder {

CameraFeed::CameraFeed(std::uint32_t channel, std::uint32_t streamType) : m_channel(channel), m_streamType(streamType) {}

template <typename Call>
void CameraFeed::tellListeners(Call call) {
    // A copy, so listeners may come and go from inside their calls; one that
    // went is skipped.
    const std::vector<CameraFeedListener*> listeners = m_listeners;
    for (CameraFeedListener* listener : listeners) {
        if (std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end()) call(*listener);
    }
}

void CameraFeed::publish(const CameraFormat& format, CameraFrame frame) {
    if (!frame.annexB || frame.annexB->empty()) return;
    const std::size_t size = frame.annexB->size();
    if (frame.key) {
        m_state = State::Live;
        m_format = format;
        m_sinceKey.clear();
        m_keptBytes = 0;
        ++m_counters.keyFrames;
    } else if (m_state != State::Live) {
        ++m_counters.droppedBeforeKey;
        return;
    }
    ++m_counters.frames;
    m_counters.bytes += size;
    // Kept while within the limits; once over, nothing more is kept until
    // the next key frame (a partial run from a key frame would be useless
    // without its beginning, so it is all dropped).
    if (!m_sinceKey.empty() || frame.key) {
        if (m_sinceKey.size() < kMaxKeptFrames && m_keptBytes + size <= kMaxKeptBytes) {
            m_sinceKey.push_back(frame);
            m_keptBytes += size;
        } else {
            m_sinceKey.clear();
            m_sinceKey.shrink_to_fit();
            m_keptBytes = 0;
        }
    }
    tellListeners([&](CameraFeedListener& listener) { listener.onCameraFrame(*this, frame); });
}

void CameraFeed::markLost(std::string reason) {
    m_lostReason = std::move(reason);
    if (m_state == State::Lost) return;
    const bool wasLive = m_state == State::Live;
    m_state = State::Lost;
    m_sinceKey.clear();
    m_keptBytes = 0;
    ++m_counters.losses;
    // A source that never delivered a picture was not lost by anyone
    // watching; its streams already wait.
    if (wasLive) tellListeners([&](CameraFeedListener& listener) { listener.onCameraLost(*this); });
}

void CameraFeed::addListener(CameraFeedListener* listener) {
    if (listener && std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void CameraFeed::removeListener(CameraFeedListener* listener) {
    std::erase(m_listeners, listener);
}

void CameraFeeds::addChannel(std::uint32_t channel, bool hasSub) {
    m_feeds.try_emplace({channel, 0}, std::make_unique<CameraFeed>(channel, 0));
    if (hasSub) m_feeds.try_emplace({channel, 1}, std::make_unique<CameraFeed>(channel, 1));
}

bool CameraFeeds::hasChannel(std::uint32_t channel) const {
    return m_feeds.contains({channel, 0});
}

CameraFeed* CameraFeeds::find(std::uint32_t channel, std::uint32_t streamType) {
    return const_cast<CameraFeed*>(std::as_const(*this).find(channel, streamType));
}

const CameraFeed* CameraFeeds::find(std::uint32_t channel, std::uint32_t streamType) const {
    if (streamType == 2) streamType = 0;
    const auto it = m_feeds.find({channel, streamType});
    return it == m_feeds.end() ? nullptr : it->second.get();
}

}  // namespace velk::recorder
