// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a listening TCP port, shared by the device and HTTP servers.
#pragma once

#include <boost/asio/ip/tcp.hpp>

#include <cstdint>
#include <string>
#include <string_view>

namespace velk::recorder {

// Opens, binds (address reuse on, so a restarted recorder gets its port
// back at once) and listens. On failure message says which port ("<what>
// port N: reason") and false is returned.
bool openListener(boost::asio::ip::tcp::acceptor& acceptor, const boost::asio::ip::address& address,
                  std::uint16_t port, std::string_view what, std::string& message);

// The port an acceptor listens on, or 0 when it is closed.
std::uint16_t listeningPort(const boost::asio::ip::tcp::acceptor& acceptor);

}  // namespace velk::recorder
