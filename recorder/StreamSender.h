// SPDX-License-Identifier: GPL-3.0-or-later
// One open live stream on a media connection: plays its channel's encoded
// loop of the current stream type round and round, one picture every 40 ms
// with a piece of sound, each in a container frame with its own wall-clock
// time item. A stream starts with a key picture at once (the loop's key
// picture nearest before the position the wall clock gives, so all streams
// of a channel show about the same picture); a key frame request jumps to
// the next key picture (or back to the last one, while the loop is not
// encoded that far yet) and sends it at once; a type switch starts the new
// type's loop the same way. A client that falls behind (its unsent bytes
// pile up) gets no frames until it has caught up, then a key picture. When
// the channel's loop was encoded again (its overlay changed), the stream
// moves to the new loop at its next key picture. Runs on the recorder's I/O
// thread.
//
// A camera channel's stream (one taken from a real source, CameraFeed.h)
// is not ticked: its feed pushes each frame as the source delivers it, and
// the stream passes it on unchanged with the frame's own time. It starts
// with the frames the feed kept since its last key frame; a loss is told
// to the client (sourceLost) and the stream goes on at the next key frame
// once the source is back, with its format announced again. A camera
// cannot make a key frame on request: the stream goes on at its next one.
// No sound.
#pragma once

#include "CameraFeed.h"
#include "EncodedLoop.h"
#include "MediaLibrary.h"

#include "proto/Message.h"
#include "proto/StreamMessages.h"

#include <boost/asio.hpp>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace velk::recorder {

// Where a stream's frames and messages go: its media connection.
class StreamSink {
public:
    virtual ~StreamSink() = default;
    virtual void sendMessage(const proto::Message& message) = 0;
    virtual void sendMediaFrame(std::string frame) = 0;
    virtual std::size_t unsentBytes() const = 0;
    virtual bool frozen() const = 0;
};

// Ways /sim/garbage spoils a container frame.
enum class MalformedKind { Truncated, BadMagic, BadItems };

struct StreamCounters {
    std::uint64_t videoFrames = 0;
    std::uint64_t keyFrames = 0;
    std::uint64_t audioFrames = 0;
    std::uint64_t bytes = 0;
    std::uint64_t skippedTicks = 0;  // nothing sent: client behind, or picture not encoded yet
    std::uint64_t malformed = 0;
    std::uint64_t loopsAdopted = 0;  // newer loops of the channel moved to (overlay changes)
    std::uint64_t sourceLosses = 0;  // camera channels: losses told to the client
};

// The picture format of a stream type of a synthetic channel, as the
// protocol describes it (zero sizes for an unknown type).
proto::StreamInfo streamInfo(std::uint32_t channel, std::uint32_t streamType);

// The format of a stream type of any channel, with its codec: a camera
// channel's from its feed (the last key frame's; 0 x 0 before the first),
// a synthetic one's from its profile (H.264). proto::toJson of it is the
// answer of openStream and switchStream, and videoProperty's params.
proto::StreamInfo streamFormat(const CameraFeeds& cameras, std::uint32_t channel, std::uint32_t streamType);

class StreamSender : public std::enable_shared_from_this<StreamSender>, public CameraFeedListener {
public:
    StreamSender(boost::asio::any_io_executor executor, MediaLibrary& media, CameraFeeds& cameras, StreamSink& sink,
                 std::uint32_t channel, std::uint32_t streamType);
    ~StreamSender() override;

    // Sends the video property and the first key picture, then keeps going.
    void start();
    // Changes the stream type: video property and key picture of the new
    // type at once. With announce, a streamType notification goes first
    // (the recorder changed it, not the client).
    void switchType(std::uint32_t streamType, bool announce);
    // The next picture sent is a key picture, and it is sent now.
    void requestKeyFrame();
    // Sends one spoilt frame (for fault tests).
    void sendMalformed(MalformedKind kind);
    // Ends the stream: no more frames; the sink is not touched again.
    void stop();

    std::uint32_t channel() const { return m_channel; }
    std::uint32_t streamType() const { return m_streamType; }
    const StreamCounters& counters() const { return m_counters; }
    // The stream's picture format as the protocol describes it.
    proto::StreamInfo info() const;
    // Whether the channel is a camera's (its frames come from a feed).
    bool camera() const { return m_camera; }

    // CameraFeedListener: the stream's feed, on the I/O thread.
    void onCameraFrame(const CameraFeed& feed, const CameraFrame& frame) override;
    void onCameraLost(const CameraFeed& feed) override;

private:
    using Clock = std::chrono::steady_clock;

    // Camera channels: joins the feed of the current type and sends what it
    // has (format, kept frames, or the loss); leaves it.
    void joinFeed();
    void leaveFeed();
    // Sends one frame of the feed, unless the client is behind or a key
    // frame is needed first; true when it was sent.
    bool sendCameraFrame(const CameraFrame& frame);
    void sendSourceLost();

    void restartLoop();
    void sendVideoProperty();
    // Sends the key picture at m_position now if it is encoded, else waits
    // for it; then continues on schedule.
    void sendKeyNow();
    void scheduleTick(Clock::time_point due);
    void onTick();
    // Sends the picture at m_position (a key picture when one is needed)
    // and the sound piece of this tick; false when that picture is not
    // encoded yet.
    bool sendCurrent();
    // At a key picture: moves to the channel's newer loop when there is one
    // (its overlay changed), at the same position.
    void adoptNewerLoop();
    std::vector<std::uint8_t> buildVideoFrame(const EncodedPicture& picture);
    void sendContainer(const std::vector<std::uint8_t>& frame);

    boost::asio::steady_timer m_timer;
    std::uint64_t m_tickGeneration = 0;  // a tick scheduled under an older value is stale
    MediaLibrary& m_media;
    CameraFeeds& m_cameras;
    StreamSink* m_sink;  // null once stopped
    const std::uint32_t m_channel;
    std::uint32_t m_streamType;
    const bool m_camera;         // the channel's frames come from a camera feed
    CameraFeed* m_feed = nullptr;  // camera channels: the feed listened to; null when none
    // Camera channels: the format the client was last told; none after a
    // loss (told again before the next key frame).
    std::optional<CameraFormat> m_announced;
    std::size_t m_largestKeyBytes = 0;  // camera channels: the biggest key frame sent
    std::shared_ptr<const EncodedLoop> m_loop;
    std::size_t m_position = 0;      // next picture of the loop to send
    std::size_t m_audioPiece = 0;
    std::uint16_t m_sequence = 0;
    bool m_needKey = true;           // the next picture sent must be a key picture
    Clock::time_point m_nextDue;
    StreamCounters m_counters;
};

}  // namespace velk::recorder
