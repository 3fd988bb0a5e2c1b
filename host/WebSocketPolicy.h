// SPDX-License-Identifier: GPL-3.0-or-later
// Who may drive the control over the WebSocket. The socket listens on
// 127.0.0.1 only, but any page the user happens to visit can make the
// browser connect there; so a connection must come from an allowed page
// origin, present this launch's token in its URL, and name the host by its
// loopback address (a Host header check that defeats DNS rebinding).
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace host {

class WebSocketPolicy {
public:
    WebSocketPolicy(QStringList allowedOrigins, QString token);

    // Once the port is known, the Host headers to accept follow from it.
    void setPort(quint16 port) { m_port = port; }

    // Origins compare case-insensitively, ignoring a trailing "/".
    bool originAllowed(const QString& origin) const;

    // Why a handshake must be refused (HTTP 403); empty when it may go on.
    // Takes every Origin and every Host header as sent: a request naming
    // two Origins or two Hosts is refused, since which of them a check saw
    // and which one a browser or proxy meant cannot be known.
    QString handshakeRefusal(const QList<QByteArray>& origins, const QList<QByteArray>& hosts) const;

    // Why an opened connection must be closed (with the policy-violation
    // code, so that a page can tell why); empty when it may proceed.
    QString refusal(const QUrl& requestUrl, const QByteArray& hostHeader, const QString& origin) const;

    const QString& token() const { return m_token; }
    const QStringList& allowedOrigins() const { return m_allowedOrigins; }

    // A new random token: 32 hexadecimal digits from the system's secure
    // random source.
    static QString randomToken();

private:
    bool tokenMatches(const QString& given) const;
    bool hostAllowed(const QByteArray& hostHeader) const;

    QStringList m_allowedOrigins;  // normalised
    QString m_token;
    quint16 m_port = 0;
};

}  // namespace host
