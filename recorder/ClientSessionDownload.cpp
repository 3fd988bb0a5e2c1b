// SPDX-License-Identifier: GPL-3.0-or-later
// The download side of a media connection: one clip of one recording sent
// as the recorder holds it. Runs on the recorder's I/O thread.
#include "ClientSession.h"

#include "DeviceServer.h"
#include "DownloadMessages.h"

#include "proto/DetailCode.h"
#include "proto/StreamMessages.h"

namespace velk::recorder {

void ClientSession::handleOpenDownload(const proto::Message& message)
{
    const auto request = readDownloadOpen(message.body);
    std::int32_t code = proto::kDetailBadRequest;
    std::optional<RecordSpan> span;
    if (request) {
        // The login first, so a stranger learns nothing of the file names.
        code = m_server.authorizePlayback(request->session, {}, m_user);
        if (code == proto::kDetailNone) {
            span = m_server.findRecording(request->file);
            if (!span)
                code = proto::kDetailBadRequest;
            else
                code = m_server.authorizePlayback(request->session, {span->channel}, m_user);
        }
    }
    m_server.countDownloadOpen(code == proto::kDetailNone);
    if (code != proto::kDetailNone) {
        send(proto::Message::response(message.id, message.name, code));
        closeAfterWrites();
        return;
    }
    m_ownerToken = request->session;
    // The whole end second belongs to the clip.
    m_download = std::make_shared<DownloadSender>(m_socket.get_executor(), *m_server.recordings(), *this, *span,
                                                  toMs(request->start), toMs(request->end) + 1000);
    m_state = State::Downloading;
    if (m_server.takeDownloadFailure())
        m_download->failMidway();
    m_download->setPace(m_server.downloadPace());
    std::weak_ptr<ClientSession> weak = weak_from_this();
    const std::uint32_t id = message.id;
    const std::uint32_t channel = span->channel;
    m_download->start(
        m_server.downloadsNotBefore(),
        [weak, id, channel](std::uint64_t bytes, std::uint64_t frames) {
            auto self = weak.lock();
            if (!self || self->m_state != State::Downloading)
                return;
            Json::Value result(Json::objectValue);
            result["bytes"] = Json::UInt64(bytes);
            result["frames"] = Json::UInt64(frames);
            result["channel"] = channel;
            self->send(proto::Message::response(id, proto::kMethodOpenDownload, proto::kDetailNone, result));
        },
        [weak] {
            if (auto self = weak.lock())
                self->closeAfterWrites();
        });
}

void ClientSession::failDownloadMidway()
{
    if (m_state == State::Downloading)
        m_download->failMidway();
}

void ClientSession::paceDownload(std::uint64_t bytesPerSecond)
{
    if (m_state == State::Downloading)
        m_download->setPace(bytesPerSecond);
}

}  // namespace velk::recorder
