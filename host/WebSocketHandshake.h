// SPDX-License-Identifier: GPL-3.0-or-later
// The HTTP side of a WebSocket connection: reading the client's upgrade
// request (every header kept, repeats included, so that a request naming
// two Origins or two Hosts can be refused), checking that it asks for a
// WebSocket, and the server's answers (101 with the accept key, or an error
// with a short text). Pure functions; any thread.
#pragma once

#include <QByteArray>
#include <QList>

#include <utility>

namespace host {

struct WebSocketRequest {
    QByteArray method;
    QByteArray target;  // as sent: "/?token=..."
    QByteArray version;
    // In the order sent; names in lower case, values without surrounding
    // blanks.
    QList<std::pair<QByteArray, QByteArray>> headers;

    // Every value of one header (name in lower case).
    QList<QByteArray> values(const QByteArray& name) const;
};

enum class RequestHead {
    Incomplete,  // no blank line yet: wait for more bytes
    Complete,
    Malformed,
    TooLarge,  // no end of the head within the limit
};

// Reads the request line and headers at the start of `buffer`. On Complete,
// `request` is filled and `headBytes` is the length of the head including
// its blank line. Lines end with CR LF; folded header lines, blanks before a
// header's colon and control characters are malformed.
RequestHead parseRequestHead(const QByteArray& buffer, qsizetype maxBytes, WebSocketRequest& request,
                             qsizetype& headBytes);

// Whether a well-formed request asks for a WebSocket as this server speaks
// it: GET, HTTP/1.1, a path, a Host, Upgrade: websocket, Connection: Upgrade,
// one Sec-WebSocket-Version 13 and one 16-byte Sec-WebSocket-Key. Gives the
// HTTP status to refuse with (400, or 426 for another version) and why, or
// 0 when the request is a valid upgrade.
int upgradeProblem(const WebSocketRequest& request, QByteArray& why);

// base64(SHA-1(key + the protocol's GUID)).
QByteArray acceptKey(const QByteArray& clientKey);

QByteArray switchingProtocolsResponse(const QByteArray& clientKey);
// "HTTP/1.1 <status> ..." with a plain-text body; the connection closes.
QByteArray errorResponse(int status, const QByteArray& text);

}  // namespace host
