// SPDX-License-Identifier: GPL-3.0-or-later
#include "RawDeviceClient.h"

#include "proto/FrameCodec.h"
#include "proto/Hello.h"
#include "proto/LoginProof.h"
#include "proto/LoginRequest.h"
#include "proto/StreamMessages.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace nettest {

namespace proto = velk::proto;

RawDeviceClient::RawDeviceClient(std::uint16_t port)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

RawDeviceClient::~RawDeviceClient()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool RawDeviceClient::sendBytes(const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool RawDeviceClient::sendMessage(const proto::Message& message)
{
    return sendBytes(proto::encodeFrame(proto::FrameType::Json, proto::encodeMessage(message)));
}

std::optional<proto::Message> RawDeviceClient::readMessage(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                std::chrono::steady_clock::now());
        const auto frame = readFrame(static_cast<int>(std::max<long long>(left.count(), 0)));
        if (!frame)
            return std::nullopt;
        if (frame->type == proto::FrameType::Json)
            return proto::decodeMessage(frame->payload);
    }
}

std::optional<proto::Frame> RawDeviceClient::readFrame(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    proto::Frame frame;
    for (;;) {
        const auto status = m_decoder.next(frame);
        if (status == proto::FrameDecoder::Status::Failed)
            return std::nullopt;
        if (status == proto::FrameDecoder::Status::FrameReady) {
            if (frame.type != proto::FrameType::Heartbeat)
                return frame;
            continue;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return std::nullopt;
        char buffer[4096];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return std::nullopt;
        m_decoder.append(buffer, static_cast<std::size_t>(n));
    }
}

bool RawDeviceClient::closedWithin(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return true;
    }
}

int RawDeviceClient::login(const std::string& user, const std::string& password)
{
    if (!sendMessage(proto::makeHello(proto::ClientHello{})))
        return -1;
    const auto helloReply = readMessage();
    const auto hello = helloReply ? proto::readServerHello(*helloReply) : std::nullopt;
    if (!hello || hello->code != 0)
        return -1;
    proto::LoginRequest request;
    request.user = user;
    request.clientNonce = proto::randomNonceHex();
    request.proof = proto::loginProof(password, hello->nonce, request.clientNonce, user);
    if (!sendMessage(proto::Message::request(1, proto::kMethodLogin, proto::toJson(request))))
        return -1;
    const auto reply = readMessage();
    if (!reply || reply->kind != proto::MessageKind::Response || reply->id != 1)
        return -1;
    if (reply->code == 0)
        m_sessionToken = reply->body["session"].asString();
    return reply->code;
}

std::optional<proto::Message> RawDeviceClient::openStream(const std::string& session, std::uint32_t channel,
                                                          std::uint32_t streamType)
{
    proto::ClientHello hello;
    hello.role = proto::kRoleMedia;
    if (!sendMessage(proto::makeHello(hello)))
        return std::nullopt;
    const auto helloReply = readMessage();
    if (!helloReply || !proto::readServerHello(*helloReply))
        return std::nullopt;
    if (!sendMessage(proto::Message::request(
            1, proto::kMethodOpenStream, proto::toJson(proto::StreamOpenRequest{session, channel, streamType}))))
        return std::nullopt;
    return readMessage();
}

}  // namespace nettest
