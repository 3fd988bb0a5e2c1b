// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/HostOptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace host {

namespace {

constexpr int kMinSide = 16;
constexpr int kMaxSide = 8192;

bool parsePort(const QString& text, bool allowZero, quint16& port)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value > 65535 || (!allowZero && value == 0))
        return false;
    port = static_cast<quint16>(value);
    return true;
}

bool parseSize(const QString& text, QSize& size)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,5})[xX]([0-9]{1,5})$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return false;
    const int w = m.captured(1).toInt();
    const int h = m.captured(2).toInt();
    if (w < kMinSide || h < kMinSide || w > kMaxSide || h > kMaxSide)
        return false;
    size = QSize(w, h);
    return true;
}

bool validOrigin(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
           && !url.host().isEmpty() && (url.path().isEmpty() || url.path() == QLatin1String("/"))
           && !url.hasQuery() && !url.hasFragment();
}

bool validToken(const QString& text)
{
    // URL-safe characters only, so that the token needs no escaping.
    static const QRegularExpression form(QStringLiteral("^[A-Za-z0-9._~-]{8,256}$"));
    return form.match(text).hasMatch();
}

}  // namespace

double boundedPixelRatio(double ratio)
{
    if (!(ratio >= 1.0))  // NaN too
        return 1.0;
    return std::round(std::min(ratio, 3.0) * 4.0) / 4.0;
}

QStringList HostOptions::effectiveOrigins() const
{
    if (!allowedOrigins.isEmpty())
        return allowedOrigins;
    return {QStringLiteral("http://127.0.0.1:%1").arg(recorderHttpPort)};
}

QString hostUsage()
{
    return QStringLiteral(
        "Usage: velk-dvr-host [--stdio] [--ws-port N] [options]\n"
        "Holds the VELK DVR control and serves its automation methods and events\n"
        "as JSON-RPC 2.0.\n"
        "\n"
        "  --stdio                  one request per line on stdin, one response or\n"
        "                           event per line on stdout; logs on stderr\n"
        "  --ws-port N              a WebSocket on 127.0.0.1:N for pages (0: any free\n"
        "                           port); its URL, with this launch's token, is\n"
        "                           printed on stderr and, without --stdio, as the\n"
        "                           first line on stdout\n"
        "  --allow-origin URL       a page origin allowed to connect (repeatable;\n"
        "                           default: the recorder's page, http://127.0.0.1:8080)\n"
        "  --recorder-http-port P   the recorder page's port for the default origin\n"
        "  --token T                the token pages must present (default: random)\n"
        "  --size WxH               the control's size (default 960x540)\n"
        "  --headless               no window on the desktop (Qt's offscreen platform);\n"
        "                           the default when there is no display\n"
        "  --max-pages N            pages served at once, each with a control of its\n"
        "                           own in a process of its own (default 4, 1..64)\n"
        "  --dpr R                  device pixels per control pixel (1..3, default 1):\n"
        "                           the headless control draws that sharp\n"
        "  --resume-grace-ms N      how long a page's control waits for its page to\n"
        "                           come back (a reload) before it logs out and ends\n"
        "                           (default 10000, 0..600000)\n"
        "  --help                   this text\n");
}

bool parseHostOptions(const QStringList& arguments, HostOptions& options, QString& error)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption stdioOption(QStringLiteral("stdio"));
    const QCommandLineOption wsPortOption(QStringLiteral("ws-port"), QString(), QStringLiteral("N"));
    const QCommandLineOption originOption(QStringLiteral("allow-origin"), QString(), QStringLiteral("URL"));
    const QCommandLineOption recorderPortOption(QStringLiteral("recorder-http-port"), QString(), QStringLiteral("P"));
    const QCommandLineOption tokenOption(QStringLiteral("token"), QString(), QStringLiteral("T"));
    const QCommandLineOption sizeOption(QStringLiteral("size"), QString(), QStringLiteral("WxH"));
    const QCommandLineOption headlessOption(QStringLiteral("headless"));
    const QCommandLineOption maxPagesOption(QStringLiteral("max-pages"), QString(), QStringLiteral("N"));
    const QCommandLineOption graceOption(QStringLiteral("resume-grace-ms"), QString(), QStringLiteral("N"));
    const QCommandLineOption pageChildOption(QStringLiteral("page-child"), QString(), QStringLiteral("FD"));
    const QCommandLineOption dprOption(QStringLiteral("dpr"), QString(), QStringLiteral("R"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("help"), QStringLiteral("h")});
    parser.addOptions({stdioOption, wsPortOption, originOption, recorderPortOption, tokenOption, sizeOption,
                       headlessOption, maxPagesOption, graceOption, pageChildOption, dprOption, helpOption});
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first());
        return false;
    }
    options = HostOptions{};
    options.help = parser.isSet(helpOption);
    if (options.help)
        return true;

    options.stdio = parser.isSet(stdioOption);
    options.headless = parser.isSet(headlessOption);
    if (parser.isSet(wsPortOption)) {
        quint16 port = 0;
        if (!parsePort(parser.value(wsPortOption), true, port)) {
            error = QStringLiteral("--ws-port takes a port number 0..65535");
            return false;
        }
        options.wsPort = port;
    }
    if (parser.isSet(recorderPortOption)
        && !parsePort(parser.value(recorderPortOption), false, options.recorderHttpPort)) {
        error = QStringLiteral("--recorder-http-port takes a port number 1..65535");
        return false;
    }
    for (const QString& origin : parser.values(originOption)) {
        if (!validOrigin(origin)) {
            error = QStringLiteral("--allow-origin takes an origin such as http://127.0.0.1:8080, not %1").arg(origin);
            return false;
        }
        options.allowedOrigins.append(origin);
    }
    if (parser.isSet(tokenOption)) {
        options.token = parser.value(tokenOption);
        if (!validToken(options.token)) {
            error = QStringLiteral("--token takes 8 to 256 characters of A-Z a-z 0-9 . _ ~ -");
            return false;
        }
    }
    if (parser.isSet(sizeOption) && !parseSize(parser.value(sizeOption), options.controlSize)) {
        error = QStringLiteral("--size takes WxH, each side %1..%2").arg(kMinSide).arg(kMaxSide);
        return false;
    }
    const auto parseBounded = [&parser](const QCommandLineOption& option, int low, int high, int& value) {
        if (!parser.isSet(option))
            return true;
        bool ok = false;
        const int parsed = parser.value(option).toInt(&ok);
        if (!ok || parsed < low || parsed > high)
            return false;
        value = parsed;
        return true;
    };
    if (!parseBounded(maxPagesOption, 1, 64, options.maxPages)) {
        error = QStringLiteral("--max-pages takes a number 1..64");
        return false;
    }
    if (!parseBounded(graceOption, 0, 600000, options.resumeGraceMs)) {
        error = QStringLiteral("--resume-grace-ms takes a number 0..600000");
        return false;
    }
    if (parser.isSet(dprOption)) {
        bool ok = false;
        const double ratio = parser.value(dprOption).toDouble(&ok);
        if (!ok || !(ratio >= 1.0 && ratio <= 3.0)) {
            error = QStringLiteral("--dpr takes a number 1..3");
            return false;
        }
        options.devicePixelRatio = boundedPixelRatio(ratio);
    }
    // Set by the host for its page processes only.
    if (!parseBounded(pageChildOption, 3, 1 << 20, options.pageChannelFd)) {
        error = QStringLiteral("--page-child takes a descriptor number");
        return false;
    }
    if (options.pageChannelFd >= 0) {
        if (options.stdio || options.wsPort) {
            error = QStringLiteral("--page-child serves one page only: no --stdio or --ws-port with it");
            return false;
        }
        return true;
    }
    if (!options.stdio && !options.wsPort) {
        error = QStringLiteral("nothing to serve: give --stdio, --ws-port N or both");
        return false;
    }
    return true;
}

}  // namespace host
