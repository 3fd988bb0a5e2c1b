// SPDX-License-Identifier: GPL-3.0-or-later
// Login through the real network library (libTOVR). These tests need the
// real library: while libTOVR is the placeholder that refuses every
// command, INIT fails and they are skipped with a message saying so.
#include "device/CommandEnvelope.h"
#include "device/DeviceSession.h"
#include "platform/Debug.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// A loopback port on which nothing listens: bound, then closed again.
std::uint16_t closedLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return 1;
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

class NetworkLibraryLogin : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!sendCommand(CommandEnvelope("INIT")).ok()) {
            GTEST_SKIP() << "needs the real network library: libTOVR refused INIT (placeholder build)";
        }
        m_initialised = true;
    }
    void TearDown() override
    {
        if (m_initialised) {
            sendCommand(CommandEnvelope("UNINIT"));
        }
    }

private:
    bool m_initialised = false;
};

}  // namespace

TEST_F(NetworkLibraryLogin, UnreachableRecorderGivesTheUnreachableCode)
{
    platform::takeDebugLines();
    DeviceSession session;
    session.setLoginParameters("127.0.0.1", closedLoopbackPort(), "admin", "", 0);
    EXPECT_EQ(session.login(), DeviceSession::kUnreachableCode);
    EXPECT_EQ(session.deviceHandle(), 0u);
    const std::vector<std::string> lines = platform::takeDebugLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "check Login done  error-code=11111111\n"), lines.end());
}
