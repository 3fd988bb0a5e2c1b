// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/WebSocketPolicy.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

const QString kToken = QStringLiteral("0123456789abcdef0123456789abcdef");

host::WebSocketPolicy policyOnPort(quint16 port)
{
    host::WebSocketPolicy policy({QStringLiteral("http://127.0.0.1:8080/")}, kToken);
    policy.setPort(port);
    return policy;
}

QUrl urlWithToken(const QString& token)
{
    return QUrl(QStringLiteral("ws://127.0.0.1:5000/?token=") + token);
}

TEST(WebSocketPolicy, AcceptsOnlyListedOrigins)
{
    const host::WebSocketPolicy policy = policyOnPort(5000);
    EXPECT_TRUE(policy.originAllowed(QStringLiteral("http://127.0.0.1:8080")));
    EXPECT_TRUE(policy.originAllowed(QStringLiteral("HTTP://127.0.0.1:8080/")));
    EXPECT_FALSE(policy.originAllowed(QStringLiteral("http://127.0.0.1:8081")));
    EXPECT_FALSE(policy.originAllowed(QStringLiteral("http://127.0.0.1:8080.evil.example")));
    EXPECT_FALSE(policy.originAllowed(QStringLiteral("null")));
    EXPECT_FALSE(policy.originAllowed(QString()));
}

TEST(WebSocketPolicy, AHandshakeNeedsExactlyOneAllowedOriginAndAtMostOneHost)
{
    const host::WebSocketPolicy policy = policyOnPort(5000);
    const QByteArray page = "http://127.0.0.1:8080";
    const QByteArray host = "127.0.0.1:5000";
    EXPECT_TRUE(policy.handshakeRefusal({page}, {host}).isEmpty());
    EXPECT_FALSE(policy.handshakeRefusal({}, {host}).isEmpty());
    EXPECT_FALSE(policy.handshakeRefusal({"http://evil.example"}, {host}).isEmpty());
    // Repeats are refused whichever comes first, and even when equal.
    EXPECT_FALSE(policy.handshakeRefusal({page, "http://evil.example"}, {host}).isEmpty());
    EXPECT_FALSE(policy.handshakeRefusal({"http://evil.example", page}, {host}).isEmpty());
    EXPECT_FALSE(policy.handshakeRefusal({page, page}, {host}).isEmpty());
    EXPECT_FALSE(policy.handshakeRefusal({page}, {host, host}).isEmpty());
    EXPECT_FALSE(policy.handshakeRefusal({page}, {host, "evil.example:5000"}).isEmpty());
}

TEST(WebSocketPolicy, RequiresTokenHostAndPath)
{
    const host::WebSocketPolicy policy = policyOnPort(5000);
    const QString origin = QStringLiteral("http://127.0.0.1:8080");
    EXPECT_TRUE(policy.refusal(urlWithToken(kToken), "127.0.0.1:5000", origin).isEmpty());
    EXPECT_TRUE(policy.refusal(urlWithToken(kToken), "LocalHost:5000", origin).isEmpty());

    EXPECT_FALSE(policy.refusal(urlWithToken(kToken), "127.0.0.1:5000", QStringLiteral("http://evil.example")).isEmpty());
    EXPECT_FALSE(policy.refusal(QUrl(QStringLiteral("ws://127.0.0.1:5000/")), "127.0.0.1:5000", origin).isEmpty());
    EXPECT_FALSE(policy.refusal(urlWithToken(kToken.left(31)), "127.0.0.1:5000", origin).isEmpty());
    EXPECT_FALSE(policy.refusal(urlWithToken(kToken + QLatin1Char('0')), "127.0.0.1:5000", origin).isEmpty());
    EXPECT_FALSE(policy.refusal(urlWithToken(kToken + QStringLiteral("&token=x")), "127.0.0.1:5000", origin).isEmpty());
    EXPECT_FALSE(policy.refusal(urlWithToken(kToken), "evil.example:5000", origin).isEmpty());
    EXPECT_FALSE(policy.refusal(urlWithToken(kToken), "127.0.0.1:5001", origin).isEmpty());
    EXPECT_FALSE(policy.refusal(urlWithToken(kToken), "127.0.0.1", origin).isEmpty());
    EXPECT_FALSE(policy.refusal(urlWithToken(kToken), "", origin).isEmpty());
    EXPECT_FALSE(
        policy.refusal(QUrl(QStringLiteral("ws://127.0.0.1:5000/other?token=") + kToken), "127.0.0.1:5000", origin)
            .isEmpty());
}

TEST(WebSocketPolicy, RandomTokensAre32HexDigitsAndDiffer)
{
    const QString a = host::WebSocketPolicy::randomToken();
    const QString b = host::WebSocketPolicy::randomToken();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(a).hasMatch()) << qPrintable(a);
    EXPECT_NE(a, b);
}

TEST(WebSocketPolicy, AnEmptyTokenMatchesNothing)
{
    host::WebSocketPolicy policy({QStringLiteral("http://127.0.0.1:8080")}, QString());
    policy.setPort(5000);
    EXPECT_FALSE(policy.refusal(QUrl(QStringLiteral("ws://127.0.0.1:5000/?token=")), "127.0.0.1:5000",
                                QStringLiteral("http://127.0.0.1:8080"))
                     .isEmpty());
}

}  // namespace
