// SPDX-License-Identifier: GPL-3.0-or-later
// The device-protocol listener and its client sessions (control and media
// connections), with the faults the simulator can inject: dropping every
// connection, freezing (sessions stay open but nothing is read, answered
// or sent, as if the recorder hung), and changes to live streams (denying a
// channel, switching a channel's sub stream off, changing a stream's type,
// a malformed frame). Runs on the recorder's I/O thread.
#pragma once

#include "CameraFeed.h"
#include "ChannelPolicy.h"
#include "MediaLibrary.h"
#include "RecordingCatalog.h"
#include "StreamSender.h"
#include "UserTable.h"

#include <json/value.h>

#include <boost/asio.hpp>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace velk::recorder {

class ClientSession;

struct DeviceServerSettings {
    std::uint32_t channels = 16;
    std::uint32_t heartbeatMs = 1000;
    std::uint32_t heartbeatTimeoutMs = 4000;
    std::uint32_t handshakeTimeoutMs = 10000;  // hello and login must be done within this
    std::size_t maxSessions = 256;             // connections beyond this are refused
    std::string name = "velk-recorder";
};

struct DeviceServerCounts {
    std::size_t connections = 0;  // open sessions
    std::size_t logins = 0;       // sessions logged in now
    std::uint64_t loginsTotal = 0;
    std::uint64_t loginFailures = 0;
    std::uint64_t logoutsTotal = 0;
    std::uint64_t droppedForSilence = 0;
    std::size_t streams = 0;  // live streams open now
    std::uint64_t streamsTotal = 0;
    std::uint64_t streamsRefused = 0;
    std::size_t playbacks = 0;  // playbacks open now
    std::uint64_t playbacksTotal = 0;
    std::uint64_t playbacksRefused = 0;
    std::uint64_t downloadsTotal = 0;
    std::uint64_t downloadsRefused = 0;
};

class DeviceServer {
public:
    // cameras: the channels taken from real sources (may be empty); kept by reference.
    DeviceServer(boost::asio::io_context& io, DeviceServerSettings settings, UserTable users, MediaLibrary& media,
                 CameraFeeds& cameras, ChannelPolicy policy);
    ~DeviceServer();

    // Binds and starts accepting; false (and message) when it cannot listen.
    bool listen(const boost::asio::ip::address& address, std::uint16_t port, std::string& message);
    std::uint16_t port() const;
    void stop();

    void dropAll();
    void freeze();
    void resume();
    bool frozen() const { return m_frozen; }
    // Sends a device notification of this kind to every logged-in client;
    // returns how many got it (none while frozen).
    std::size_t notifyDevice(std::uint32_t kind);
    // Sends the alarm notification to every logged-in client; returns how
    // many got it (none while frozen).
    std::size_t notifyAlarm(std::uint32_t channel, const char* kind, bool active);
    DeviceServerCounts counts() const;

    // Live streams. Each returns how many open streams it affected.
    // Denies user the channel; the user's open streams of it end (no right).
    std::size_t denyChannel(const std::string& user, std::uint32_t channel);
    void allowChannel(const std::string& user, std::uint32_t channel) { m_policy.allow(user, channel); }
    // Switching the sub stream off ends the channel's open sub streams.
    std::size_t setSubstreamEncoded(std::uint32_t channel, bool encoded);
    // The recorder changes the type of the channel's open streams.
    std::size_t switchStreamType(std::uint32_t channel, std::uint32_t streamType);
    std::size_t sendMalformedFrame(std::uint32_t channel, MalformedKind kind);
    // Open streams with their counters, for /sim/status.
    Json::Value streamStatus() const;

    // Playbacks. What they play (null: nothing recorded); the catalog
    // outlives the server's sessions.
    void setRecordings(const RecordingCatalog* recordings) { m_recordings = recordings; }
    const RecordingCatalog* recordings() const { return m_recordings; }
    // Closes every connection carrying a playback; returns how many.
    std::size_t dropPlaybacks();
    // Every open playback sends nothing for this long; returns how many.
    std::size_t stallPlaybacks(std::chrono::milliseconds duration);
    // Clip downloads. The recording of this device file name, if any.
    std::optional<RecordSpan> findRecording(const std::string& fileName) const;
    // Downloads opened before this time send nothing (not even their
    // answer) until it (the slow-start fault).
    void slowStartDownloads(std::chrono::milliseconds duration);
    std::chrono::steady_clock::time_point downloadsNotBefore() const { return m_downloadsNotBefore; }
    // Every open download, and the next one opened, fails once half of it
    // is sent; returns how many open ones.
    std::size_t failDownloads();
    // True once: the next download opened is to fail midway.
    bool takeDownloadFailure() { return std::exchange(m_failNextDownload, false); }
    // Closes every connection carrying a download; returns how many.
    std::size_t dropDownloads();
    // Every open download, and every one opened later, sends at most this
    // many bytes a second (a slow link); 0 lifts the limit. Returns how many
    // open downloads were paced.
    std::size_t paceDownloads(std::uint64_t bytesPerSecond);
    std::uint64_t downloadPace() const { return m_downloadPace; }
    void countDownloadOpen(bool ok) { (ok ? m_counts.downloadsTotal : m_counts.downloadsRefused)++; }
    // Open playbacks with their counters, for /sim/status.
    Json::Value playbackStatus() const;
    const ChannelPolicy& policy() const { return m_policy; }

    // For sessions.
    const DeviceServerSettings& settings() const { return m_settings; }
    const UserTable& users() const { return m_users; }
    void sessionEnded(const std::shared_ptr<ClientSession>& session);
    void countLogin(bool ok) { (ok ? m_counts.loginsTotal : m_counts.loginFailures)++; }
    void countLogout() { m_counts.logoutsTotal++; }
    void countSilenceDrop() { m_counts.droppedForSilence++; }
    void countStreamOpen(bool ok) { (ok ? m_counts.streamsTotal : m_counts.streamsRefused)++; }
    void countPlaybackOpen(bool ok) { (ok ? m_counts.playbacksTotal : m_counts.playbacksRefused)++; }
    MediaLibrary& media() { return m_media; }
    // The channels whose pictures come from cameras and video files.
    CameraFeeds& cameras() { return m_cameras; }
    // 0 when the login with this session token may open the stream; user
    // is then the login's user. Else the detail code of the refusal.
    std::int32_t authorizeStream(const std::string& sessionToken, std::uint32_t channel, std::uint32_t streamType,
                                 std::string& user) const;
    // The same for a playback of these channels' main streams.
    std::int32_t authorizePlayback(const std::string& sessionToken, const std::vector<std::uint32_t>& channels,
                                   std::string& user) const;

private:
    void accept();
    // Answers a connection beyond maxSessions with a refusing hello.
    void refuse(boost::asio::ip::tcp::socket socket);
    // Calls action for every open stream of channel; returns how many.
    template <class Action>
    std::size_t forStreamsOf(std::uint32_t channel, Action&& action);

    boost::asio::io_context& m_io;
    const DeviceServerSettings m_settings;
    const UserTable m_users;
    MediaLibrary& m_media;
    CameraFeeds& m_cameras;
    ChannelPolicy m_policy;
    const RecordingCatalog* m_recordings = nullptr;
    std::chrono::steady_clock::time_point m_downloadsNotBefore;
    bool m_failNextDownload = false;
    std::uint64_t m_downloadPace = 0;  // bytes a second; 0: as fast as read
    boost::asio::ip::tcp::acceptor m_acceptor;
    std::set<std::shared_ptr<ClientSession>> m_sessions;
    DeviceServerCounts m_counts;
    bool m_frozen = false;
    bool m_stopped = false;
};

}  // namespace velk::recorder
