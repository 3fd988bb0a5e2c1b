// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/WebSocketHandshake.h"

#include <QCryptographicHash>

namespace host {

namespace {

bool isTokenChar(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    switch (c) {
    case '!': case '#': case '$': case '%': case '&': case '\'': case '*': case '+':
    case '-': case '.': case '^': case '_': case '`': case '|': case '~':
        return true;
    default:
        return false;
    }
}

bool isToken(const QByteArray& text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (!isTokenChar(c))
            return false;
    }
    return true;
}

// Header values may hold blanks and bytes above 0x7f, no other controls.
bool isFieldValue(const QByteArray& text)
{
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7f)
            return false;
    }
    return true;
}

QByteArray trimmedBlanks(const QByteArray& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    return text.mid(begin, end - begin);
}

// Whether a comma-separated header (every occurrence) lists `token`.
bool listsToken(const QList<QByteArray>& values, const QByteArray& token)
{
    for (const QByteArray& value : values) {
        for (const QByteArray& item : value.split(',')) {
            if (trimmedBlanks(item).toLower() == token)
                return true;
        }
    }
    return false;
}

const char* reasonPhrase(int status)
{
    switch (status) {
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 426: return "Upgrade Required";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

}  // namespace

QList<QByteArray> WebSocketRequest::values(const QByteArray& name) const
{
    QList<QByteArray> found;
    for (const auto& [key, value] : headers) {
        if (key == name)
            found.append(value);
    }
    return found;
}

RequestHead parseRequestHead(const QByteArray& buffer, qsizetype maxBytes, WebSocketRequest& request,
                             qsizetype& headBytes)
{
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0 || end + 4 > maxBytes)
        return buffer.size() >= maxBytes ? RequestHead::TooLarge : RequestHead::Incomplete;
    headBytes = end + 4;

    const QList<QByteArray> lines = buffer.left(end).split('\n');
    WebSocketRequest parsed;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        // Every line but the last ends with CR (the last one's CR LF is part
        // of the blank line's search); a lone CR or LF is refused.
        if (i + 1 < lines.size()) {
            if (!line.endsWith('\r'))
                return RequestHead::Malformed;
            line.chop(1);
        }
        if (line.contains('\r'))
            return RequestHead::Malformed;
        if (i == 0) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() != 3 || !isToken(parts[0]) || parts[1].isEmpty() || !parts[2].startsWith("HTTP/") ||
                !isFieldValue(parts[1]))
                return RequestHead::Malformed;
            parsed.method = parts[0];
            parsed.target = parts[1];
            parsed.version = parts[2];
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        // No name, a blank before the colon, or a folded continuation line.
        if (colon <= 0 || !isToken(line.left(colon)))
            return RequestHead::Malformed;
        const QByteArray value = trimmedBlanks(line.mid(colon + 1));
        if (!isFieldValue(value))
            return RequestHead::Malformed;
        parsed.headers.append({line.left(colon).toLower(), value});
    }
    request = std::move(parsed);
    return RequestHead::Complete;
}

int upgradeProblem(const WebSocketRequest& request, QByteArray& why)
{
    if (request.method != "GET") {
        why = "a WebSocket is opened with GET";
        return 400;
    }
    if (request.version != "HTTP/1.1") {
        why = "HTTP/1.1 expected";
        return 400;
    }
    // "//name/..." would read as a host name, not a path.
    if (!request.target.startsWith('/') || request.target.startsWith("//")) {
        why = "the request target is not a path";
        return 400;
    }
    if (request.values("host").isEmpty()) {
        why = "no Host header";
        return 400;
    }
    if (!listsToken(request.values("upgrade"), "websocket") || !listsToken(request.values("connection"), "upgrade")) {
        why = "not a WebSocket upgrade";
        return 400;
    }
    const QList<QByteArray> versions = request.values("sec-websocket-version");
    if (versions.size() != 1 || versions.first() != "13") {
        why = "WebSocket version 13 expected";
        return 426;
    }
    const QList<QByteArray> keys = request.values("sec-websocket-key");
    if (keys.size() != 1 ||
        QByteArray::fromBase64Encoding(keys.first(), QByteArray::AbortOnBase64DecodingErrors).decoded.size() != 16) {
        why = "one Sec-WebSocket-Key of 16 bytes expected";
        return 400;
    }
    return 0;
}

QByteArray acceptKey(const QByteArray& clientKey)
{
    return QCryptographicHash::hash(clientKey + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11", QCryptographicHash::Sha1)
        .toBase64();
}

QByteArray switchingProtocolsResponse(const QByteArray& clientKey)
{
    return "HTTP/1.1 101 Switching Protocols\r\n"
           "Upgrade: websocket\r\n"
           "Connection: Upgrade\r\n"
           "Sec-WebSocket-Accept: " +
           acceptKey(clientKey) + "\r\n\r\n";
}

QByteArray errorResponse(int status, const QByteArray& text)
{
    const QByteArray body = text + '\n';
    QByteArray response = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    if (status == 426)
        response += "Sec-WebSocket-Version: 13\r\n";
    response += "Content-Type: text/plain; charset=utf-8\r\n"
                "Content-Length: " +
                QByteArray::number(body.size()) +
                "\r\n"
                "Connection: close\r\n\r\n" +
                body;
    return response;
}

}  // namespace host
