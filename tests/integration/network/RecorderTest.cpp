// SPDX-License-Identifier: GPL-3.0-or-later
// velk-recorder: its command line, its web server and the recorder side of
// the device protocol, driven by raw clients.
#include "HttpClient.h"
#include "RawDeviceClient.h"
#include "RecorderProcess.h"

#include "RecorderOptions.h"
#include "StaticFiles.h"

#include "proto/DetailCode.h"
#include "proto/FrameCodec.h"
#include "proto/Hello.h"
#include "proto/LoginProof.h"
#include "proto/LoginRequest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

using namespace velk::recorder;
using nettest::httpGet;
using nettest::httpPost;
using nettest::RawDeviceClient;
using nettest::RecorderProcess;
namespace proto = velk::proto;
namespace fs = std::filesystem;

namespace {

ParseOutcome parse(std::vector<std::string> args, RecorderOptions& options, std::string& message)
{
    args.insert(args.begin(), "velk-recorder");
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    return parseOptions(static_cast<int>(argv.size()), argv.data(), options, message);
}

}  // namespace

TEST(RecorderOptions, DefaultsAndValues)
{
    RecorderOptions o;
    std::string message;
    ASSERT_EQ(parse({}, o, message), ParseOutcome::Run);
    EXPECT_EQ(o.devicePort, 9000);
    EXPECT_EQ(o.httpPort, 8080);
    EXPECT_EQ(o.bindAddress, "127.0.0.1");
    EXPECT_EQ(o.channels, 16u);
    ASSERT_EQ(o.users.size(), 1u);
    EXPECT_EQ(o.users[0].name, "admin");

    RecorderOptions p;
    ASSERT_EQ(parse({"--port", "0", "--http-port=0", "--channels", "64", "--user", "a:b:c", "--user", "x:"}, p, message),
              ParseOutcome::Run);
    EXPECT_EQ(p.devicePort, 0);
    EXPECT_EQ(p.httpPort, 0);
    EXPECT_EQ(p.channels, 64u);
    ASSERT_EQ(p.users.size(), 2u);  // given users replace the default one
    EXPECT_EQ(p.users[0].name, "a");
    EXPECT_EQ(p.users[0].password, "b:c");
    EXPECT_EQ(p.users[1].password, "");

    EXPECT_TRUE(o.httpNames.empty());
    EXPECT_EQ(o.handshakeTimeoutMs, 10000u);
    RecorderOptions n;
    ASSERT_EQ(parse({"--http-name", "dvr.example", "--http-name=[fe80::1]", "--handshake-timeout-ms", "250"}, n, message),
              ParseOutcome::Run);
    EXPECT_EQ(n.httpNames, (std::vector<std::string>{"dvr.example", "[fe80::1]"}));
    EXPECT_EQ(n.handshakeTimeoutMs, 250u);

    RecorderOptions h;
    EXPECT_EQ(parse({"--help"}, h, message), ParseOutcome::Help);
}

TEST(RecorderOptions, RefusesBadOptions)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},          {"--port"},           {"--port", "65536"},     {"--port", "-1"},
        {"--port", "12x"},    {"--channels", "0"},  {"--channels", "65"},    {"--user", "nopassword"},
        {"--user", ":pw"},    {"--bind", ""},       {"--heartbeat-ms", "5"},
        {"--heartbeat-ms", "1000", "--heartbeat-timeout-ms", "1500"}, {"--max-clients", "0"},
        {"--http-name", ""}, {"--http-name", "evil/x"}, {"--http-name", "a:80"}, {"--http-name"},
        {"--handshake-timeout-ms", "5"}, {"--handshake-timeout-ms", "600001"},
    };
    for (const auto& args : bad) {
        RecorderOptions o;
        std::string message;
        EXPECT_EQ(parse(args, o, message), ParseOutcome::Error) << args[0];
        EXPECT_FALSE(message.empty());
    }
}

TEST(StaticFiles, ResolvesOnlyFilesInsideTheWebFolder)
{
    const fs::path base = fs::temp_directory_path() / ("velk-static-" + std::to_string(::getpid()));
    fs::remove_all(base);
    fs::create_directories(base / "web" / "js");
    std::ofstream(base / "web" / "index.html") << "<html>";
    std::ofstream(base / "web" / "js" / "app.js") << "//";
    std::ofstream(base / "secret.txt") << "secret";
    fs::create_symlink(base / "secret.txt", base / "web" / "link.txt");
    const fs::path web = base / "web";

    EXPECT_EQ(resolveWebPath(web, "/"), fs::canonical(web / "index.html"));
    EXPECT_EQ(resolveWebPath(web, "/js/app.js"), fs::canonical(web / "js" / "app.js"));
    EXPECT_EQ(resolveWebPath(web, "//js/./app%2Ejs"), fs::canonical(web / "js" / "app.js"));
    for (const char* path : {"/../secret.txt", "/js/../../secret.txt", "/%2e%2e/secret.txt", "/js/%2E%2E/%2e%2e/secret.txt",
                             "/..%2fsecret.txt", "/link.txt", "/js\\..\\..\\secret.txt", "/index.html%00.png", "/%zz",
                             "/%2", "relative", "", "/missing.html", "/js"})
        EXPECT_FALSE(resolveWebPath(web, path)) << path;
    EXPECT_FALSE(resolveWebPath("", "/"));
    fs::remove_all(base);
}

TEST(StaticFiles, ContentTypes)
{
    EXPECT_EQ(contentTypeFor("a.html"), "text/html; charset=utf-8");
    EXPECT_EQ(contentTypeFor("a.JS"), "text/javascript; charset=utf-8");
    EXPECT_EQ(contentTypeFor("a.css"), "text/css; charset=utf-8");
    EXPECT_EQ(contentTypeFor("a.png"), "image/png");
    EXPECT_EQ(contentTypeFor("a.svg"), "image/svg+xml");
    EXPECT_EQ(contentTypeFor("a.json"), "application/json");
    EXPECT_EQ(contentTypeFor("favicon.ico"), "image/x-icon");
    EXPECT_EQ(contentTypeFor("noext"), "application/octet-stream");
}

TEST(RecorderProcess, ExitsWithTwoOnBadOptions)
{
    EXPECT_EQ(nettest::runRecorderForExitCode({"--bogus"}), 2);
    EXPECT_EQ(nettest::runRecorderForExitCode({"--channels", "100"}), 2);
    EXPECT_EQ(nettest::runRecorderForExitCode({"--help"}), 0);
}

TEST(RecorderProcess, PrintsItsPortsAndEndsCleanlyOnSigterm)
{
    RecorderProcess recorder;
    ASSERT_TRUE(recorder.started()) << recorder.firstLine();
    EXPECT_NE(recorder.devicePort(), recorder.httpPort());
    RawDeviceClient client(recorder.devicePort());
    ASSERT_EQ(client.login("admin", "admin"), 0);
    EXPECT_EQ(recorder.stop(), 0);
    EXPECT_TRUE(client.closedWithin(1000));
}

class RecorderHttp : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_web = fs::temp_directory_path() / ("velk-web-" + std::to_string(::getpid()));
        fs::create_directories(s_web);
        std::ofstream(s_web / "index.html") << "<html>recorder</html>";
        std::ofstream(s_web / "logo.svg") << "<svg/>";
        s_recorder = std::make_unique<RecorderProcess>(
            std::vector<std::string>{"--web", s_web.string(), "--channels", "8"});
    }
    static void TearDownTestSuite()
    {
        s_recorder.reset();
        fs::remove_all(s_web);
    }
    void SetUp() override { ASSERT_TRUE(s_recorder->started()) << s_recorder->firstLine(); }
    std::uint16_t port() const { return s_recorder->httpPort(); }

    static inline std::unique_ptr<RecorderProcess> s_recorder;
    static inline fs::path s_web;
};

TEST_F(RecorderHttp, InfoReportsTheActualPorts)
{
    const auto reply = httpGet(port(), "/api/info");
    ASSERT_EQ(reply.status, 200);
    EXPECT_EQ(reply.contentType, "application/json");
    EXPECT_EQ(reply.json["channels"].asUInt(), 8u);
    EXPECT_EQ(reply.json["devicePort"].asUInt(), s_recorder->devicePort());
    EXPECT_EQ(reply.json["httpPort"].asUInt(), s_recorder->httpPort());
    EXPECT_EQ(reply.json["name"].asString(), "velk-recorder");
    EXPECT_FALSE(reply.json["version"].asString().empty());
}

TEST_F(RecorderHttp, ServesStaticFilesSafely)
{
    auto reply = httpGet(port(), "/");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "<html>recorder</html>");
    EXPECT_EQ(reply.contentType, "text/html; charset=utf-8");
    reply = httpGet(port(), "/logo.svg");
    EXPECT_EQ(reply.contentType, "image/svg+xml");
    EXPECT_EQ(httpGet(port(), "/../../etc/passwd").status, 404);
    EXPECT_EQ(httpGet(port(), "/%2e%2e/%2e%2e/etc/passwd").status, 404);
    EXPECT_EQ(httpGet(port(), "/nothing.html").status, 404);
    EXPECT_EQ(httpPost(port(), "/index.html").status, 405);
}

TEST_F(RecorderHttp, AnswersToHeadCarryNoBody)
{
    // Two requests on one connection: were a body sent after the HEAD
    // answer's headers, it would stand where the second answer begins.
    const std::string host = "Host: 127.0.0.1:" + std::to_string(port()) + "\r\n";
    for (const char* target : {"/index.html", "/nothing.html", "/sim/status", "/api/info"}) {
        const std::string received = nettest::httpExchange(
            port(), "HEAD " + std::string(target) + " HTTP/1.1\r\n" + host + "\r\nGET /api/info HTTP/1.1\r\n" + host +
                        "Connection: close\r\n\r\n");
        const auto headersEnd = received.find("\r\n\r\n");
        ASSERT_NE(headersEnd, std::string::npos) << target;
        EXPECT_EQ(received.substr(headersEnd + 4, 12), "HTTP/1.1 200") << target << "\n" << received;
    }
}

TEST_F(RecorderHttp, SimApiChecksMethodsAndArguments)
{
    EXPECT_EQ(httpGet(port(), "/sim/drop").status, 405);
    EXPECT_EQ(httpPost(port(), "/sim/status").status, 405);
    EXPECT_EQ(httpPost(port(), "/sim/explode").status, 404);
    for (const char* target : {"/sim/notify", "/sim/notify?kind=", "/sim/notify?kind=x", "/sim/notify?kind=-1",
                               "/sim/notify?kind=4294967296"}) {
        const auto reply = httpPost(port(), target);
        EXPECT_EQ(reply.status, 400) << target;
        EXPECT_FALSE(reply.json["ok"].asBool());
        EXPECT_FALSE(reply.json["error"].asString().empty());
    }
    const auto ok = httpPost(port(), "/sim/notify?kind=8");
    EXPECT_EQ(ok.status, 200);
    EXPECT_TRUE(ok.json["ok"].asBool());
    EXPECT_EQ(ok.json["sent"].asUInt(), 0u);
    // A page of another site cannot drive the simulator through a browser.
    EXPECT_EQ(nettest::httpRequest(port(), "POST", "/sim/drop", {{"Origin", "http://evil.example"}}).status, 403);
}

class RecorderProtocol : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_recorder = std::make_unique<RecorderProcess>(
            std::vector<std::string>{"--user", "admin:admin", "--user", "viewer:1234"});
    }
    static void TearDownTestSuite() { s_recorder.reset(); }
    void SetUp() override { ASSERT_TRUE(s_recorder->started()) << s_recorder->firstLine(); }
    std::uint16_t port() const { return s_recorder->devicePort(); }

    static inline std::unique_ptr<RecorderProcess> s_recorder;
};

TEST_F(RecorderProtocol, LoginGivesDistinctCodes)
{
    RawDeviceClient ok(port());
    EXPECT_EQ(ok.login("viewer", "1234"), 0);
    RawDeviceClient wrong(port());
    EXPECT_EQ(wrong.login("viewer", "12345"), proto::kDetailWrongPassword);
    EXPECT_TRUE(wrong.closedWithin(2000));
    RawDeviceClient unknown(port());
    EXPECT_EQ(unknown.login("nobody", "1234"), proto::kDetailUnknownUser);
}

TEST_F(RecorderProtocol, AProofIsGoodForOneNonceOnly)
{
    // A proof seen on the wire cannot be replayed on another connection.
    RawDeviceClient first(port());
    ASSERT_TRUE(first.sendMessage(proto::makeHello(proto::ClientHello{})));
    const auto hello1 = proto::readServerHello(*first.readMessage());
    ASSERT_TRUE(hello1);
    proto::LoginRequest request{"admin", "client-nonce", "", 0, 0};
    request.proof = proto::loginProof("admin", hello1->nonce, request.clientNonce, "admin");

    RawDeviceClient second(port());
    ASSERT_TRUE(second.sendMessage(proto::makeHello(proto::ClientHello{})));
    const auto hello2 = proto::readServerHello(*second.readMessage());
    ASSERT_TRUE(hello2);
    EXPECT_NE(hello1->nonce, hello2->nonce);
    ASSERT_TRUE(second.sendMessage(proto::Message::request(1, "login", proto::toJson(request))));
    const auto reply = second.readMessage();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->code, proto::kDetailWrongPassword);
}

TEST_F(RecorderProtocol, RefusesUnsupportedVersionAndRequestsBeforeLogin)
{
    RawDeviceClient old(port());
    proto::ClientHello hello;
    hello.version = 0;
    ASSERT_TRUE(old.sendMessage(proto::makeHello(hello)));
    const auto reply = old.readMessage();
    ASSERT_TRUE(reply);
    const auto serverHello = proto::readServerHello(*reply);
    ASSERT_TRUE(serverHello);
    EXPECT_EQ(serverHello->code, proto::kDetailUnsupportedVersion);
    EXPECT_TRUE(old.closedWithin(2000));

    RawDeviceClient early(port());
    ASSERT_TRUE(early.sendMessage(proto::makeHello(proto::ClientHello{})));
    ASSERT_TRUE(early.readMessage());
    ASSERT_TRUE(early.sendMessage(proto::Message::request(5, "logout")));
    const auto refused = early.readMessage();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->id, 5u);
    EXPECT_EQ(refused->code, proto::kDetailNotLoggedIn);
}

TEST_F(RecorderProtocol, ClosesOnGarbageAndOversizeFrames)
{
    RawDeviceClient garbage(port());
    ASSERT_TRUE(garbage.sendBytes("GET / HTTP/1.1\r\nHost: x\r\n\r\n"));
    EXPECT_TRUE(garbage.closedWithin(2000));

    RawDeviceClient oversize(port());
    ASSERT_TRUE(oversize.sendBytes(
        proto::encodeFrame(proto::FrameType::Json, std::string(proto::kControlFrameLimitBytes + 1, ' '))
            .substr(0, proto::kFrameHeaderBytes)));
    EXPECT_TRUE(oversize.closedWithin(2000));
}

TEST(RecorderHeartbeat, DropsAClientWhoseHeartbeatsStop)
{
    RecorderProcess recorder({"--heartbeat-ms", "100", "--heartbeat-timeout-ms", "400"});
    ASSERT_TRUE(recorder.started());
    RawDeviceClient silent(recorder.devicePort());
    ASSERT_EQ(silent.login("admin", "admin"), 0);
    // The recorder sends heartbeats itself, then gives up on the silent client.
    EXPECT_TRUE(silent.closedWithin(3000));
    const auto status = httpGet(recorder.httpPort(), "/sim/status").json;
    EXPECT_EQ(status["droppedForSilence"].asUInt(), 1u);
    EXPECT_EQ(status["connections"].asUInt(), 0u);
}

TEST_F(RecorderProtocol, NotifiesLoggedInClientsOnly)
{
    RawDeviceClient loggedIn(port());
    ASSERT_EQ(loggedIn.login("admin", "admin"), 0);
    RawDeviceClient anonymous(port());
    ASSERT_TRUE(anonymous.sendMessage(proto::makeHello(proto::ClientHello{})));
    ASSERT_TRUE(anonymous.readMessage());

    const auto sent = httpPost(s_recorder->httpPort(), "/sim/notify?kind=8");
    EXPECT_EQ(sent.json["sent"].asUInt(), 1u);
    const auto notification = loggedIn.readMessage(2000);
    ASSERT_TRUE(notification);
    EXPECT_EQ(notification->kind, proto::MessageKind::Notify);
    EXPECT_EQ(notification->name, "device");
    EXPECT_EQ(notification->body["kind"].asUInt(), 8u);
    EXPECT_FALSE(anonymous.readMessage(300));
}
