// SPDX-License-Identifier: GPL-3.0-or-later
// The media side of a client connection: opening the stream, switching its
// type, key frame requests, and ending it. Runs on the recorder's I/O thread.
#include "ClientSession.h"

#include "DeviceServer.h"
#include "PlaybackMessages.h"

#include "proto/DetailCode.h"
#include "proto/StreamMessages.h"

namespace velk::recorder {

namespace {

// A camera channel has the stream types its source has: type 1 only with a
// sub-stream address (type 2 shows the main stream). Refused as a synthetic
// channel without a sub stream is.
std::int32_t checkCameraType(const CameraFeeds& cameras, std::uint32_t channel, std::uint32_t streamType)
{
    if (cameras.hasChannel(channel) && !cameras.find(channel, streamType))
        return proto::kDetailSubstreamNotEncoded;
    return proto::kDetailNone;
}

}  // namespace

void ClientSession::handleStreamRequest(const proto::Message& message)
{
    if (message.name == kMethodOpenPlayback || message.name == kMethodSeek || message.name == kMethodKeyFramesOnly) {
        handlePlaybackRequest(message);
        return;
    }
    if (message.name == proto::kMethodOpenDownload) {
        if (m_state == State::AwaitOpen)
            handleOpenDownload(message);
        else
            send(proto::Message::response(message.id, message.name, proto::kDetailBadRequest));
        return;
    }
    if (message.name == proto::kMethodOpenStream) {
        if (m_state == State::AwaitOpen)
            handleOpenStream(message);
        else
            send(proto::Message::response(message.id, message.name, proto::kDetailBadRequest));
        return;
    }
    const bool streamMethod = message.name == proto::kMethodSwitchStream || message.name == proto::kMethodKeyFrame;
    if (!streamMethod) {
        // Logins and everything else belong to control connections.
        send(proto::Message::response(message.id, message.name, proto::kDetailBadRequest));
    } else if (m_state == State::Playing || m_state == State::Downloading) {
        send(proto::Message::response(message.id, message.name, proto::kDetailBadRequest));
    } else if (m_state != State::Streaming) {
        send(proto::Message::response(message.id, message.name, proto::kDetailNotLoggedIn));
    } else if (message.name == proto::kMethodSwitchStream) {
        handleSwitchStream(message);
    } else {
        send(proto::Message::response(message.id, message.name, proto::kDetailNone));
        m_sender->requestKeyFrame();
    }
}

void ClientSession::handleOpenStream(const proto::Message& message)
{
    const auto request = proto::readStreamOpenRequest(message.body);
    std::int32_t code = proto::kDetailBadRequest;
    if (request)
        code = m_server.authorizeStream(request->session, request->channel, request->streamType, m_user);
    if (code == proto::kDetailNone)
        code = checkCameraType(m_server.cameras(), request->channel, request->streamType);
    m_server.countStreamOpen(code == proto::kDetailNone);
    if (code != proto::kDetailNone) {
        send(proto::Message::response(message.id, message.name, code));
        closeAfterWrites();
        return;
    }
    m_ownerToken = request->session;
    m_sender = std::make_shared<StreamSender>(m_socket.get_executor(), m_server.media(), m_server.cameras(), *this,
                                              request->channel, request->streamType);
    m_state = State::Streaming;
    send(proto::Message::response(message.id, message.name, proto::kDetailNone, proto::toJson(m_sender->info())));
    m_sender->start();
}

void ClientSession::handleSwitchStream(const proto::Message& message)
{
    const auto streamType = proto::readStreamType(message.body);
    std::int32_t code = proto::kDetailBadRequest;
    if (streamType && *streamType < proto::kStreamTypeCount)
        code = m_server.policy().check(m_user, m_sender->channel(), *streamType);
    if (code == proto::kDetailNone)
        code = checkCameraType(m_server.cameras(), m_sender->channel(), *streamType);
    if (code != proto::kDetailNone) {
        // Refused: the stream goes on as it was.
        send(proto::Message::response(message.id, message.name, code));
        return;
    }
    send(proto::Message::response(message.id, message.name, proto::kDetailNone,
                                  proto::toJson(streamFormat(m_server.cameras(), m_sender->channel(), *streamType))));
    m_sender->switchType(*streamType, false);
}

void ClientSession::failStream(std::int32_t code)
{
    if (m_state != State::Streaming)
        return;
    stopStream();
    send(proto::Message::notify(proto::kEventStreamError, proto::streamErrorParams(code)));
    closeAfterWrites();
}

void ClientSession::switchStreamFromRecorder(std::uint32_t streamType)
{
    if (m_state == State::Streaming && m_sender->streamType() != streamType &&
        checkCameraType(m_server.cameras(), m_sender->channel(), streamType) == proto::kDetailNone)
        m_sender->switchType(streamType, true);
}

void ClientSession::sendMalformedFrame(MalformedKind kind)
{
    if (m_state == State::Streaming)
        m_sender->sendMalformed(kind);
}

void ClientSession::stopStream()
{
    if (m_sender)
        m_sender->stop();
    if (m_playback)
        m_playback->stop();
    if (m_download)
        m_download->stop();
}

}  // namespace velk::recorder
