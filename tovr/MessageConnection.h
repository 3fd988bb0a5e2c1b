// SPDX-License-Identifier: GPL-3.0-or-later
// One framed TCP connection to a recorder: resolve and connect within a
// deadline, a read loop that reassembles frames, a write queue, heartbeats
// both ways, and requests matched to their responses by id. Used for the
// control connection of a login and for every media connection.
//
// Everything here runs on the library's I/O thread, including every
// handler it calls. Results passed to handlers are TOVR results: 0, 5 (not
// reachable), 6 (broken), 8 (no answer in time).
#pragma once

#include "LibraryConfig.h"

#include "proto/FrameDecoder.h"
#include "proto/Message.h"

#include <asio.hpp>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velk::tovr {

class MessageConnection : public std::enable_shared_from_this<MessageConnection> {
public:
    using ConnectHandler = std::function<void(int result)>;
    using ReplyHandler = std::function<void(int result, const proto::Message& reply)>;
    using NotifyHandler = std::function<void(const proto::Message& notification)>;
    using LostHandler = std::function<void(int result)>;
    using MediaHandler = std::function<void(std::string payload)>;
    // A run of media frames read together: their payloads in place in the
    // read buffer, valid only during the call.
    using MediaRunHandler = std::function<void(std::span<const std::string_view> payloads)>;

    MessageConnection(asio::io_context& io, const LibraryConfig& config, std::uint32_t maxPayloadBytes);
    ~MessageConnection();

    // I/O thread. Calls done once with 0, or 5 when the recorder could not
    // be reached within the connect timeout. Heartbeats start on success.
    void connect(const std::string& host, std::uint16_t port, ConnectHandler done);

    // I/O thread. Sends the hello; done gets the recorder's hello.
    void hello(const proto::Message& hello, std::chrono::milliseconds timeout, ReplyHandler done);
    // I/O thread. Sends a request; done gets its response. Returns the
    // request's id.
    std::uint32_t request(const std::string& method, const Json::Value& params, std::chrono::milliseconds timeout,
                          ReplyHandler done);

    // I/O thread. Handlers for notifications and for a loss of the open
    // connection (broken: 6; heartbeats stopped: 8). Not called after close().
    void setNotifyHandler(NotifyHandler handler) { m_onNotify = std::move(handler); }
    void setLostHandler(LostHandler handler) { m_onLost = std::move(handler); }
    // I/O thread. Handler for media frames (their payload); without one
    // they are ignored. Not called after close().
    void setMediaHandler(MediaHandler handler) { m_onMedia = std::move(handler); }
    // I/O thread. Instead of the media handler: media frames are handed on
    // in runs, without a copy each (a download's many small frames). A hold
    // from within takes effect after the run.
    void setMediaRunHandler(MediaRunHandler handler) { m_onMediaRun = std::move(handler); }
    // I/O thread. The silence after which the recorder counts as lost.
    void setHeartbeatTimeout(std::chrono::milliseconds timeout) { m_heartbeatTimeout = timeout; }

    // I/O thread. Holding stops reading the socket (so the recorder's
    // sending is held back by TCP) and stops handing on what was already
    // read, from the next frame on; it can be called from a handler. While
    // held, the recorder's silence does not count as a loss. Resuming goes
    // on with what was read, then reads again.
    void holdReading() { m_readHeld = true; }
    void resumeReading();
    bool readingHeld() const { return m_readHeld; }

    // I/O thread. Closes quietly: pending requests get 6, no lost handler.
    void close();
    bool isOpen() const { return m_open; }

private:
    using Clock = std::chrono::steady_clock;

    struct Pending {
        ReplyHandler done;
        std::shared_ptr<asio::steady_timer> timer;
    };

    void finishConnect(int result);
    void startRead();
    void onRead(const asio::error_code& error, std::size_t bytes);
    // Hands on the frames read so far, then reads on unless held.
    void processReceived();
    // Hands on the media frames gathered in m_run; false when the
    // connection closed meanwhile.
    bool handOnRun();
    void dispatch(proto::Message message);
    void send(std::string frame);
    void writeNext();
    void startHeartbeat();
    void onHeartbeatTick();
    void sendPending(std::uint32_t key, const proto::Message& message, std::chrono::milliseconds timeout,
                     ReplyHandler done);
    void completePending(std::uint32_t key, int result, const proto::Message& reply);
    // Ends the connection; reports a loss when lost is set.
    void fail(int result, bool lost);

    // The key under which the hello waits for its answer (request ids start at 1).
    static constexpr std::uint32_t kHelloKey = 0;

    asio::io_context& m_io;
    const LibraryConfig m_config;
    asio::ip::tcp::resolver m_resolver;
    asio::ip::tcp::socket m_socket;
    asio::steady_timer m_connectTimer;
    asio::steady_timer m_heartbeatTimer;
    ConnectHandler m_connectDone;
    bool m_connectTimedOut = false;
    bool m_open = false;
    bool m_closed = false;
    proto::FrameDecoder m_decoder;
    // Reads go straight into the decoder's buffer, this much at a time: a
    // download brings many small frames at once.
    static constexpr std::size_t kReadBytes = 256 * 1024;
    std::vector<std::string_view> m_run;  // media frames read, not yet handed on (run handler only)
    bool m_readPending = false;  // an async read is outstanding
    bool m_readHeld = false;
    std::deque<std::string> m_writeQueue;
    std::size_t m_queuedBytes = 0;
    bool m_writing = false;
    std::map<std::uint32_t, Pending> m_pending;
    std::uint32_t m_nextRequestId = 1;
    Clock::time_point m_lastReceived;
    Clock::time_point m_lastHeartbeatSent;
    std::chrono::milliseconds m_heartbeatTimeout;
    NotifyHandler m_onNotify;
    LostHandler m_onLost;
    MediaHandler m_onMedia;
    MediaRunHandler m_onMediaRun;
};

}  // namespace velk::tovr
