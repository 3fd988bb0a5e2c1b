// SPDX-License-Identifier: GPL-3.0-or-later
// The page's TCP connection as the host sets it up, accepted here or
// adopted from the process that accepted it.
#include "host/WebSocketConnection.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace {

int noDelay(int fd)
{
    int value = -1;
    socklen_t length = sizeof value;
    return getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &value, &length) == 0 ? value : -1;
}

// Small messages (answers, events, a frame's last bytes) must not wait for
// the page's delayed ACK of the message before: Nagle's algorithm is off,
// whichever way the connection came.
TEST(WebSocketConnection, SmallMessagesDoNotWaitForThePagesAcknowledgement)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QTcpSocket page;
    QTcpSocket otherPage;
    page.connectToHost(QHostAddress::LocalHost, server.serverPort());
    otherPage.connectToHost(QHostAddress::LocalHost, server.serverPort());
    ASSERT_TRUE(server.waitForNewConnection(5000));
    QTcpSocket* accepted = server.nextPendingConnection();
    ASSERT_NE(accepted, nullptr);
    const int acceptedFd = static_cast<int>(accepted->socketDescriptor());
    ASSERT_EQ(noDelay(acceptedFd), 0) << "a fresh socket delays small segments";
    const auto judge = [](const host::WebSocketRequest&, QByteArray&) { return 0; };
    std::unique_ptr<host::WebSocketConnection> connection(
        new host::WebSocketConnection(accepted, 1 << 20, judge));
    EXPECT_EQ(noDelay(acceptedFd), 1);

    ASSERT_TRUE(server.hasPendingConnections() || server.waitForNewConnection(5000));
    QTcpSocket* second = server.nextPendingConnection();
    ASSERT_NE(second, nullptr);
    const int fd = dup(static_cast<int>(second->socketDescriptor()));
    delete second;
    ASSERT_EQ(noDelay(fd), 0);
    std::unique_ptr<host::WebSocketConnection> adopted(host::WebSocketConnection::adopt(fd, QByteArray(), 1 << 20));
    ASSERT_NE(adopted, nullptr);
    EXPECT_EQ(noDelay(fd), 1);
}

}  // namespace
