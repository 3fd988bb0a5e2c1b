// SPDX-License-Identifier: GPL-3.0-or-later
#include "Listener.h"

namespace velk::recorder {

namespace net = boost::asio;
using net::ip::tcp;

bool openListener(tcp::acceptor& acceptor, const net::ip::address& address, std::uint16_t port,
                  std::string_view what, std::string& message)
{
    boost::system::error_code error;
    const tcp::endpoint endpoint(address, port);
    acceptor.open(endpoint.protocol(), error);
    if (!error)
        acceptor.set_option(net::socket_base::reuse_address(true), error);
    if (!error)
        acceptor.bind(endpoint, error);
    if (!error)
        acceptor.listen(net::socket_base::max_listen_connections, error);
    if (error) {
        message = std::string(what) + " port " + std::to_string(port) + ": " + error.message();
        return false;
    }
    return true;
}

std::uint16_t listeningPort(const tcp::acceptor& acceptor)
{
    boost::system::error_code error;
    const auto endpoint = acceptor.local_endpoint(error);
    return error ? 0 : endpoint.port();
}

}  // namespace velk::recorder
