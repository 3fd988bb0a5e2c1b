// SPDX-License-Identifier: GPL-3.0-or-later
// The playback side of a media connection: opening a playback of recorded
// frames, seeking, key frames only. Runs on the recorder's I/O thread.
#include "ClientSession.h"

#include "DeviceServer.h"
#include "DeviceTime.h"
#include "PlaybackMessages.h"

#include "proto/DetailCode.h"
#include "proto/StreamMessages.h"

namespace velk::recorder {

void ClientSession::handlePlaybackRequest(const proto::Message& message)
{
    if (message.name == kMethodOpenPlayback) {
        if (m_state == State::AwaitOpen)
            handleOpenPlayback(message);
        else
            send(proto::Message::response(message.id, message.name, proto::kDetailBadRequest));
        return;
    }
    if (m_state != State::Playing) {
        const bool open = m_state == State::Streaming;
        send(proto::Message::response(message.id, message.name,
                                      open ? proto::kDetailBadRequest : proto::kDetailNotLoggedIn));
        return;
    }
    if (message.name == kMethodSeek) {
        const auto start = readSeekStart(message.body);
        if (!start) {
            send(proto::Message::response(message.id, message.name, proto::kDetailBadRequest));
            return;
        }
        send(proto::Message::response(message.id, message.name, proto::kDetailNone));
        m_playback->seek(toMs(*start), message.id);
        return;
    }
    const auto on = readKeyFramesOnly(message.body);
    if (!on) {
        send(proto::Message::response(message.id, message.name, proto::kDetailBadRequest));
        return;
    }
    send(proto::Message::response(message.id, message.name, proto::kDetailNone));
    m_playback->setKeyFramesOnly(*on);
}

void ClientSession::handleOpenPlayback(const proto::Message& message)
{
    const auto request = readPlaybackOpen(message.body);
    std::int32_t code = proto::kDetailBadRequest;
    if (request)
        code = m_server.authorizePlayback(request->session, request->channels, m_user);
    m_server.countPlaybackOpen(code == proto::kDetailNone);
    if (code != proto::kDetailNone) {
        send(proto::Message::response(message.id, message.name, code));
        closeAfterWrites();
        return;
    }
    m_ownerToken = request->session;
    const std::int64_t startMs = toMs(request->start);
    // A camera channel's recordings are expected in its camera's format as
    // known now; its frames' video info corrects that where they differ.
    std::vector<proto::StreamInfo> formats;
    for (const std::uint32_t channel : request->channels) {
        proto::StreamInfo info = streamFormat(m_server.cameras(), channel, 0);
        if (info.width == 0)
            info = streamInfo(channel, 0);
        formats.push_back(info);
    }
    m_playback = std::make_shared<PlaybackSender>(m_socket.get_executor(), m_server.recordings(), *this,
                                                  request->channels, formats, request->filter, startMs);
    m_state = State::Playing;
    Json::Value result(Json::objectValue);
    Json::Value channels(Json::arrayValue);
    for (const proto::StreamInfo& info : formats) {
        const std::uint32_t channel = info.channel;
        Json::Value item(Json::objectValue);
        item["channel"] = channel;
        item["width"] = info.width;
        item["height"] = info.height;
        item["frameRate"] = info.frameRate;
        item["codec"] = proto::codecName(info.codec);
        channels.append(item);
    }
    result["channels"] = channels;
    result["startMs"] = Json::Int64(startMs);
    result["utcOffsetS"] = utcOffsetSeconds(startMs);
    send(proto::Message::response(message.id, message.name, proto::kDetailNone, result));
    m_playback->start();
}

void ClientSession::stallPlayback(std::chrono::milliseconds duration)
{
    if (m_state == State::Playing)
        m_playback->stall(duration);
}

}  // namespace velk::recorder
