// SPDX-License-Identifier: GPL-3.0-or-later
// The names the recorder's web server answers to, and the check every
// request passes before it is served. A page of another site whose name an
// attacker points at 127.0.0.1 (DNS rebinding) still sends its own name in
// Host and Origin, so a request is served only when its Host names the
// recorder and its Origin, when there is one, is a page of the recorder.
#pragma once

#include <boost/beast/http.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk::recorder {

class AllowedHosts {
public:
    // Loopback names and addresses always (localhost, 127.0.0.0/8, [::1]),
    // plus these names (host names, IPv4 addresses or [IPv6] addresses;
    // compared without regard to case).
    explicit AllowedHosts(const std::vector<std::string>& names = {});

    // A host without port, IPv6 addresses in brackets.
    bool nameAllowed(std::string_view name) const;
    // A Host header, "name[:port]": an allowed name, and the server's port
    // when it names one. Browsers always name the port unless it is 80, so a
    // Host without one comes from a program, not a page; the name is what
    // a rebinding page cannot fake.
    bool hostAllowed(std::string_view host, std::uint16_t port) const;
    // An Origin header, "http://name[:port]" with an allowed name and the
    // server's port (no port means 80).
    bool originAllowed(std::string_view origin, std::uint16_t port) const;

private:
    std::vector<std::string> m_names;  // lower case
};

// Whether text can be given as an extra name: a host name (letters, digits,
// '-' and '.'), an IPv4 address or an IPv6 address in brackets.
bool validHostName(std::string_view text);

struct RequestRefusal {
    boost::beast::http::status status;
    std::string message;
};

// Why a request must not be served, or nullopt when it may be: a missing
// Host or two Host or two Origin headers (400), a Host or Origin that is
// not the recorder's (403). port is the web server's own.
std::optional<RequestRefusal> checkRequestHosts(
    const AllowedHosts& allowed, const boost::beast::http::request<boost::beast::http::string_body>& request,
    std::uint16_t port);

}  // namespace velk::recorder
