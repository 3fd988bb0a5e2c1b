// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/WebSocketPolicy.h"

#include <QRandomGenerator>
#include <QUrlQuery>

#include <openssl/crypto.h>

#include <array>

namespace host {

namespace {

QString normaliseOrigin(QString origin)
{
    origin = origin.trimmed().toLower();
    while (origin.endsWith(QLatin1Char('/')))
        origin.chop(1);
    return origin;
}

// A client's text as it may appear in a log line: bounded, one line.
QString shown(QString text)
{
    constexpr int kMaxChars = 100;
    if (text.size() > kMaxChars)
        text = text.left(kMaxChars) + QStringLiteral("...");
    for (QChar& c : text) {
        if (!c.isPrint())
            c = QLatin1Char('?');
    }
    return text;
}

}  // namespace

WebSocketPolicy::WebSocketPolicy(QStringList allowedOrigins, QString token) : m_token(std::move(token))
{
    for (const QString& origin : allowedOrigins) {
        const QString normalised = normaliseOrigin(origin);
        if (!normalised.isEmpty())
            m_allowedOrigins.append(normalised);
    }
}

bool WebSocketPolicy::originAllowed(const QString& origin) const
{
    const QString normalised = normaliseOrigin(origin);
    // A missing origin is a client that is not a browser page; it is refused
    // like any other origin that is not listed.
    return !normalised.isEmpty() && m_allowedOrigins.contains(normalised);
}

bool WebSocketPolicy::tokenMatches(const QString& given) const
{
    const QByteArray a = given.toUtf8();
    const QByteArray b = m_token.toUtf8();
    if (b.isEmpty() || a.size() != b.size())
        return false;
    return CRYPTO_memcmp(a.constData(), b.constData(), static_cast<size_t>(a.size())) == 0;
}

bool WebSocketPolicy::hostAllowed(const QByteArray& hostHeader) const
{
    const QByteArray host = hostHeader.trimmed().toLower();
    const QByteArray port = QByteArray::number(m_port);
    return host == "127.0.0.1:" + port || host == "localhost:" + port;
}

QString WebSocketPolicy::handshakeRefusal(const QList<QByteArray>& origins, const QList<QByteArray>& hosts) const
{
    if (origins.size() > 1)
        return QStringLiteral("repeated Origin header");
    if (hosts.size() > 1)
        return QStringLiteral("repeated Host header");
    const QString origin = origins.isEmpty() ? QString() : QString::fromUtf8(origins.first());
    if (!originAllowed(origin))
        return QStringLiteral("origin not allowed: \"%1\"").arg(shown(origin));
    return QString();
}

QString WebSocketPolicy::refusal(const QUrl& requestUrl, const QByteArray& hostHeader, const QString& origin) const
{
    if (!originAllowed(origin))
        return QStringLiteral("origin not allowed: \"%1\"").arg(shown(origin));
    if (!hostAllowed(hostHeader))
        return QStringLiteral("Host header not allowed: \"%1\"").arg(shown(QString::fromLatin1(hostHeader)));
    const QString path = requestUrl.path();
    if (!path.isEmpty() && path != QLatin1String("/"))
        return QStringLiteral("unknown path \"%1\"").arg(shown(path));
    const QUrlQuery query(requestUrl);
    const QStringList tokens = query.allQueryItemValues(QStringLiteral("token"), QUrl::FullyDecoded);
    if (tokens.size() != 1 || !tokenMatches(tokens.first()))
        return QStringLiteral("missing or wrong token");
    return QString();
}

QString WebSocketPolicy::randomToken()
{
    std::array<quint32, 4> words{};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    QString token;
    for (quint32 word : words)
        token += QStringLiteral("%1").arg(word, 8, 16, QLatin1Char('0'));
    return token;
}

}  // namespace host
