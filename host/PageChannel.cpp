// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/PageChannel.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace host::pagechannel {

namespace {

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

void closeAll(const int* fds, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        ::close(fds[i]);
}

}  // namespace

bool createPair(int& hostEnd, int& childEnd)
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0)
        return false;
    hostEnd = pair[0];
    childEnd = pair[1];
    return true;
}

bool send(int socket, Kind kind, const QByteArray& payload, int fd)
{
    if (payload.size() > kMaxPayloadBytes)
        return false;
    QByteArray bytes;
    bytes.reserve(payload.size() + 1);
    bytes.append(static_cast<char>(kind));
    bytes.append(payload);

    iovec io{bytes.data(), static_cast<std::size_t>(bytes.size())};
    msghdr header{};
    header.msg_iov = &io;
    header.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    if (fd >= 0) {
        std::memset(control, 0, sizeof control);
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        cmsghdr* item = CMSG_FIRSTHDR(&header);
        item->cmsg_level = SOL_SOCKET;
        item->cmsg_type = SCM_RIGHTS;
        item->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(item), &fd, sizeof(int));
    }
    for (;;) {
        const ssize_t sent = ::sendmsg(socket, &header, MSG_NOSIGNAL);
        if (sent == static_cast<ssize_t>(bytes.size()))
            return true;
        if (sent < 0 && errno == EINTR)
            continue;
        return false;
    }
}

ReceiveResult receive(int socket, Message& message)
{
    QByteArray bytes(kMaxPayloadBytes + 2, Qt::Uninitialized);
    iovec io{bytes.data(), static_cast<std::size_t>(bytes.size())};
    msghdr header{};
    header.msg_iov = &io;
    header.msg_iovlen = 1;
    // Room for a few descriptors: a peer that sends more must not leave
    // them open here unseen.
    alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))];
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    ssize_t received = -1;
    do {
        received = ::recvmsg(socket, &header, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
    } while (received < 0 && errno == EINTR);
    if (received < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK ? ReceiveResult::Nothing : ReceiveResult::End;
    if (received == 0)
        return ReceiveResult::End;

    int fds[4];
    std::size_t fdCount = 0;
    for (cmsghdr* item = CMSG_FIRSTHDR(&header); item != nullptr; item = CMSG_NXTHDR(&header, item)) {
        if (item->cmsg_level != SOL_SOCKET || item->cmsg_type != SCM_RIGHTS)
            continue;
        const std::size_t count = (item->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count && fdCount < 4; ++i)
            std::memcpy(&fds[fdCount++], CMSG_DATA(item) + i * sizeof(int), sizeof(int));
    }
    const bool truncated = (header.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0;
    const auto kind = static_cast<Kind>(bytes.at(0));
    const bool known = kind == Kind::Adopt || kind == Kind::Shutdown || kind == Kind::Detached || kind == Kind::Ending;
    const bool fdAllowed = kind == Kind::Adopt ? fdCount == 1 : fdCount == 0;
    if (truncated || !known || !fdAllowed) {
        closeAll(fds, fdCount);
        return ReceiveResult::End;
    }
    message.kind = kind;
    message.payload = bytes.mid(1, received - 1);
    message.fd = fdCount == 1 ? fds[0] : -1;
    return ReceiveResult::Message;
}

QByteArray encodeAdopt(const AdoptRequest& request)
{
    QByteArray bytes;
    bytes.append(request.resumed ? '1' : '0');
    bytes.append(request.resumeId);
    bytes.append(request.pending);
    return bytes;
}

std::optional<AdoptRequest> decodeAdopt(const QByteArray& payload)
{
    if (payload.size() < 1 + kResumeIdLength || (payload.at(0) != '0' && payload.at(0) != '1'))
        return std::nullopt;
    AdoptRequest request;
    request.resumed = payload.at(0) == '1';
    request.resumeId = payload.mid(1, kResumeIdLength);
    for (const char c : request.resumeId) {
        if (!isHexDigit(c))
            return std::nullopt;
    }
    request.pending = payload.mid(1 + kResumeIdLength);
    return request;
}

}  // namespace host::pagechannel
