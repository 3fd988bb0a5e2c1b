// SPDX-License-Identifier: GPL-3.0-or-later
// The media connection of one live stream or playback: connect (within the
// connect timeout), hello with the role "media", open the stream or the
// playback with the login's session token (hello and open together within
// the request timeout); afterwards media frames, notifications, requests
// (type switches, key frames, seeks), and heartbeats both ways. Runs on the
// I/O thread.
#pragma once

#include "LibraryConfig.h"
#include "MessageConnection.h"

#include "proto/StreamMessages.h"

#include <asio.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace velk::tovr {

struct MediaOutcome {
    int result = 0;            // TOVR result
    std::uint32_t detail = 0;  // the recorder's detail code when result is 7
    Json::Value body;          // the open request's result, on success
};

class MediaConnection : public std::enable_shared_from_this<MediaConnection> {
public:
    using OpenHandler = std::function<void(MediaOutcome)>;
    using ReplyHandler = std::function<void(int result, std::uint32_t detail)>;
    using LateHandler = std::function<void()>;

    MediaConnection(asio::io_context& io, const LibraryConfig& config);

    // I/O thread. Opens with the request method (openStream, openPlayback)
    // and its params. done is called exactly once (also after close()). On
    // success the frames follow at once: set the handlers in done.
    void open(const std::string& host, std::uint16_t port, std::string method, Json::Value params, OpenHandler done);

    // I/O thread, before open(). The open request then waits for its
    // answer for as long as the connection lives (a recorder that is slow
    // to start a download) instead of failing with 8 at the end of the
    // exchange's time; late is called once, at that time, when the hello
    // was answered but the open request was not yet. Heartbeats keep the
    // connection checked meanwhile.
    void waitPastExchange(LateHandler late) { m_onLate = std::move(late); }

    // I/O thread. Handlers of the open stream; none is called after close().
    void setHandlers(MessageConnection::MediaHandler onMedia, MessageConnection::NotifyHandler onNotify,
                     MessageConnection::LostHandler onLost);
    // I/O thread. Media frames in runs instead of one by one (see
    // MessageConnection::setMediaRunHandler).
    void setMediaRunHandler(MessageConnection::MediaRunHandler onMediaRun)
    {
        m_connection->setMediaRunHandler(std::move(onMediaRun));
    }
    // I/O thread. Asks for another stream type; done gets 0, 7 with the
    // recorder's detail, 6 or 8.
    void switchStreamType(std::uint32_t streamType, ReplyHandler done);
    // I/O thread. Asks for a key frame now; the answer is not waited for.
    void requestKeyFrame();
    // I/O thread. Any request of the open stream; done gets 0, 7 with the
    // recorder's detail, 6 or 8. Returns the request's id.
    std::uint32_t request(const std::string& method, const Json::Value& params, ReplyHandler done);
    // I/O thread. See MessageConnection::holdReading.
    void holdReading() { m_connection->holdReading(); }
    void resumeReading() { m_connection->resumeReading(); }
    // I/O thread. Closes quietly.
    void close();

private:
    void onConnected(int result);
    void onHello(int result, const proto::Message& reply);
    void onOpened(int result, const proto::Message& reply);
    void finish(MediaOutcome outcome);
    std::chrono::milliseconds exchangeTimeLeft() const;

    const LibraryConfig m_config;
    const std::shared_ptr<MessageConnection> m_connection;
    std::string m_method;
    Json::Value m_params;
    OpenHandler m_done;
    std::chrono::steady_clock::time_point m_exchangeDeadline;
    LateHandler m_onLate;
    asio::steady_timer m_lateTimer;
};

}  // namespace velk::tovr
