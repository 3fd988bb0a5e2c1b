// SPDX-License-Identifier: GPL-3.0-or-later
// One client connection of the device protocol. Its hello names its role:
// a control connection logs in (challenge-response), logs out and gets
// device notifications; a media connection opens one live stream of the
// login whose session token it presents and then carries that stream's
// frames (ClientSessionStream.cpp), or one playback of recorded frames
// (ClientSessionPlayback.cpp). Heartbeats both ways on either. Runs on
// the recorder's I/O thread.
#pragma once

#include "DownloadSender.h"
#include "PlaybackSender.h"
#include "StreamSender.h"

#include "proto/FrameDecoder.h"
#include "proto/Message.h"

#include <boost/asio.hpp>

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <vector>
#include <memory>
#include <string>

namespace velk::recorder {

class DeviceServer;

class ClientSession : public std::enable_shared_from_this<ClientSession>, public StreamSink {
public:
    ClientSession(boost::asio::ip::tcp::socket socket, DeviceServer& server);
    ~ClientSession() override;

    void start();
    // Closes the connection at once and leaves the server's list.
    void close();
    // Picks up reading and heartbeats after a freeze.
    void resume();
    bool loggedIn() const { return m_state == State::LoggedIn; }
    void sendDeviceNotification(std::uint32_t kind);
    void sendAlarmNotification(std::uint32_t channel, const char* kind, bool active);

    // The login's token (control connections; empty before login) and user.
    const std::string& sessionToken() const { return m_sessionToken; }
    const std::string& user() const { return m_user; }

    // Media connections: the open stream (null before it is opened and
    // after it ended), and the token of the login it belongs to.
    const StreamSender* stream() const { return m_state == State::Streaming ? m_sender.get() : nullptr; }
    const std::string& ownerToken() const { return m_ownerToken; }
    // Media connections: the open playback (null when there is none).
    const PlaybackSender* playback() const { return m_state == State::Playing ? m_playback.get() : nullptr; }
    // Media connections: the open download (null when there is none).
    const DownloadSender* download() const { return m_state == State::Downloading ? m_download.get() : nullptr; }
    // The open download fails once half of it is sent (sim fault).
    void failDownloadMidway();
    // The open download sends at most this many bytes a second (0: no limit).
    void paceDownload(std::uint64_t bytesPerSecond);
    // The recorder stops sending this playback for a while (sim fault).
    void stallPlayback(std::chrono::milliseconds duration);
    // Ends the stream with a streamError notification carrying code, then
    // closes the connection.
    void failStream(std::int32_t code);
    // The recorder changes the stream's type (announced to the client).
    void switchStreamFromRecorder(std::uint32_t streamType);
    void sendMalformedFrame(MalformedKind kind);

    // StreamSink
    void sendMessage(const proto::Message& message) override { send(message); }
    void sendMediaFrame(std::string frame) override { sendFrame(std::move(frame)); }
    std::size_t unsentBytes() const override { return m_queuedBytes; }
    bool frozen() const override;

private:
    enum class State { AwaitHello, AwaitLogin, LoggedIn, AwaitOpen, Streaming, Playing, Downloading, Closing, Closed };
    using Clock = std::chrono::steady_clock;

    void startRead();
    void onRead(const boost::system::error_code& error, std::size_t bytes);
    // Handles buffered frames; false when the session ended meanwhile.
    bool processFrames();
    void handleMessage(const proto::Message& message);
    void handleHello(const proto::Message& message);
    void handleRequest(const proto::Message& message);
    void handleLogin(const proto::Message& message);
    // Media connections (ClientSessionStream.cpp).
    void handleStreamRequest(const proto::Message& message);
    void handleOpenStream(const proto::Message& message);
    void handleSwitchStream(const proto::Message& message);
    void stopStream();
    // Playback on a media connection (ClientSessionPlayback.cpp).
    void handlePlaybackRequest(const proto::Message& message);
    void handleOpenPlayback(const proto::Message& message);
    // Clip downloads on a media connection (ClientSessionDownload.cpp).
    void handleOpenDownload(const proto::Message& message);
    void send(const proto::Message& message);
    void sendFrame(std::string frame);
    void writeNext();
    // Sends what is queued, then closes.
    void closeAfterWrites();
    void startHeartbeat();
    void onHeartbeatTick();
    // A connection must log in (control) or open its stream (media) within
    // the handshake time of its start (or of the end of a freeze).
    void startHandshakeTimer();
    bool handshakeDone() const
    {
        return m_state == State::LoggedIn || m_state == State::Streaming || m_state == State::Playing ||
               m_state == State::Downloading;
    }

    boost::asio::ip::tcp::socket m_socket;
    DeviceServer& m_server;
    boost::asio::steady_timer m_heartbeatTimer;
    boost::asio::steady_timer m_handshakeTimer;
    State m_state = State::AwaitHello;
    proto::FrameDecoder m_decoder;
    std::array<char, 16 * 1024> m_readBuffer{};
    bool m_reading = false;   // a read is in flight
    bool m_paused = false;    // reading stopped because the recorder is frozen
    std::deque<std::string> m_writeQueue;
    // The front frames of m_writeQueue being written now (left alone until
    // the write completes; deque growth at the back keeps them in place).
    std::vector<boost::asio::const_buffer> m_gathered;
    std::size_t m_queuedBytes = 0;
    bool m_writing = false;
    Clock::time_point m_lastReceived;
    std::string m_nonce;
    std::string m_user;
    std::string m_sessionToken;
    bool m_media = false;                    // the hello's role was media
    std::string m_ownerToken;                // media: the login the stream belongs to
    std::shared_ptr<StreamSender> m_sender;  // media: the open stream
    std::shared_ptr<PlaybackSender> m_playback;  // media: the open playback
    std::shared_ptr<DownloadSender> m_download;  // media: the open download
};

}  // namespace velk::recorder
