// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/HostOptions.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

bool parse(QStringList args, host::HostOptions& options, QString* errorOut = nullptr)
{
    args.prepend(QStringLiteral("velk-dvr-host"));
    QString error;
    const bool ok = host::parseHostOptions(args, options, error);
    if (errorOut != nullptr)
        *errorOut = error;
    return ok;
}

TEST(HostOptions, DefaultsServeTheRecorderPageAt960x540)
{
    host::HostOptions options;
    ASSERT_TRUE(parse({QStringLiteral("--ws-port"), QStringLiteral("0")}, options));
    ASSERT_TRUE(options.wsPort.has_value());
    EXPECT_EQ(*options.wsPort, 0);
    EXPECT_FALSE(options.stdio);
    EXPECT_EQ(options.controlSize, QSize(960, 540));
    EXPECT_EQ(options.effectiveOrigins(), QStringList{QStringLiteral("http://127.0.0.1:8080")});

    ASSERT_TRUE(parse({QStringLiteral("--stdio"), QStringLiteral("--recorder-http-port"), QStringLiteral("9000")},
                      options));
    EXPECT_EQ(options.effectiveOrigins(), QStringList{QStringLiteral("http://127.0.0.1:9000")});
}

TEST(HostOptions, ReadsEveryOption)
{
    host::HostOptions options;
    ASSERT_TRUE(parse({QStringLiteral("--stdio"), QStringLiteral("--ws-port"), QStringLiteral("8765"),
                       QStringLiteral("--allow-origin"), QStringLiteral("http://a.example:1"),
                       QStringLiteral("--allow-origin"), QStringLiteral("https://b.example"), QStringLiteral("--token"),
                       QStringLiteral("secret-token"), QStringLiteral("--size"), QStringLiteral("640x360"),
                       QStringLiteral("--headless")},
                      options));
    EXPECT_TRUE(options.stdio);
    EXPECT_EQ(*options.wsPort, 8765);
    EXPECT_EQ(options.effectiveOrigins(),
              (QStringList{QStringLiteral("http://a.example:1"), QStringLiteral("https://b.example")}));
    EXPECT_EQ(options.token, QStringLiteral("secret-token"));
    EXPECT_EQ(options.controlSize, QSize(640, 360));
    EXPECT_TRUE(options.headless);
}

TEST(HostOptions, PageLimitsGraceAndPixelRatio)
{
    host::HostOptions options;
    ASSERT_TRUE(parse({QStringLiteral("--ws-port"), QStringLiteral("0")}, options));
    EXPECT_EQ(options.maxPages, 4);
    EXPECT_EQ(options.resumeGraceMs, 10000);
    EXPECT_EQ(options.devicePixelRatio, 1.0);
    ASSERT_TRUE(parse({QStringLiteral("--ws-port"), QStringLiteral("0"), QStringLiteral("--max-pages"),
                       QStringLiteral("64"), QStringLiteral("--resume-grace-ms"), QStringLiteral("0"),
                       QStringLiteral("--dpr"), QStringLiteral("1.6")},
                      options));
    EXPECT_EQ(options.maxPages, 64);
    EXPECT_EQ(options.resumeGraceMs, 0);
    EXPECT_EQ(options.devicePixelRatio, 1.5);  // quarter steps
    // A page process needs nothing else to serve.
    ASSERT_TRUE(parse({QStringLiteral("--page-child"), QStringLiteral("7")}, options));
    EXPECT_EQ(options.pageChannelFd, 7);
    EXPECT_EQ(host::boundedPixelRatio(2.9), 3.0);
    EXPECT_EQ(host::boundedPixelRatio(9), 3.0);
    EXPECT_EQ(host::boundedPixelRatio(std::nan("")), 1.0);
}

TEST(HostOptions, RefusesMalformedValues)
{
    const QList<QStringList> bad = {
        {},  // serves nothing
        {QStringLiteral("--stdio"), QStringLiteral("--size"), QStringLiteral("960")},
        {QStringLiteral("--stdio"), QStringLiteral("--size"), QStringLiteral("0x540")},
        {QStringLiteral("--stdio"), QStringLiteral("--size"), QStringLiteral("99999x540")},
        {QStringLiteral("--ws-port"), QStringLiteral("65536")},
        {QStringLiteral("--ws-port"), QStringLiteral("-1")},
        {QStringLiteral("--stdio"), QStringLiteral("--token"), QStringLiteral("short")},
        {QStringLiteral("--stdio"), QStringLiteral("--token"), QStringLiteral("has space in it")},
        {QStringLiteral("--stdio"), QStringLiteral("--allow-origin"), QStringLiteral("127.0.0.1:8080")},
        {QStringLiteral("--stdio"), QStringLiteral("--allow-origin"), QStringLiteral("http://x.example/page")},
        {QStringLiteral("--stdio"), QStringLiteral("--bogus")},
        {QStringLiteral("--stdio"), QStringLiteral("extra")},
        {QStringLiteral("--ws-port"), QStringLiteral("0"), QStringLiteral("--max-pages"), QStringLiteral("0")},
        {QStringLiteral("--ws-port"), QStringLiteral("0"), QStringLiteral("--max-pages"), QStringLiteral("65")},
        {QStringLiteral("--ws-port"), QStringLiteral("0"), QStringLiteral("--resume-grace-ms"), QStringLiteral("-1")},
        {QStringLiteral("--stdio"), QStringLiteral("--dpr"), QStringLiteral("0.9")},
        {QStringLiteral("--stdio"), QStringLiteral("--dpr"), QStringLiteral("nan")},
        {QStringLiteral("--page-child"), QStringLiteral("2")},
        {QStringLiteral("--page-child"), QStringLiteral("5"), QStringLiteral("--stdio")},
    };
    for (const QStringList& args : bad) {
        host::HostOptions options;
        QString error;
        EXPECT_FALSE(parse(args, options, &error)) << qPrintable(args.join(QLatin1Char(' ')));
        EXPECT_FALSE(error.isEmpty());
    }
}

}  // namespace
