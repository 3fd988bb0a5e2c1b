// SPDX-License-Identifier: GPL-3.0-or-later
// One live stream behind a play handle: its media connection to the
// recorder, the decoder it feeds when it was opened on a window, and the
// stream callback. Frames go to the decoder on the I/O thread as they
// arrive and to the callback (type 1) on the stream's callback thread.
// A malformed container frame is dropped and counted.
//
// When the media connection is lost (closed, heartbeats stopped, or the
// device's control connection lost) the callback gets type 6 and the
// stream reconnects by itself: at once when the device is back, else after
// 100 ms and then twice as long each time up to 1 s; data then flows again,
// starting with a key frame. When it is not back within the offline time
// (TOVR_STREAM_OFFLINE_MS), the callback gets type 3 once and the stream is
// over; so it is after type 4 (the recorder ended or refused the stream).
// An over stream waits for REALPLAYSTOP.
//
// When the recorder says the channel's source is gone (sourceLost: a camera
// off the network) the callback gets type 6 once for that loss, while the
// stream and its connection stay open. No offline timer runs for it: the
// recorder is there, and a camera may take a minute to come back. Data
// flows again after the recorder's next videoProperty (type 2), starting
// with a key frame; frames before it are dropped.
#pragma once

#include "CallbackThread.h"
#include "Completion.h"
#include "DeviceConnection.h"
#include "DeviceListener.h"
#include "HandleObject.h"
#include "LibraryConfig.h"
#include "MediaConnection.h"
#include "StreamReconnect.h"

#include "TOVR.h"

#include <asio.hpp>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace velk::tovr {

struct StreamParams {
    std::uint32_t channel = 0;
    std::uint32_t streamType = 0;
    TOVR_StreamCallback callback = nullptr;
    void* userData = nullptr;
    std::uint32_t window = 0;  // the window to render into; 0 = none
};

struct StreamStatistics {
    std::uint64_t frames = 0;  // container frames received intact (video and sound)
    std::uint64_t keyFrames = 0;
    std::uint64_t audioFrames = 0;
    std::uint64_t bytes = 0;
    std::uint64_t malformed = 0;         // frames dropped because the container was broken
    std::uint64_t reconnects = 0;        // times the stream came back after a loss
    std::uint64_t sourceLosses = 0;      // times the recorder said the channel's source was gone
    std::uint64_t callbacksDropped = 0;  // the callback thread's queue was full
    std::uint64_t decoderRefused = 0;    // frames the decoder did not take
};

class LiveStream : public HandleObject, public DeviceListener, public std::enable_shared_from_this<LiveStream> {
public:
    LiveStream(asio::io_context& io, const LibraryConfig& config, std::shared_ptr<CallbackThread> callbacks,
               std::shared_ptr<DeviceConnection> device, StreamParams params, std::uint32_t decoder);
    ~LiveStream() override;

    // Opens the stream and waits (bounded) for the recorder's answer: 0 when
    // it plays, or when the recorder said the sub stream is not encoded
    // (reported as callback type 4 kind 28); else 5, 6, 7 (with the
    // detail), 8. Caller's thread.
    CommandOutcome open();
    // Lets the stream's callbacks run (they wait until REALPLAY returns).
    // Caller's thread.
    void releaseCallbacks();
    // Asks the recorder for another stream type and waits for its answer:
    // 0, 7 (with the detail), 6 (the stream is over), 8. While the stream
    // reconnects, the type is kept for the reconnect and 0 returned.
    // Caller's thread.
    CommandOutcome switchStreamType(std::uint32_t streamType);

    std::uint32_t decoder() const { return m_decoder; }
    std::uint32_t streamType() const { return m_streamType.load(); }
    StreamStatistics statistics() const;

    // Closes the media connection and the decoder; no callback runs after
    // this returns (unless called from that callback). Any thread but the
    // I/O thread.
    void shutdown() override;

    // DeviceListener; I/O thread.
    void onDeviceOnline() override;
    void onDeviceLost() override;
    void onDeviceClosed(bool loggedOut) override;
    void onKeyFrameWanted(std::uint32_t channelMask, std::uint32_t streamType) override;

private:
    enum class State { Opening, Playing, Reconnecting, Over, Closed };

    // All of the following run on the I/O thread.
    void beginOpen();
    void beginAttempt();
    void onAttemptDone(const std::shared_ptr<MediaConnection>& connection, const MediaOutcome& outcome);
    void adopt(std::shared_ptr<MediaConnection> connection);
    void onMedia(std::string payload);
    void onNotify(const proto::Message& notification);
    void onConnectionLost();
    void enterReconnecting();
    void scheduleRetry(std::chrono::milliseconds delay);
    // The stream is over: callback type (3 or 4) with kind.
    void endStream(std::uint32_t type, std::uint32_t kind);
    enum class KeepOfflineTimer { No, Yes };
    void dropConnections(KeepOfflineTimer keepOfflineTimer = KeepOfflineTimer::No);
    void closeOnIo();
    void switchOnIo(std::uint32_t streamType, const std::shared_ptr<Completion<CommandOutcome>>& done);
    // Queues a callback; data (may be null) stays alive until it ran.
    void notify(std::uint32_t type, std::shared_ptr<const std::string> data, std::uint32_t kind);

    asio::io_context& m_io;
    const LibraryConfig m_config;
    const std::shared_ptr<CallbackThread> m_callbacks;
    const std::shared_ptr<CallbackGate> m_gate = std::make_shared<CallbackGate>(true);
    const std::shared_ptr<DeviceConnection> m_device;
    const std::uint32_t m_channel;
    const TOVR_StreamCallback m_callback;
    void* const m_userData;
    const std::uint32_t m_decoder;
    std::atomic<bool> m_decoderClosed{false};
    std::atomic<std::uint32_t> m_streamType;

    const std::shared_ptr<Completion<CommandOutcome>> m_openDone = std::make_shared<Completion<CommandOutcome>>();

    // Counters: written on the I/O thread, read from any thread.
    std::atomic<std::uint64_t> m_frames{0};
    std::atomic<std::uint64_t> m_keyFrames{0};
    std::atomic<std::uint64_t> m_audioFrames{0};
    std::atomic<std::uint64_t> m_bytes{0};
    std::atomic<std::uint64_t> m_malformed{0};
    std::atomic<std::uint64_t> m_reconnects{0};
    std::atomic<std::uint64_t> m_sourceLosses{0};
    std::atomic<std::uint64_t> m_callbacksDropped{0};
    std::atomic<std::uint64_t> m_decoderRefused{0};

    // I/O thread only:
    State m_state = State::Opening;
    bool m_sourceLost = false;  // since sourceLost, until the next videoProperty
    std::shared_ptr<MediaConnection> m_connection;  // the open stream
    std::shared_ptr<MediaConnection> m_attempt;     // an open in progress
    StreamReconnect m_reconnect;
    asio::steady_timer m_retryTimer;
    asio::steady_timer m_offlineTimer;
};

}  // namespace velk::tovr
