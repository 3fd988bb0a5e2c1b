// SPDX-License-Identifier: GPL-3.0-or-later
// The channel between the host and one page process: a Unix SOCK_SEQPACKET
// socket pair, so that each message arrives whole and a file descriptor
// (the page's TCP connection) can travel with it.
//
// Messages, one byte of kind first:
//   host → page process   Adopt: the page's opened WebSocket connection (the
//                         descriptor), whether it resumes this control, the
//                         resume id, and the bytes the host already read
//                         from the page after the handshake.
//                         Shutdown: the host ends; end the control now.
//   page process → host   Detached: the page went away; the control waits
//                         for it for the grace time.
//                         Ending: the grace time is over; the process ends
//                         and takes no more pages.
// The host holding no more of the pair (it died) reads as the end, and the
// page process ends its control as on Shutdown.
#pragma once

#include <QByteArray>

#include <optional>

namespace host::pagechannel {

enum class Kind : char { Adopt = 'A', Shutdown = 'S', Detached = 'D', Ending = 'E' };

// At most this many payload bytes travel in one message (the host reads at
// most 64 KiB ahead of a page's messages).
constexpr qsizetype kMaxPayloadBytes = 96 * 1024;
constexpr qsizetype kResumeIdLength = 32;

struct Message {
    Kind kind = Kind::Shutdown;
    QByteArray payload;
    int fd = -1;  // the descriptor that came with it, owned by the receiver; -1: none
};

struct AdoptRequest {
    bool resumed = false;
    QByteArray resumeId;  // kResumeIdLength hex digits
    QByteArray pending;   // page bytes already read
};

// Both ends close on exec; `childEnd` is made inheritable in the child only.
bool createPair(int& hostEnd, int& childEnd);

// Sends one message (with `fd` when >= 0; the sender keeps its copy).
// False when the peer is gone or the message does not fit. Blocking.
bool send(int socket, Kind kind, const QByteArray& payload = QByteArray(), int fd = -1);

enum class ReceiveResult { Message, Nothing, End };
// Reads one message without blocking. End: the peer closed, or the message
// was malformed (a protocol fault is fatal for the channel). Descriptors
// that came with a message other than Adopt are closed.
ReceiveResult receive(int socket, Message& message);

QByteArray encodeAdopt(const AdoptRequest& request);
std::optional<AdoptRequest> decodeAdopt(const QByteArray& payload);

}  // namespace host::pagechannel
