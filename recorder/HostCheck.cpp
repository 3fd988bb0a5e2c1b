// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostCheck.h"

#include <boost/asio/ip/address.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>

namespace velk::recorder {

namespace http = boost::beast::http;

namespace {

std::string lowerCase(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

bool isLoopback(std::string_view name)
{
    if (name == "localhost")
        return true;
    boost::system::error_code error;
    if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
        const auto v6 = boost::asio::ip::make_address_v6(std::string(name.substr(1, name.size() - 2)), error);
        return !error && v6.is_loopback();
    }
    // Dotted quads only: inet_pton takes no short or octal forms.
    const auto v4 = boost::asio::ip::make_address_v4(std::string(name), error);
    return !error && v4.is_loopback();
}

struct HostAndPort {
    std::string_view name;
    std::optional<std::uint16_t> port;  // none when the text names none
};

// "name[:port]" or "[v6][:port]"; nullopt when malformed.
std::optional<HostAndPort> splitHost(std::string_view text)
{
    HostAndPort out;
    std::string_view rest;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        out.name = text.substr(0, close + 1);
        rest = text.substr(close + 1);
    } else {
        const auto colon = text.find(':');
        out.name = text.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view{} : text.substr(colon);
    }
    if (out.name.empty() || out.name == "[]")
        return std::nullopt;
    if (rest.empty())
        return out;
    if (rest.front() != ':' || rest.size() < 2 || rest.size() > 6)
        return std::nullopt;
    rest.remove_prefix(1);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (error != std::errc() || end != rest.data() + rest.size() || value == 0 || value > 65535)
        return std::nullopt;
    out.port = static_cast<std::uint16_t>(value);
    return out;
}

}  // namespace

bool validHostName(std::string_view text)
{
    if (text.empty() || text.size() > 253)
        return false;
    if (text.front() == '[') {
        boost::system::error_code error;
        if (text.size() < 3 || text.back() != ']')
            return false;
        boost::asio::ip::make_address_v6(std::string(text.substr(1, text.size() - 2)), error);
        return !error;
    }
    return std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return std::isalnum(c) || c == '-' || c == '.'; });
}

AllowedHosts::AllowedHosts(const std::vector<std::string>& names)
{
    for (const auto& name : names)
        m_names.push_back(lowerCase(name));
}

bool AllowedHosts::nameAllowed(std::string_view name) const
{
    const std::string lower = lowerCase(name);
    return isLoopback(lower) || std::find(m_names.begin(), m_names.end(), lower) != m_names.end();
}

bool AllowedHosts::hostAllowed(std::string_view host, std::uint16_t port) const
{
    const auto parts = splitHost(host);
    return parts && parts->port.value_or(port) == port && nameAllowed(parts->name);
}

bool AllowedHosts::originAllowed(std::string_view origin, std::uint16_t port) const
{
    constexpr std::string_view scheme = "http://";
    if (origin.size() <= scheme.size() || lowerCase(origin.substr(0, scheme.size())) != scheme)
        return false;
    const auto parts = splitHost(origin.substr(scheme.size()));
    return parts && parts->port.value_or(80) == port && nameAllowed(parts->name);
}

std::optional<RequestRefusal> checkRequestHosts(const AllowedHosts& allowed,
                                                const http::request<http::string_body>& request, std::uint16_t port)
{
    const auto hosts = request.count(http::field::host);
    if (hosts != 1)
        return RequestRefusal{http::status::bad_request, hosts == 0 ? "the request has no Host header"
                                                                    : "the request has more than one Host header"};
    const auto origins = request.count(http::field::origin);
    if (origins > 1)
        return RequestRefusal{http::status::bad_request, "the request has more than one Origin header"};
    const auto hostValue = request[http::field::host];
    const std::string_view host(hostValue.data(), hostValue.size());
    if (!allowed.hostAllowed(host, port))
        return RequestRefusal{http::status::forbidden,
                              "Host '" + std::string(host) + "' is not a name of this recorder (start it with "
                              "--http-name NAME to be reached by another name)"};
    if (origins == 1) {
        const auto originValue = request[http::field::origin];
        const std::string_view origin(originValue.data(), originValue.size());
        if (!allowed.originAllowed(origin, port))
            return RequestRefusal{http::status::forbidden,
                                  "requests from other sites are refused (Origin '" + std::string(origin) + "')"};
    }
    return std::nullopt;
}

}  // namespace velk::recorder
