// SPDX-License-Identifier: GPL-3.0-or-later
// velk-recorder closes device-protocol connections that never finish their
// handshake (no hello, half a hello, no login, no stream opened) after the
// handshake time, and keeps the ones that did.
#include "HttpClient.h"
#include "RawDeviceClient.h"
#include "RecorderProcess.h"

#include "proto/FrameCodec.h"
#include "proto/Hello.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

using nettest::httpGet;
using nettest::httpPost;
using nettest::RawDeviceClient;
using nettest::RecorderProcess;
namespace proto = velk::proto;

namespace {

using Clock = std::chrono::steady_clock;

std::string helloFrame(const char* role)
{
    proto::ClientHello hello;
    hello.role = role;
    return proto::encodeFrame(proto::FrameType::Json, proto::encodeMessage(proto::makeHello(hello)));
}

}  // namespace

class RecorderHandshake : public ::testing::TestWithParam<int> {};

TEST_P(RecorderHandshake, UnfinishedHandshakesAreClosedAfterTheHandshakeTime)
{
    const int timeoutMs = GetParam();
    // Heartbeats so rare that neither they nor the silence limit can be what
    // closes a connection here: only the handshake time can.
    RecorderProcess recorder({"--handshake-timeout-ms", std::to_string(timeoutMs), "--heartbeat-ms", "30000",
                              "--heartbeat-timeout-ms", "60000"});
    ASSERT_TRUE(recorder.started()) << recorder.firstLine();

    const auto begin = Clock::now();
    RawDeviceClient loggedIn(recorder.devicePort());
    ASSERT_EQ(loggedIn.login("admin", "admin"), 0);
    RawDeviceClient silent(recorder.devicePort());
    RawDeviceClient halfHello(recorder.devicePort());
    const std::string hello = helloFrame(proto::kRoleControl);
    ASSERT_TRUE(halfHello.sendBytes(hello.substr(0, hello.size() / 2)));
    RawDeviceClient noLogin(recorder.devicePort());
    ASSERT_TRUE(noLogin.sendBytes(hello));
    ASSERT_TRUE(noLogin.readMessage());
    RawDeviceClient noStream(recorder.devicePort());
    ASSERT_TRUE(noStream.sendBytes(helloFrame(proto::kRoleMedia)));
    ASSERT_TRUE(noStream.readMessage());

    // Generous bounds: the recorder may be slow, but far below the
    // heartbeat interval.
    const int boundMs = timeoutMs + 10000;
    EXPECT_TRUE(silent.closedWithin(boundMs));
    EXPECT_TRUE(halfHello.closedWithin(boundMs));
    EXPECT_TRUE(noLogin.closedWithin(boundMs));
    EXPECT_TRUE(noStream.closedWithin(boundMs));
    // None of them before its time was up.
    EXPECT_GE(Clock::now() - begin, std::chrono::milliseconds(timeoutMs));

    // The logged-in connection stays and is served.
    const auto status = httpGet(recorder.httpPort(), "/sim/status").json;
    EXPECT_EQ(status["connections"].asUInt(), 1u);
    EXPECT_EQ(status["logins"].asUInt(), 1u);
    EXPECT_EQ(status["droppedForSilence"].asUInt(), 0u);
    EXPECT_EQ(httpPost(recorder.httpPort(), "/sim/notify?kind=3").json["sent"].asUInt(), 1u);
    const auto notification = loggedIn.readMessage(5000);
    ASSERT_TRUE(notification);
    EXPECT_EQ(notification->name, "device");
}

INSTANTIATE_TEST_SUITE_P(Timeouts, RecorderHandshake, ::testing::Values(200, 1500));

TEST(RecorderHandshakeTime, ATimeGivenIsChecked)
{
    for (const char* bad : {"0", "9", "600001", "x", ""})
        EXPECT_EQ(nettest::runRecorderForExitCode({"--handshake-timeout-ms", bad}), 2) << bad;
}
