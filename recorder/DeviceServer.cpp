// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceServer.h"

#include "ClientSession.h"
#include "Listener.h"

#include "proto/DetailCode.h"
#include "proto/FrameCodec.h"
#include "proto/Hello.h"
#include "proto/StreamMessages.h"

namespace velk::recorder {

namespace net = boost::asio;
using net::ip::tcp;

DeviceServer::DeviceServer(net::io_context& io, DeviceServerSettings settings, UserTable users, MediaLibrary& media,
                           CameraFeeds& cameras, ChannelPolicy policy)
    : m_io(io),
      m_settings(std::move(settings)),
      m_users(std::move(users)),
      m_media(media),
      m_cameras(cameras),
      m_policy(std::move(policy)),
      m_acceptor(io)
{
}

DeviceServer::~DeviceServer()
{
    stop();
}

bool DeviceServer::listen(const net::ip::address& address, std::uint16_t port, std::string& message)
{
    if (!openListener(m_acceptor, address, port, "device", message))
        return false;
    accept();
    return true;
}

std::uint16_t DeviceServer::port() const
{
    return listeningPort(m_acceptor);
}

void DeviceServer::accept()
{
    m_acceptor.async_accept([this](const boost::system::error_code& error, tcp::socket socket) {
        if (m_stopped)
            return;
        if (!error) {
            if (m_sessions.size() >= m_settings.maxSessions) {
                refuse(std::move(socket));
            } else {
                auto session = std::make_shared<ClientSession>(std::move(socket), *this);
                m_sessions.insert(session);
                session->start();
            }
        }
        if (m_acceptor.is_open())
            accept();
    });
}

void DeviceServer::refuse(tcp::socket socket)
{
    // Tell the client why, without reading anything from it, then close.
    proto::ServerHello hello;
    hello.code = proto::kDetailTooManyClients;
    hello.software = m_settings.name + "/1.0.0";
    auto frame = std::make_shared<std::string>(
        proto::encodeFrame(proto::FrameType::Json, proto::encodeMessage(proto::makeHello(hello))));
    auto client = std::make_shared<tcp::socket>(std::move(socket));
    net::async_write(*client, net::buffer(*frame), [client, frame](const boost::system::error_code&, std::size_t) {
        boost::system::error_code ignored;
        client->shutdown(tcp::socket::shutdown_both, ignored);
        client->close(ignored);
    });
}

void DeviceServer::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    boost::system::error_code ignored;
    m_acceptor.close(ignored);
    dropAll();
}

void DeviceServer::dropAll()
{
    const auto sessions = m_sessions;  // close() removes sessions from the set
    for (const auto& session : sessions)
        session->close();
    m_sessions.clear();
}

void DeviceServer::freeze()
{
    m_frozen = true;
}

void DeviceServer::resume()
{
    if (!m_frozen)
        return;
    m_frozen = false;
    const auto sessions = m_sessions;
    for (const auto& session : sessions)
        session->resume();
}

std::size_t DeviceServer::notifyDevice(std::uint32_t kind)
{
    if (m_frozen)
        return 0;
    std::size_t sent = 0;
    for (const auto& session : m_sessions) {
        if (session->loggedIn()) {
            session->sendDeviceNotification(kind);
            ++sent;
        }
    }
    return sent;
}

std::size_t DeviceServer::notifyAlarm(std::uint32_t channel, const char* kind, bool active)
{
    if (m_frozen)
        return 0;
    std::size_t sent = 0;
    for (const auto& session : m_sessions) {
        if (session->loggedIn()) {
            session->sendAlarmNotification(channel, kind, active);
            ++sent;
        }
    }
    return sent;
}

DeviceServerCounts DeviceServer::counts() const
{
    DeviceServerCounts counts = m_counts;
    counts.connections = m_sessions.size();
    counts.logins = 0;
    counts.streams = 0;
    counts.playbacks = 0;
    for (const auto& session : m_sessions) {
        counts.logins += session->loggedIn() ? 1 : 0;
        counts.streams += session->stream() ? 1 : 0;
        counts.playbacks += session->playback() ? 1 : 0;
    }
    return counts;
}

void DeviceServer::sessionEnded(const std::shared_ptr<ClientSession>& session)
{
    m_sessions.erase(session);
    // A login's streams end with it.
    const std::string& token = session->sessionToken();
    if (token.empty())
        return;
    const auto sessions = m_sessions;  // closing removes sessions from the set
    for (const auto& other : sessions)
        if (other->ownerToken() == token)
            other->close();
}

std::int32_t DeviceServer::authorizeStream(const std::string& sessionToken, std::uint32_t channel,
                                           std::uint32_t streamType, std::string& user) const
{
    // A camera's frames are passed on as they come: nothing to encode.
    if (!m_media.canEncode() && !m_cameras.hasChannel(channel))
        return proto::kDetailInternal;
    const ClientSession* owner = nullptr;
    for (const auto& session : m_sessions)
        if (session->loggedIn() && !sessionToken.empty() && session->sessionToken() == sessionToken)
            owner = session.get();
    if (!owner)
        return proto::kDetailNotLoggedIn;
    if (channel >= m_settings.channels)
        return proto::kDetailNoSuchChannel;
    if (streamType >= proto::kStreamTypeCount)
        return proto::kDetailBadRequest;
    user = owner->user();
    return m_policy.check(user, channel, streamType);
}

std::int32_t DeviceServer::authorizePlayback(const std::string& sessionToken,
                                            const std::vector<std::uint32_t>& channels, std::string& user) const
{
    const ClientSession* owner = nullptr;
    for (const auto& session : m_sessions)
        if (session->loggedIn() && !sessionToken.empty() && session->sessionToken() == sessionToken)
            owner = session.get();
    if (!owner)
        return proto::kDetailNotLoggedIn;
    for (const std::uint32_t channel : channels)
        if (channel >= m_settings.channels)
            return proto::kDetailNoSuchChannel;
    user = owner->user();
    for (const std::uint32_t channel : channels)
        if (const std::int32_t code = m_policy.check(user, channel, 0); code != proto::kDetailNone)
            return code;
    return proto::kDetailNone;
}

std::size_t DeviceServer::dropPlaybacks()
{
    std::size_t dropped = 0;
    const auto sessions = m_sessions;  // closing removes sessions from the set
    for (const auto& session : sessions) {
        if (session->playback()) {
            session->close();
            ++dropped;
        }
    }
    return dropped;
}

std::optional<RecordSpan> DeviceServer::findRecording(const std::string& fileName) const
{
    if (!m_recordings)
        return std::nullopt;
    constexpr std::int64_t kEver = std::int64_t(1) << 52;
    for (std::uint32_t channel = 0; channel < m_settings.channels; ++channel)
        for (auto& span : m_recordings->spans(channel, -kEver, kEver, RecordTypeFilter::All))
            if (span.fileName == fileName)
                return std::move(span);
    return std::nullopt;
}

void DeviceServer::slowStartDownloads(std::chrono::milliseconds duration)
{
    m_downloadsNotBefore = std::chrono::steady_clock::now() + duration;
}

std::size_t DeviceServer::failDownloads()
{
    m_failNextDownload = true;
    std::size_t failed = 0;
    const auto sessions = m_sessions;  // a failing download closes its session
    for (const auto& session : sessions) {
        if (session->download()) {
            session->failDownloadMidway();
            ++failed;
        }
    }
    return failed;
}

std::size_t DeviceServer::paceDownloads(std::uint64_t bytesPerSecond)
{
    m_downloadPace = bytesPerSecond;
    std::size_t paced = 0;
    for (const auto& session : m_sessions) {
        if (session->download()) {
            session->paceDownload(bytesPerSecond);
            ++paced;
        }
    }
    return paced;
}

std::size_t DeviceServer::dropDownloads()
{
    std::size_t dropped = 0;
    const auto sessions = m_sessions;  // closing removes sessions from the set
    for (const auto& session : sessions) {
        if (session->download()) {
            session->close();
            ++dropped;
        }
    }
    return dropped;
}

std::size_t DeviceServer::stallPlaybacks(std::chrono::milliseconds duration)
{
    std::size_t stalled = 0;
    for (const auto& session : m_sessions) {
        if (session->playback()) {
            session->stallPlayback(duration);
            ++stalled;
        }
    }
    return stalled;
}

Json::Value DeviceServer::playbackStatus() const
{
    Json::Value playbacks(Json::arrayValue);
    for (const auto& session : m_sessions) {
        const PlaybackSender* playback = session->playback();
        if (!playback)
            continue;
        const PlaybackCounters& c = playback->counters();
        Json::Value v(Json::objectValue);
        Json::Value channels(Json::arrayValue);
        for (const std::uint32_t channel : playback->channels())
            channels.append(channel);
        v["channels"] = channels;
        v["user"] = session->user();
        v["framesSent"] = Json::UInt64(c.framesSent);
        v["keyFrames"] = Json::UInt64(c.keyFrames);
        v["bytes"] = Json::UInt64(c.bytes);
        v["position"] = Json::Int64(c.positionMs);
        v["seeks"] = Json::UInt64(c.seeks);
        v["waits"] = Json::UInt64(c.waits);
        v["queued"] = Json::UInt64(session->unsentBytes());
        v["ended"] = playback->ended();
        v["stalled"] = playback->stalled();
        playbacks.append(v);
    }
    return playbacks;
}

template <class Action>
std::size_t DeviceServer::forStreamsOf(std::uint32_t channel, Action&& action)
{
    std::size_t count = 0;
    const auto sessions = m_sessions;  // an action may close sessions
    for (const auto& session : sessions) {
        if (const StreamSender* stream = session->stream(); stream && stream->channel() == channel) {
            action(*session, *stream);
            ++count;
        }
    }
    return count;
}

std::size_t DeviceServer::denyChannel(const std::string& user, std::uint32_t channel)
{
    m_policy.deny(user, channel);
    std::size_t ended = 0;
    forStreamsOf(channel, [&](ClientSession& session, const StreamSender&) {
        if (session.user() == user) {
            session.failStream(proto::kDetailNoRight);
            ++ended;
        }
    });
    return ended;
}

std::size_t DeviceServer::setSubstreamEncoded(std::uint32_t channel, bool encoded)
{
    m_policy.setSubstreamEncoded(channel, encoded);
    std::size_t ended = 0;
    if (!encoded) {
        forStreamsOf(channel, [&](ClientSession& session, const StreamSender& stream) {
            if (stream.streamType() == proto::kSubStreamType) {
                session.failStream(proto::kDetailSubstreamNotEncoded);
                ++ended;
            }
        });
    }
    return ended;
}

std::size_t DeviceServer::switchStreamType(std::uint32_t channel, std::uint32_t streamType)
{
    std::size_t switched = 0;
    forStreamsOf(channel, [&](ClientSession& session, const StreamSender& stream) {
        if (stream.streamType() != streamType) {
            session.switchStreamFromRecorder(streamType);
            ++switched;
        }
    });
    return switched;
}

std::size_t DeviceServer::sendMalformedFrame(std::uint32_t channel, MalformedKind kind)
{
    return forStreamsOf(channel, [&](ClientSession& session, const StreamSender&) { session.sendMalformedFrame(kind); });
}

Json::Value DeviceServer::streamStatus() const
{
    Json::Value streams(Json::arrayValue);
    for (const auto& session : m_sessions) {
        const StreamSender* stream = session->stream();
        if (!stream)
            continue;
        const StreamCounters& c = stream->counters();
        Json::Value v(Json::objectValue);
        v["channel"] = stream->channel();
        v["streamType"] = stream->streamType();
        v["user"] = session->user();
        v["videoFrames"] = Json::UInt64(c.videoFrames);
        v["keyFrames"] = Json::UInt64(c.keyFrames);
        v["audioFrames"] = Json::UInt64(c.audioFrames);
        v["bytes"] = Json::UInt64(c.bytes);
        v["skippedTicks"] = Json::UInt64(c.skippedTicks);
        v["malformed"] = Json::UInt64(c.malformed);
        v["loopsAdopted"] = Json::UInt64(c.loopsAdopted);
        v["sourceLosses"] = Json::UInt64(c.sourceLosses);
        streams.append(v);
    }
    return streams;
}

}  // namespace velk::recorder
