// SPDX-License-Identifier: GPL-3.0-or-later
// libTOVR through its one entry point, against a real velk-recorder.
#include "CommandTexts.h"
#include "DeviceCallbackLog.h"
#include "HttpClient.h"
#include "RecorderProcess.h"

#include "TOVR.h"

#include "proto/DetailCode.h"
#include "proto/JsonText.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <utility>
#include <vector>
#include <sstream>
#include <thread>

std::string tovrTracePath();

using nettest::call;
using nettest::httpGet;
using nettest::loginText;
using nettest::logoutText;
using nettest::httpPost;
using nettest::RecorderProcess;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Polls the recorder's status until member equals value.
bool waitForStatus(std::uint16_t httpPort, const char* member, unsigned value, int timeoutMs = 5000)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        if (httpGet(httpPort, "/sim/status").json[member].asUInt() == value)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}  // namespace

class Tovr : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_recorder = std::make_unique<RecorderProcess>(
            std::vector<std::string>{"--user", "admin:admin", "--user", "guest:pw", "--heartbeat-ms", "200"});
    }
    static void TearDownTestSuite() { s_recorder.reset(); }
    void SetUp() override
    {
        ASSERT_TRUE(s_recorder->started()) << s_recorder->firstLine();
        EXPECT_EQ(call(R"({"KEY":"INIT"})"), 0);
    }
    void TearDown() override { httpPost(httpPort(), "/sim/resume"); }

    std::uint16_t port() const { return s_recorder->devicePort(); }
    std::uint16_t httpPort() const { return s_recorder->httpPort(); }
    std::uint32_t login(std::uint32_t userData, const std::string& user = "admin", const std::string& password = "admin")
    {
        std::uint32_t handle = 0;
        EXPECT_EQ(call(loginText(port(), user, password, userData), &handle), 0);
        EXPECT_NE(handle, 0u);
        return handle;
    }

    static inline std::unique_ptr<RecorderProcess> s_recorder;
};

TEST_F(Tovr, LoginAndLogout)
{
    const std::uint32_t handle = login(101);
    EXPECT_TRUE(waitForStatus(httpPort(), "logins", 1));
    EXPECT_EQ(call(logoutText(handle)), 0);
    EXPECT_TRUE(waitForStatus(httpPort(), "connections", 0));
    EXPECT_EQ(httpGet(httpPort(), "/sim/status").json["logoutsTotal"].asUInt(), 1u);
    // The handle is gone.
    EXPECT_EQ(call(logoutText(handle)), 1);
}

TEST_F(Tovr, LoginByHostName)
{
    std::uint32_t handle = 0;
    ASSERT_EQ(call(loginText(port(), "admin", "admin", 102, "localhost"), &handle), 0);
    EXPECT_EQ(call(logoutText(handle)), 0);
}

TEST_F(Tovr, RefusedLoginsCarryDistinctDetails)
{
    std::uint32_t handle = 0;
    std::uint32_t detail = 0;
    EXPECT_EQ(call(loginText(port(), "admin", "wrong", 103), &handle, &detail), 7);
    EXPECT_EQ(detail, static_cast<std::uint32_t>(velk::proto::kDetailWrongPassword));
    EXPECT_EQ(handle, 0u);
    detail = 0;
    EXPECT_EQ(call(loginText(port(), "nobody", "admin", 103), &handle, &detail), 7);
    EXPECT_EQ(detail, static_cast<std::uint32_t>(velk::proto::kDetailUnknownUser));
    // An empty password (what a too-long password text turns into) is just wrong.
    EXPECT_EQ(call(loginText(port(), "guest", "", 103), &handle, &detail), 7);
    EXPECT_EQ(detail, static_cast<std::uint32_t>(velk::proto::kDetailWrongPassword));
    EXPECT_EQ(handle, 0u);
    // A null detail output is allowed.
    EXPECT_EQ(call(loginText(port(), "guest", "x", 103), &handle, nullptr), 7);
    EXPECT_TRUE(waitForStatus(httpPort(), "connections", 0));
}

TEST_F(Tovr, FullRecorderRefusesWithItsOwnDetail)
{
    RecorderProcess full({"--max-clients", "1"});
    ASSERT_TRUE(full.started());
    std::uint32_t first = 0;
    ASSERT_EQ(call(loginText(full.devicePort(), "admin", "admin", 116), &first), 0);
    std::uint32_t second = 0;
    std::uint32_t detail = 0;
    EXPECT_EQ(call(loginText(full.devicePort(), "admin", "admin", 116), &second, &detail), 7);
    EXPECT_EQ(detail, static_cast<std::uint32_t>(velk::proto::kDetailTooManyClients));
    EXPECT_EQ(call(logoutText(first)), 0);
}

TEST_F(Tovr, UnreachableRecorderAnswersFive)
{
    const auto start = Clock::now();
    std::uint32_t handle = 0;
    EXPECT_EQ(call(loginText(nettest::unusedLoopbackPort(), "admin", "admin", 104), &handle), 5);
    EXPECT_EQ(call(loginText(port(), "admin", "admin", 104, "no-such-host.invalid"), &handle), 5);
    // TEST-NET-1: never answers (or has no route); bounded by the connect timeout.
    EXPECT_EQ(call(loginText(9000, "admin", "admin", 104, "192.0.2.1"), &handle), 5);
    EXPECT_EQ(handle, 0u);
    EXPECT_LT(secondsSince(start), 10.0);
}

TEST_F(Tovr, MalformedTextsAndUnknownHandlesAnswerOne)
{
    const std::uint32_t handle = login(105);
    auto replace = [&](const char* member, const Json::Value& value) {
        Json::Value root;
        velk::proto::parseJsonObject(loginText(port(), "admin", "admin", 105), root);
        if (value.isNull())
            root["PARAM"].removeMember(member);
        else
            root["PARAM"][member] = value;
        return velk::proto::writeJson(root);
    };
    const std::vector<std::string> texts = {
        "",
        "LOGIN",
        "[]",
        "{}",
        R"({"KEY":5})",
        R"({"KEY":"NOPE","PARAM":{}})",
        R"({"KEY":"REALPLAY","PARAM":{"HDEV":1}})",
        R"({"KEY":"GETDECODER","PARAM":{}})",
        R"({"KEY":"LOGIN"})",
        R"({"KEY":"LOGIN","PARAM":[]})",
        R"({"KEY":"LOGOUT","PARAM":{}})",
        R"({"KEY":"LOGOUT","PARAM":{"HDEV":"1"}})",
        R"({"KEY":"LOGOUT","PARAM":{"HDEV":-1}})",
        R"({"KEY":"LOGOUT","PARAM":{"HDEV":4294967295}})",
        logoutText(handle + 1000),
        logoutText(handle).substr(0, 20),
        replace("DEVPORT", "9000"),
        replace("DEVPORT", 9000.5),
        replace("DEVPORT", 0),
        replace("DEVPORT", 70000),
        replace("DEVIP", ""),
        replace("DEVIP", 127),
        replace("USERNAME", Json::Value()),
        replace("PASSWORD", Json::Value()),
        replace("CALLBACK", -1),
        replace("USERDATA", Json::UInt64(1) << 32),
        replace("DEVTYPE", "0"),
        replace("CLIENTID", Json::Value()),
    };
    for (const auto& text : texts) {
        std::uint32_t out = 0;
        EXPECT_EQ(call(text, &out), 1) << text;
        EXPECT_EQ(out, 0u) << text;
    }
    EXPECT_EQ(TOVR_JsonCommand(nullptr, nullptr, nullptr, 0, nullptr), 1);
    // A login without a handle output could never be logged out.
    EXPECT_EQ(call(loginText(port(), "admin", "admin", 105), nullptr), 1);
    // None of that disturbed the session.
    EXPECT_EQ(call(logoutText(handle)), 0);
}

TEST_F(Tovr, DeviceNotificationReachesTheCallback)
{
    const std::uint32_t userData = 0xC0FFEE;
    const std::uint32_t handle = login(userData);
    EXPECT_EQ(httpPost(httpPort(), "/sim/notify?kind=8").json["sent"].asUInt(), 1u);
    ASSERT_TRUE(nettest::waitForDeviceCallbacks(userData, 1, 3000));
    EXPECT_EQ(httpPost(httpPort(), "/sim/notify?kind=3").json["sent"].asUInt(), 1u);
    ASSERT_TRUE(nettest::waitForDeviceCallbacks(userData, 2, 3000));
    const auto calls = nettest::deviceCallbackCalls(userData);
    EXPECT_EQ(calls[0].kind, 8u);
    EXPECT_EQ(calls[1].kind, 3u);
    for (const auto& c : calls) {
        EXPECT_EQ(c.userData, userData);
        EXPECT_EQ(c.value1 | c.value2 | c.value3, 0u);
        EXPECT_NE(c.thread, std::this_thread::get_id());
    }
    EXPECT_EQ(call(logoutText(handle)), 0);
}

TEST_F(Tovr, RecorderAlarmsReachTheDeviceCallbackAsNumbers)
{
    const std::uint32_t userData = 0xA1A2;
    const std::uint32_t handle = login(userData);
    const auto raised = httpPost(httpPort(), "/sim/alarm?channel=5&kind=motion&seconds=1");
    ASSERT_TRUE(raised.json["ok"].asBool()) << raised.body;
    // Raised now, over a second later.
    ASSERT_TRUE(nettest::waitForDeviceCallbacks(userData, 2, 5000));
    ASSERT_TRUE(httpPost(httpPort(), "/sim/alarm?channel=0&kind=input&seconds=1").json["ok"].asBool());
    ASSERT_TRUE(nettest::waitForDeviceCallbacks(userData, 4, 5000));
    const auto calls = nettest::deviceCallbackCalls(userData);
    const std::uint32_t expected[4][3] = {{5, TOVR_ALARM_MOTION, 1}, {5, TOVR_ALARM_MOTION, 0},
                                          {0, TOVR_ALARM_INPUT, 1}, {0, TOVR_ALARM_INPUT, 0}};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(calls[i].kind, std::uint32_t{TOVR_DEVICE_NOTIFY_ALARM});
        EXPECT_EQ(calls[i].userData, userData);
        EXPECT_EQ(calls[i].value1, expected[i][0]);
        EXPECT_EQ(calls[i].value2, expected[i][1]);
        EXPECT_EQ(calls[i].value3, expected[i][2]);
    }
    EXPECT_EQ(call(logoutText(handle)), 0);
}

TEST_F(Tovr, FrozenRecorderMakesLoginTimeOut)
{
    ASSERT_TRUE(httpPost(httpPort(), "/sim/freeze").json["frozen"].asBool());
    const auto start = Clock::now();
    std::uint32_t handle = 0;
    EXPECT_EQ(call(loginText(port(), "admin", "admin", 106), &handle), 8);
    EXPECT_EQ(handle, 0u);
    EXPECT_LT(secondsSince(start), 6.0);
    httpPost(httpPort(), "/sim/resume");
    const std::uint32_t again = login(106);
    EXPECT_EQ(call(logoutText(again)), 0);
}

TEST_F(Tovr, DroppedConnectionReconnectsInTheBackground)
{
    const std::uint32_t userData = 107;
    const std::uint32_t handle = login(userData);
    const unsigned loginsBefore = httpGet(httpPort(), "/sim/status").json["loginsTotal"].asUInt();
    EXPECT_EQ(httpPost(httpPort(), "/sim/drop").json["dropped"].asUInt(), 1u);
    // Kind 8 when lost, kind 8 again when logged in anew.
    ASSERT_TRUE(nettest::waitForDeviceCallbacks(userData, 2, 5000));
    EXPECT_TRUE(waitForStatus(httpPort(), "logins", 1));
    EXPECT_EQ(httpGet(httpPort(), "/sim/status").json["loginsTotal"].asUInt(), loginsBefore + 1);
    for (const auto& c : nettest::deviceCallbackCalls(userData))
        EXPECT_EQ(c.kind, 8u);
    // The same handle still works.
    EXPECT_EQ(call(logoutText(handle)), 0);
}

TEST_F(Tovr, HungRecorderIsNoticedByHeartbeatsAndRejoined)
{
    const std::uint32_t userData = 108;
    const std::uint32_t handle = login(userData);
    httpPost(httpPort(), "/sim/freeze");
    ASSERT_TRUE(nettest::waitForDeviceCallbacks(userData, 1, 5000));  // lost
    httpPost(httpPort(), "/sim/resume");
    ASSERT_TRUE(nettest::waitForDeviceCallbacks(userData, 2, 8000));  // back
    EXPECT_TRUE(waitForStatus(httpPort(), "logins", 1));
    EXPECT_EQ(call(logoutText(handle)), 0);
}

TEST_F(Tovr, LogoutWhileTheRecorderIsGoneForgetsTheHandle)
{
    RecorderProcess own({"--heartbeat-ms", "200"});
    ASSERT_TRUE(own.started());
    const std::uint32_t userData = 109;
    std::uint32_t handle = 0;
    ASSERT_EQ(call(loginText(own.devicePort(), "admin", "admin", userData), &handle), 0);
    own.stop();
    ASSERT_TRUE(nettest::waitForDeviceCallbacks(userData, 1, 5000));
    const auto start = Clock::now();
    EXPECT_EQ(call(logoutText(handle)), 6);
    EXPECT_LT(secondsSince(start), 3.0);
    EXPECT_EQ(call(logoutText(handle)), 1);
}

TEST_F(Tovr, NoCallbackRunsAfterLogoutReturns)
{
    const std::uint32_t userData = 110;
    nettest::setDeviceCallbackDelayMs(userData, 30);
    const std::uint32_t handle = login(userData);
    for (int i = 0; i < 10; ++i)
        httpPost(httpPort(), "/sim/notify?kind=8");
    ASSERT_TRUE(nettest::waitForDeviceCallbacks(userData, 1, 3000));
    EXPECT_EQ(call(logoutText(handle)), 0);
    const std::size_t atLogout = nettest::deviceCallbackCalls(userData).size();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(nettest::deviceCallbackCalls(userData).size(), atLogout);
    EXPECT_LT(atLogout, 10u);
}

TEST_F(Tovr, CallbackMayCallTheLibrary)
{
    const std::uint32_t userData = 117;
    std::atomic<std::uint32_t> handle{0};
    std::atomic<int> uninitResult{-1};
    std::atomic<int> logoutResult{-1};
    nettest::setDeviceCallbackAction(userData, [&] {
        // Stopping the library from its own thread is refused; logging out
        // the device whose callback this is works.
        uninitResult = call(R"({"KEY":"UNINIT"})");
        logoutResult = call(logoutText(handle.load()));
    });
    handle = login(userData);
    httpPost(httpPort(), "/sim/notify?kind=8");
    ASSERT_TRUE(nettest::waitForDeviceCallbacks(userData, 1, 5000));
    nettest::setDeviceCallbackAction(userData, nullptr);
    EXPECT_EQ(uninitResult.load(), 1);
    EXPECT_EQ(logoutResult.load(), 0);
    EXPECT_EQ(call(logoutText(handle.load())), 1);
    // The library still works.
    EXPECT_EQ(call(logoutText(login(userData + 1))), 0);
}

TEST_F(Tovr, CallsFromManyThreadsAtOnce)
{
    constexpr int kThreads = 8;
    constexpr int kRounds = 4;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int r = 0; r < kRounds; ++r) {
                std::uint32_t handle = 0;
                std::uint32_t detail = 0;
                const bool good = (t + r) % 3 != 0;
                const auto result = call(loginText(port(), "admin", good ? "admin" : "bad", 200 + t), &handle, &detail);
                if (good ? (result != 0 || handle == 0) : (result != 7 || detail != velk::proto::kDetailWrongPassword))
                    ++failures;
                if (call(R"({"KEY":"BOGUS"})") != 1)
                    ++failures;
                if (good && call(logoutText(handle)) != 0)
                    ++failures;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_TRUE(waitForStatus(httpPort(), "connections", 0));
}

TEST_F(Tovr, UninitClosesEverythingAndTheLibraryStartsAgain)
{
    const std::uint32_t handle = login(111);
    const std::uint32_t pending = login(112);
    EXPECT_TRUE(waitForStatus(httpPort(), "logins", 2));
    EXPECT_EQ(call(R"({"KEY":"UNINIT"})"), 0);
    EXPECT_TRUE(waitForStatus(httpPort(), "connections", 0));
    EXPECT_EQ(call(R"({"KEY":"UNINIT"})"), 0);
    // Old handles are gone; LOGIN starts the library by itself.
    EXPECT_EQ(call(logoutText(handle)), 1);
    EXPECT_EQ(call(logoutText(pending)), 1);
    const std::uint32_t again = login(113);
    EXPECT_NE(again, handle);
    EXPECT_EQ(call(logoutText(again)), 0);
}

TEST_F(Tovr, UninitWhileALoginWaitsEndsIt)
{
    httpPost(httpPort(), "/sim/freeze");
    std::int32_t result = -1;
    std::thread waiting([&] {
        std::uint32_t handle = 0;
        result = call(loginText(port(), "admin", "admin", 114), &handle);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto start = Clock::now();
    EXPECT_EQ(call(R"({"KEY":"UNINIT"})"), 0);
    waiting.join();
    EXPECT_TRUE(result == 6 || result == 8) << result;
    EXPECT_LT(secondsSince(start), 4.0);
}

TEST_F(Tovr, TraceHasOneLinePerCall)
{
    const std::string marker = R"({"KEY":"NOPE","PARAM":{"MARK":"trace-)" + std::to_string(::getpid()) + R"("}})";
    EXPECT_EQ(call(marker), 1);
    const std::uint32_t handle = login(115);
    EXPECT_EQ(call(logoutText(handle)), 0);

    std::ifstream in(tovrTracePath());
    std::stringstream content;
    content << in.rdbuf();
    const std::string text = content.str();
    EXPECT_NE(text.find(marker + "\t1\n"), std::string::npos);
    EXPECT_NE(text.find(loginText(port(), "admin", "admin", 115) + "\t0\n"), std::string::npos);
    EXPECT_NE(text.find(logoutText(handle) + "\t0\n"), std::string::npos);
    EXPECT_NE(text.find("{\"KEY\":\"INIT\"}\t0\n"), std::string::npos);
}

namespace {

// Library timeouts for one test: the library reads them when it starts, so
// it is ended before and after, and the suite's own values come back.
class LibraryTimeouts {
public:
    explicit LibraryTimeouts(std::vector<std::pair<std::string, std::string>> values)
    {
        for (auto& [name, value] : values) {
            const char* old = std::getenv(name.c_str());
            m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            ::setenv(name.c_str(), value.c_str(), 1);
        }
        call(R"({"KEY":"UNINIT"})");
    }
    ~LibraryTimeouts()
    {
        call(R"({"KEY":"UNINIT"})");
        for (const auto& [name, old] : m_saved) {
            if (old)
                ::setenv(name.c_str(), old->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

}  // namespace

// The exchange's own timer ends a request that gets no answer: here the
// heartbeat loss would come only after 20 s, so an answer of 8 within a few
// seconds can only come from the request timeout (1 s).
TEST_F(Tovr, ARequestTimesOutByItsOwnTimer)
{
    LibraryTimeouts timeouts({{"TOVR_REQUEST_TIMEOUT_MS", "1000"}, {"TOVR_HEARTBEAT_TIMEOUT_MS", "20000"}});
    ASSERT_TRUE(httpPost(httpPort(), "/sim/freeze").json["frozen"].asBool());
    const auto start = Clock::now();
    std::uint32_t handle = 0;
    EXPECT_EQ(call(loginText(port(), "admin", "admin", 120), &handle), 8);
    EXPECT_EQ(handle, 0u);
    EXPECT_LT(secondsSince(start), 10.0);
    httpPost(httpPort(), "/sim/resume");
}

// A recorder with a slow heartbeat is not taken for lost between two of its
// heartbeats: the library waits at least three of the recorder's intervals,
// whatever its own (short) loss timeout says. The recorder's interval here
// is 1.2 s against a library loss timeout of 0.3 s.
TEST_F(Tovr, ALossNeedsThreeOfTheRecordersHeartbeatIntervals)
{
    LibraryTimeouts timeouts({{"TOVR_HEARTBEAT_INTERVAL_MS", "100"}, {"TOVR_HEARTBEAT_TIMEOUT_MS", "300"}});
    RecorderProcess slow({"--heartbeat-ms", "1200"});
    ASSERT_TRUE(slow.started()) << slow.firstLine();
    const std::uint32_t userData = 121;
    std::uint32_t handle = 0;
    ASSERT_EQ(call(loginText(slow.devicePort(), "admin", "admin", userData), &handle), 0);
    // Three of the recorder's heartbeats go by: the connection must hold
    // all that time, which no event could show sooner.
    std::this_thread::sleep_for(std::chrono::milliseconds(3 * 1200 + 300));
    EXPECT_TRUE(nettest::deviceCallbackCalls(userData).empty()) << "the device was taken for lost";
    EXPECT_EQ(httpGet(slow.httpPort(), "/sim/status").json["loginsTotal"].asUInt(), 1u);
    // A recorder that really goes silent is still noticed.
    ASSERT_TRUE(slow.suspend());
    EXPECT_TRUE(nettest::waitForDeviceCallbacks(userData, 1, 8000));
    ASSERT_TRUE(slow.resume());
    EXPECT_TRUE(nettest::waitForDeviceCallbacks(userData, 2, 8000));  // logged in again
    EXPECT_EQ(call(logoutText(handle)), 0);
}
