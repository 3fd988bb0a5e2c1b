// SPDX-License-Identifier: GPL-3.0-or-later
// One playback behind a play handle: the recordings of one or more
// channels from a start time, on one media connection, into one playback
// decoder with a sub-picture per channel (slot i = the i-th selected
// channel), and the stream callback.
//
// Frames go to the decoder on the I/O thread as they arrive. The decoder
// paces them; when its queue is full (MIVU_ERR_BUSY) the frame is held,
// the socket is no longer read (so TCP holds the recorder back) and the
// frame is offered again every 20 ms: playback frames are never dropped.
// A seek resets the decoder and drops the frames still on their way until
// the recorder's "seeked". Every 200 ms the decoder's shown frame time is
// read and, when its second changed, reported as FRAMEINFO.
//
// Callback types: 1 the first frame after the open and after each seek
// (the frame as data); 2 VIDEOPROPERTY (CHANNEL = slot) and FRAMEINFO
// texts; 3 the connection was lost or the device logged out (over); 4 kind
// 52 the recorder has nothing more to play (a seek may follow); 6 the
// recorder ended the playback with an error (over); 11 buffering (the
// recorder says so, or no frame came for 2 s while not held back and not
// at the end); 12 buffering over. An over playback waits for
// REMOTEPLAYSTOP; nothing reconnects.
#pragma once

#include "CallbackThread.h"
#include "Completion.h"
#include "DeviceConnection.h"
#include "DeviceListener.h"
#include "HandleObject.h"
#include "LibraryConfig.h"
#include "LiveStream.h"
#include "MediaConnection.h"

#include "TOVR.h"

#include <asio.hpp>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velk::tovr {

struct PlaybackParams {
    std::vector<std::uint32_t> channels;  // 0-based, ascending, distinct
    std::uint32_t fileType = 2;
    TOVR_StreamCallback callback = nullptr;
    void* userData = nullptr;
    std::string start;  // YYYYMMDDhhmmss, checked
};

class PlaybackStream : public HandleObject, public DeviceListener, public std::enable_shared_from_this<PlaybackStream> {
public:
    // How often the shown frame time is looked at.
    static constexpr std::chrono::milliseconds kFrameInfoPeriod{200};
    // No frame for this long (not held back, not at the end): buffering.
    static constexpr std::chrono::milliseconds kStarvedAfter{2000};
    // How soon a frame the decoder refused is offered again.
    static constexpr std::chrono::milliseconds kOfferAgainAfter{20};

    // decoder: a playback decoder with one sub-picture per channel.
    PlaybackStream(asio::io_context& io, const LibraryConfig& config, std::shared_ptr<CallbackThread> callbacks,
                   std::shared_ptr<DeviceConnection> device, PlaybackParams params, std::uint32_t decoder);
    ~PlaybackStream() override;

    // Opens the playback and waits (bounded) for the recorder's answer: 0,
    // or 5, 6, 7 (with the detail), 8. Caller's thread.
    CommandOutcome open();
    // Lets the callbacks run (they wait until REMOTEPLAY returns). Caller's thread.
    void releaseCallbacks();
    // Seeks and waits for the recorder's answer: 0, 7 (with the detail), 6
    // (the playback is over or the connection broke), 8. start is checked.
    // Caller's thread.
    CommandOutcome seek(const std::string& start);
    // Key frames only (fast play) or the whole stream again; not waited for.
    // Any thread.
    void setKeyFramesOnly(bool on);

    std::uint32_t decoder() const { return m_decoder; }
    StreamStatistics statistics() const;

    // Closes the connection and the decoder; no callback runs after this
    // returns (unless called from that callback). Any thread but the I/O thread.
    void shutdown() override;

    // DeviceListener; I/O thread.
    void onDeviceOnline() override {}
    void onDeviceLost() override;
    void onDeviceClosed(bool loggedOut) override;
    void onKeyFrameWanted(std::uint32_t, std::uint32_t) override {}

private:
    enum class State { Opening, Playing, Over, Closed };

    struct HeldFrame {
        int slot = 0;
        std::string payload;
    };

    // All of the following run on the I/O thread.
    void beginOpen();
    void onOpened(const std::shared_ptr<MediaConnection>& connection, const MediaOutcome& outcome);
    void onMedia(std::string payload);
    void onNotify(const proto::Message& notification);
    // Feeds the decoder; holds the frame and the socket when it is full.
    void deliver(int slot, std::string payload);
    void offerHeldFrame();
    void schedulePoll();
    void onPoll();
    void setBuffering(bool buffering);
    void seekOnIo(const std::string& start, const std::shared_ptr<Completion<CommandOutcome>>& done);
    // The playback is over: callback type with kind.
    void endPlayback(std::uint32_t type, std::uint32_t kind);
    void dropConnection();
    void closeOnIo();
    // Queues a callback; data (may be null) stays alive until it ran.
    void notify(std::uint32_t type, std::shared_ptr<const std::string> data, std::uint32_t kind);
    void notifyText(const std::string& text);

    asio::io_context& m_io;
    const LibraryConfig m_config;
    const std::shared_ptr<CallbackThread> m_callbacks;
    const std::shared_ptr<CallbackGate> m_gate = std::make_shared<CallbackGate>(true);
    const std::shared_ptr<DeviceConnection> m_device;
    const PlaybackParams m_params;
    const std::uint32_t m_decoder;
    std::atomic<bool> m_decoderClosed{false};

    const std::shared_ptr<Completion<CommandOutcome>> m_openDone = std::make_shared<Completion<CommandOutcome>>();

    // Counters: written on the I/O thread, read from any thread.
    std::atomic<std::uint64_t> m_frames{0};
    std::atomic<std::uint64_t> m_keyFrames{0};
    std::atomic<std::uint64_t> m_bytes{0};
    std::atomic<std::uint64_t> m_malformed{0};
    std::atomic<std::uint64_t> m_callbacksDropped{0};
    std::atomic<std::uint64_t> m_decoderRefused{0};  // offers answered MIVU_ERR_BUSY (held, not lost)

    // I/O thread only:
    State m_state = State::Opening;
    std::shared_ptr<MediaConnection> m_connection;
    std::array<int, 256> m_slotOf{};  // channel in the frame header -> slot, -1 for none
    std::int32_t m_utcOffsetS = 0;
    std::uint32_t m_seekId = 0;       // frames are dropped until "seeked" of this request
    bool m_firstDataSent = false;
    bool m_atEnd = false;
    bool m_buffering = false;
    std::optional<std::uint64_t> m_reportedSecond;  // of the last FRAMEINFO
    std::optional<HeldFrame> m_held;
    std::chrono::steady_clock::time_point m_lastFrameAt{};
    asio::steady_timer m_offerTimer;
    asio::steady_timer m_pollTimer;
};

}  // namespace velk::tovr
