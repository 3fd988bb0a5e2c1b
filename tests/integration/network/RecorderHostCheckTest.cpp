// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's web server answers only requests for its own names: the
// Host and Origin checks (against DNS rebinding and other sites' pages),
// as functions and against a running recorder.
#include "HttpClient.h"
#include "RecorderProcess.h"

#include "HostCheck.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

using velk::recorder::AllowedHosts;
using velk::recorder::validHostName;
using nettest::httpGet;
using nettest::httpRaw;
using nettest::httpRequest;
using nettest::RecorderProcess;
namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

TEST(AllowedHosts, LoopbackNamesAndGivenNamesWithTheServersPort)
{
    const AllowedHosts allowed({"dvr.example", "192.0.2.7", "[2001:db8::5]"});
    for (const std::uint16_t port : {8080, 80, 43517}) {
        const std::string p = ":" + std::to_string(port);
        const std::string other = ":" + std::to_string(port == 80 ? 8080 : port + 1);
        const Texts ours = {"localhost" + p,   "LocalHost" + p,   "127.0.0.1" + p, "127.255.0.9" + p, "[::1]" + p,
                            "dvr.example" + p, "DVR.Example" + p, "192.0.2.7" + p, "[2001:DB8::5]" + p};
        for (const std::string& host : ours)
            EXPECT_TRUE(allowed.hostAllowed(host, port)) << host;
        // Names that merely begin or end like ours, other addresses, short
        // and numeric address forms, broken ports.
        const Texts others = {"attacker.example" + p, "localhost" + other, "127.0.0.1.attacker.example" + p,
                              "localhost.attacker.example" + p, "dvr.example.attacker.example" + p, "127.1" + p,
                              "0x7f.0.0.1" + p, "2130706433" + p, "10.0.0.1" + p, "[::2]" + p, "[2001:db8::6]" + p,
                              p, "localhost:", "localhost:0", "localhost" + p + p, "localhost:+" + std::to_string(port),
                              "[::1" + p, "localhost:65536", "user@localhost" + p, "", "[]" + p};
        for (const std::string& host : others)
            EXPECT_FALSE(allowed.hostAllowed(host, port)) << host;
        // A Host without port (programs send them) still needs one of our
        // names; an Origin without port means port 80.
        for (const char* host : {"localhost", "[::1]", "127.0.0.1", "dvr.example"})
            EXPECT_TRUE(allowed.hostAllowed(host, port)) << host;
        for (const char* host : {"attacker.example", "[::2]", "10.0.0.1"})
            EXPECT_FALSE(allowed.hostAllowed(host, port)) << host;
        EXPECT_EQ(allowed.originAllowed("http://localhost", port), port == 80);
        EXPECT_EQ(allowed.originAllowed("http://dvr.example", port), port == 80);

        const Texts ourOrigins = {"http://localhost" + p, "http://127.0.0.1" + p, "HTTP://LOCALHOST" + p,
                                  "http://dvr.example" + p, "http://[::1]" + p};
        for (const std::string& origin : ourOrigins)
            EXPECT_TRUE(allowed.originAllowed(origin, port)) << origin;
        const Texts otherOrigins = {"https://localhost" + p,      "null", "http://attacker.example" + p,
                                    "http://localhost" + p + "/", "http://localhost" + other,
                                    "http://user@localhost" + p, "localhost" + p, "http://", "ws://localhost" + p};
        for (const std::string& origin : otherOrigins)
            EXPECT_FALSE(allowed.originAllowed(origin, port)) << origin;
    }
    // Only the loopback names unless others are given.
    EXPECT_FALSE(AllowedHosts().hostAllowed("dvr.example:8080", 8080));
    EXPECT_TRUE(AllowedHosts().hostAllowed("127.0.0.1:8080", 8080));
}

TEST(AllowedHosts, NamesThatCanBeGiven)
{
    for (const char* name : {"dvr.example", "dvr", "192.0.2.7", "[fe80::1]", "[::1]", "my-recorder.local"})
        EXPECT_TRUE(validHostName(name)) << name;
    for (const char* name : {"", "a b", "evil/x", "[zz]", "a:80", "fe80::1", "[fe80::1", "http://dvr", "dvr_1"})
        EXPECT_FALSE(validHostName(name)) << name;
}

class RecorderHosts : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_web = fs::temp_directory_path() / ("velk-hosts-" + std::to_string(::getpid()));
        fs::create_directories(s_web);
        std::ofstream(s_web / "index.html") << "<html>recorder</html>";
        s_recorder = std::make_unique<RecorderProcess>(
            Texts{"--web", s_web.string(), "--channels", "4", "--http-name", "dvr.example"});
    }
    static void TearDownTestSuite()
    {
        s_recorder.reset();
        fs::remove_all(s_web);
    }
    void SetUp() override { ASSERT_TRUE(s_recorder->started()) << s_recorder->firstLine(); }
    static std::uint16_t port() { return s_recorder->httpPort(); }
    static std::string withPort(const std::string& name) { return name + ":" + std::to_string(port()); }

    static inline std::unique_ptr<RecorderProcess> s_recorder;
    static inline fs::path s_web;
};

namespace {

struct Route {
    const char* method;
    const char* target;
};

// Every kind of route: the page, the API, the schedule, the simulator.
const Route kRoutes[] = {
    {"POST", "/sim/freeze"}, {"POST", "/sim/drop"},         {"POST", "/sim/deny?user=admin&channel=1"},
    {"POST", "/sim/notify?kind=1"}, {"PUT", "/api/schedule?channel=0"}, {"GET", "/api/schedule?channel=0"},
    {"GET", "/api/info"},    {"GET", "/sim/status"},        {"GET", "/"},
    {"HEAD", "/index.html"},
};

const std::string kSchedule = R"([null,[{"E":43199,"S":28800}],null,null,null,null,null])";

}  // namespace

TEST_F(RecorderHosts, ARebindingPageIsRefusedOnEveryRoute)
{
    // A page of attacker.example whose name now resolves to 127.0.0.1 sends
    // its own name as Host and as Origin.
    const std::string attacker = withPort("attacker.example");
    for (const auto& [method, target] : kRoutes) {
        for (const bool withOrigin : {true, false}) {
            std::map<std::string, std::string> headers{{"Host", attacker}};
            if (withOrigin)
                headers["Origin"] = "http://" + attacker;
            const auto reply = httpRequest(port(), method, target, headers, kSchedule);
            EXPECT_EQ(reply.status, 403) << method << " " << target << " origin " << withOrigin;
            if (std::string(method) != "HEAD") {
                EXPECT_EQ(reply.contentType, "application/json") << target;
                EXPECT_FALSE(reply.json["ok"].asBool()) << target;
                EXPECT_NE(reply.json["error"].asString().find("attacker.example"), std::string::npos) << reply.body;
            }
        }
    }
    // Nothing changed.
    const auto status = httpGet(port(), "/sim/status");
    ASSERT_EQ(status.status, 200);
    EXPECT_FALSE(status.json["frozen"].asBool());
    EXPECT_EQ(httpGet(port(), "/api/schedule?channel=0").body, "[null,null,null,null,null,null,null]");
}

TEST_F(RecorderHosts, AnotherSitesPageIsRefusedEvenForOurHost)
{
    const Texts origins = {"http://evil.example", "http://" + withPort("attacker.example"), "null",
                           "https://" + withPort("127.0.0.1"), "http://127.0.0.1:1"};
    for (const std::string& origin : origins) {
        for (const auto& [method, target] : kRoutes) {
            const auto reply = httpRequest(port(), method, target, {{"Origin", origin}}, kSchedule);
            EXPECT_EQ(reply.status, 403) << origin << " " << method << " " << target;
        }
    }
    EXPECT_FALSE(httpGet(port(), "/sim/status").json["frozen"].asBool());
}

TEST_F(RecorderHosts, TheRecordersOwnNamesAreServed)
{
    for (const char* name :
         {"127.0.0.1", "localhost", "LOCALHOST", "[::1]", "127.0.0.2", "dvr.example", "DVR.example"}) {
        const std::map<std::string, std::string> headers{{"Host", withPort(name)},
                                                         {"Origin", "http://" + withPort(name)}};
        EXPECT_EQ(httpRequest(port(), "GET", "/", headers).status, 200) << name;
        EXPECT_EQ(httpRequest(port(), "POST", "/sim/notify?kind=1", headers).status, 200) << name;
        EXPECT_EQ(httpRequest(port(), "GET", "/api/info", {{"Host", withPort(name)}}).status, 200) << name;
    }
    // A page of one loopback name may call the API by another.
    EXPECT_EQ(httpRequest(port(), "POST", "/sim/notify?kind=1", {{"Origin", "http://" + withPort("localhost")}}).status,
              200);
    const auto saved = httpRequest(port(), "PUT", "/api/schedule?channel=3",
                                   {{"Host", withPort("dvr.example")}, {"Origin", "http://" + withPort("dvr.example")}},
                                   kSchedule);
    EXPECT_EQ(saved.status, 200) << saved.body;
    EXPECT_EQ(httpGet(port(), "/api/schedule?channel=3").body, kSchedule);
}

TEST_F(RecorderHosts, AnotherPortIsRefusedNoPortIsOurs)
{
    const Texts hosts = {"127.0.0.1:" + std::to_string(port() == 65535 ? 1 : port() + 1), "localhost:",
                         withPort("127.0.0.1") + "x", "attacker.example"};
    for (const std::string& host : hosts) {
        const auto reply = httpRequest(port(), "GET", "/api/info", {{"Host", host}});
        EXPECT_EQ(reply.status, 403) << host;
    }
    for (const char* host : {"127.0.0.1", "localhost", "dvr.example"})
        EXPECT_EQ(httpRequest(port(), "GET", "/api/info", {{"Host", host}}).status, 200) << host;
}

TEST_F(RecorderHosts, TwoHostOrOriginHeadersOrNoHostAreRefused)
{
    const std::string host = "Host: " + withPort("127.0.0.1") + "\r\n";
    const std::string origin = "Origin: http://" + withPort("127.0.0.1") + "\r\n";
    const auto request = [](const std::string& headers) {
        return "POST /sim/freeze HTTP/1.1\r\n" + headers + "Content-Length: 0\r\nConnection: close\r\n\r\n";
    };
    // Our own name first, then the attacker's: whichever one a check reads,
    // the request is ambiguous.
    for (const std::string& headers :
         Texts{host + "Host: " + withPort("attacker.example") + "\r\n", host + host, host + origin + origin,
          host + origin + "Origin: http://" + withPort("attacker.example") + "\r\n", origin, std::string()}) {
        const auto reply = httpRaw(port(), request(headers));
        EXPECT_EQ(reply.status, 400) << headers;
        EXPECT_FALSE(reply.json["error"].asString().empty()) << headers;
    }
    // The same request with one of each is served.
    EXPECT_EQ(httpRaw(port(), request(host + origin)).status, 200);
    EXPECT_EQ(nettest::httpPost(port(), "/sim/resume").status, 200);
}
