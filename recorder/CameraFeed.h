// SPDX-License-Identifier: GPL-3.0-or-later
// The live picture of one channel's stream type taken from a real source (a
// camera or a video file), as the recorder's main thread sees it. A source
// thread reads and demuxes; it hands each access unit to its feed by posting
// to the I/O thread, so that everything here runs on that one thread and
// needs no lock, like the rest of the recorder's state.
//
// A feed keeps the access units since the last key frame, so a stream or a
// recording that starts now begins at a key frame without waiting for the
// next one, and tells its listeners (live streams, the recording scheduler)
// of every frame and every loss as they happen. Before the first key frame,
// and again after a loss until the next key frame, delta frames are dropped:
// nobody could decode them.
#pragma once

#include "proto/MediaFrame.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace velk::recorder {

struct CameraFormat {
    media::VideoCodec codec = media::VideoCodec::H264;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t frameRate = 0;  // nominal pictures a second, rounded; 0 when unknown

    bool operator==(const CameraFormat&) const = default;
};

// One access unit, Annex B in decoding order; a key frame starts with its
// parameter sets. The bytes are shared by everyone who keeps the frame.
struct CameraFrame {
    bool key = false;
    std::int64_t wallMs = 0;  // the recorder's wall clock (ms since 1970 UTC), increasing per feed
    std::shared_ptr<const std::vector<std::uint8_t>> annexB;
};

class CameraFeed;

// Called on the I/O thread, inside publish() and markLost(). A listener may
// add or remove listeners (itself included) from these calls; a listener
// removed during a call is not called afterwards.
class CameraFeedListener {
public:
    virtual ~CameraFeedListener() = default;
    // A frame to pass on. After a start or a loss the first one is a key
    // frame, and feed.format() may have changed at any key frame.
    virtual void onCameraFrame(const CameraFeed& feed, const CameraFrame& frame) = 0;
    // The source is gone; frames come again, from a key frame, when it is back.
    virtual void onCameraLost(const CameraFeed& feed) = 0;
};

class CameraFeed {
public:
    // Waiting: no picture yet since the recorder started (a stream opened
    // now simply waits); Live: pictures flow; Lost: the source went away or
    // could not be reached (a stream opened now hears so at once).
    enum class State { Waiting, Live, Lost };

    // The access units kept since the last key frame are bounded: past
    // either limit they are dropped and a new listener waits for the next
    // key frame (a camera with a very long key frame interval).
    static constexpr std::size_t kMaxKeptFrames = 600;
    static constexpr std::size_t kMaxKeptBytes = 32u << 20;

    struct Counters {
        std::uint64_t frames = 0;          // passed on to listeners
        std::uint64_t keyFrames = 0;
        std::uint64_t bytes = 0;
        std::uint64_t droppedBeforeKey = 0;  // delta frames with no key frame before them
        std::uint64_t losses = 0;
    };

    CameraFeed(std::uint32_t channel, std::uint32_t streamType);

    std::uint32_t channel() const { return m_channel; }
    std::uint32_t streamType() const { return m_streamType; }

    // A frame from the source, with the format its stream has now. A key
    // frame makes the feed live (and replaces the kept frames); a delta frame
    // is kept and passed on only while live.
    void publish(const CameraFormat& format, CameraFrame frame);
    // The source is gone (why, for the status); listeners hear it once per loss.
    void markLost(std::string reason);

    State state() const { return m_state; }
    // The format of the last key frame; all zero before the first.
    const CameraFormat& format() const { return m_format; }
    // The frames from the last key frame to the newest, oldest first; empty
    // unless live (or when the limits above dropped them).
    std::span<const CameraFrame> sinceKey() const { return m_sinceKey; }
    const std::string& lostReason() const { return m_lostReason; }
    const Counters& counters() const { return m_counters; }

    void addListener(CameraFeedListener* listener);
    void removeListener(CameraFeedListener* listener);
    std::size_t listenerCount() const { return m_listeners.size(); }

private:
    template <typename Call>
    void tellListeners(Call call);

    const std::uint32_t m_channel;
    const std::uint32_t m_streamType;
    State m_state = State::Waiting;
    CameraFormat m_format;
    std::vector<CameraFrame> m_sinceKey;
    std::size_t m_keptBytes = 0;
    std::string m_lostReason;
    Counters m_counters;
    std::vector<CameraFeedListener*> m_listeners;
};

// Every feed of the recorder, made at start from the --source options:
// channel C's main stream (type 0), its sub stream (type 1) when the source
// has a second address, and type 2, which shows the main stream's feed.
// I/O thread only.
class CameraFeeds {
public:
    // Makes the feeds of a channel taken from a source; hasSub: it has a sub stream.
    void addChannel(std::uint32_t channel, bool hasSub);

    // Whether the channel's pictures come from a source rather than the synthetic picture.
    bool hasChannel(std::uint32_t channel) const;
    // The feed a stream of this type shows; null for a channel without a
    // source and for a sub stream its source does not have.
    CameraFeed* find(std::uint32_t channel, std::uint32_t streamType);
    const CameraFeed* find(std::uint32_t channel, std::uint32_t streamType) const;
    // Every feed, by (channel, stream type 0 or 1).
    const std::map<std::pair<std::uint32_t, std::uint32_t>, std::unique_ptr<CameraFeed>>& all() const { return m_feeds; }
    bool empty() const { return m_feeds.empty(); }

private:
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::unique_ptr<CameraFeed>> m_feeds;
};

}  // namespace velk::recorder
