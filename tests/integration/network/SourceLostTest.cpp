// SPDX-License-Identifier: GPL-3.0-or-later
// A live stream whose recorder loses the channel's source (a camera off the
// network) while the connection stays up: the stream callback gets type 6
// once, no offline report however long it lasts, and type 2 then data when
// the recorder sends videoProperty and a key frame again. The recorder is
// a small fake on loopback that speaks just enough of the protocol: hello,
// login, openStream, heartbeats, and what the test tells it to send.
#include "CommandTexts.h"
#include "StreamCallbackLog.h"

#include "TOVR.h"

#include "proto/FrameCodec.h"
#include "proto/Hello.h"
#include "proto/JsonText.h"
#include "proto/LoginRequest.h"
#include "proto/MediaFrame.h"
#include "proto/Message.h"
#include "proto/StreamMessages.h"

#include <asio.hpp>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace velk;
using nettest::call;
using nettest::StreamCall;

namespace {

constexpr std::uint32_t kOfflineMs = 400;

class FakeRecorder {
public:
    FakeRecorder() : m_acceptor(m_io, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0))
    {
        m_threads.emplace_back([this] { acceptLoop(); });
        m_threads.emplace_back([this] { heartbeatLoop(); });
    }
    ~FakeRecorder()
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_stopping = true;
        }
        // A blocking accept is not woken by closing its socket: a connection wakes it.
        asio::error_code ignored;
        asio::ip::tcp::socket waker(m_io);
        waker.connect(m_acceptor.local_endpoint(), ignored);
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_acceptor.close(ignored);
            for (const auto& socket : m_sockets) {
                socket->shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
            }
        }
        m_changed.notify_all();
        for (auto& thread : m_threads)
            thread.join();
    }

    std::uint16_t port() const { return m_acceptor.local_endpoint().port(); }
    // Streams opened from now on find the source gone (before any picture:
    // format 0x0) and are told so at once.
    void setSourceDown(bool down) { m_sourceDown = down; }

    // The open stream's frames and notifications. Test thread.
    void notify(const char* event, const Json::Value& params)
    {
        sendToStream(proto::encodeFrame(proto::FrameType::Json,
                                        proto::encodeMessage(proto::Message::notify(event, params))));
    }
    void videoProperty(std::uint32_t width, std::uint32_t height, media::VideoCodec codec)
    {
        notify(proto::kEventVideoProperty, proto::toJson(proto::StreamInfo{0, 0, width, height, 25, codec}));
    }
    void frame(media::MediaKind kind, std::uint16_t width = 0, std::uint16_t height = 0,
               media::VideoCodec codec = media::VideoCodec::H264)
    {
        media::FrameFields fields;
        fields.kind = kind;
        fields.sequence = m_sequence++;
        fields.time = media::FrameTime{1796604120u, 0};
        if (kind == media::MediaKind::VideoKey)
            fields.video = media::VideoInfo{width, height, 25, codec};
        const std::vector<std::uint8_t> payload = {0, 0, 0, 1, 0x65, 0x88};
        const auto bytes = media::buildFrame(fields, payload);
        sendToStream(proto::encodeFrame(proto::FrameType::Media,
                                        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
    }

private:
    using Socket = std::shared_ptr<asio::ip::tcp::socket>;

    void acceptLoop()
    {
        for (;;) {
            auto socket = std::make_shared<asio::ip::tcp::socket>(m_io);
            asio::error_code error;
            m_acceptor.accept(*socket, error);
            std::lock_guard<std::mutex> lock(m_lock);
            if (error || m_stopping)
                return;
            m_sockets.push_back(socket);
            m_threads.emplace_back([this, socket] { serve(socket); });
        }
    }

    void heartbeatLoop()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        while (!m_changed.wait_for(lock, std::chrono::milliseconds(200), [this] { return m_stopping; })) {
            for (const auto& socket : m_sockets)
                sendLocked(socket, proto::encodeHeartbeat());
        }
    }

    void sendLocked(const Socket& socket, const std::string& bytes)
    {
        asio::error_code ignored;
        asio::write(*socket, asio::buffer(bytes), ignored);
    }
    void send(const Socket& socket, const proto::Message& message)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        sendLocked(socket, proto::encodeFrame(proto::FrameType::Json, proto::encodeMessage(message)));
    }
    void sendToStream(const std::string& bytes)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        ASSERT_TRUE(m_stream) << "no stream open";
        sendLocked(m_stream, bytes);
    }

    // One connection: answers hello, login, openStream and anything else
    // with success. Its own thread.
    void serve(const Socket& socket)
    {
        for (;;) {
            char header[proto::kFrameHeaderBytes];
            asio::error_code error;
            asio::read(*socket, asio::buffer(header), error);
            if (error)
                return;
            const std::uint32_t length = std::uint32_t(std::uint8_t(header[4])) << 24 |
                                         std::uint32_t(std::uint8_t(header[5])) << 16 |
                                         std::uint32_t(std::uint8_t(header[6])) << 8 | std::uint8_t(header[7]);
            std::string payload(length, '\0');
            asio::read(*socket, asio::buffer(payload), error);
            if (error)
                return;
            if (header[2] != char(proto::FrameType::Json))
                continue;
            const auto message = proto::decodeMessage(payload);
            if (!message)
                return;
            if (message->kind == proto::MessageKind::Hello) {
                proto::ServerHello hello;
                hello.nonce = std::string(64, 'a');
                hello.heartbeatMs = 200;
                hello.software = "fake-recorder";
                send(socket, proto::makeHello(hello));
            } else if (message->kind != proto::MessageKind::Request) {
                continue;
            } else if (message->name == proto::kMethodLogin) {
                send(socket, proto::Message::response(message->id, message->name, 0,
                                                      proto::toJson(proto::LoginResult{"5e55", 4, "fake"})));
            } else if (message->name == proto::kMethodOpenStream) {
                const bool down = m_sourceDown;
                const std::uint32_t width = down ? 0 : 1920;
                const std::uint32_t height = down ? 0 : 1080;
                send(socket, proto::Message::response(message->id, message->name, 0,
                                                      proto::toJson(proto::StreamInfo{0, 0, width, height, 25})));
                {
                    std::lock_guard<std::mutex> lock(m_lock);
                    m_stream = socket;
                }
                videoProperty(width, height, media::VideoCodec::H264);
                if (down)
                    notify(proto::kEventSourceLost, proto::sourceLostParams(0, 0));
                else
                    frame(media::MediaKind::VideoKey, 1920, 1080);
            } else {
                send(socket, proto::Message::response(message->id, message->name, 0));
            }
        }
    }

    asio::io_context m_io;
    asio::ip::tcp::acceptor m_acceptor;
    std::mutex m_lock;  // guards m_sockets, m_stream, m_stopping, m_threads (while running), and every write
    std::condition_variable m_changed;
    bool m_stopping = false;
    std::vector<Socket> m_sockets;
    Socket m_stream;
    std::atomic<std::uint16_t> m_sequence{0};
    std::atomic<bool> m_sourceDown{false};
    std::vector<std::thread> m_threads;
};

// The library reads its timeouts when it starts: a short offline time for
// these tests, the suite's own afterwards.
class ShortOfflineTime {
public:
    ShortOfflineTime()
    {
        if (const char* old = std::getenv("TOVR_STREAM_OFFLINE_MS"))
            m_old = old;
        ::setenv("TOVR_STREAM_OFFLINE_MS", std::to_string(kOfflineMs).c_str(), 1);
        call(R"({"KEY":"UNINIT"})");
    }
    ~ShortOfflineTime()
    {
        call(R"({"KEY":"UNINIT"})");
        if (m_old)
            ::setenv("TOVR_STREAM_OFFLINE_MS", m_old->c_str(), 1);
        else
            ::unsetenv("TOVR_STREAM_OFFLINE_MS");
    }

private:
    std::optional<std::string> m_old;
};

std::vector<std::uint32_t> typesAfter(std::uintptr_t user, std::size_t skip)
{
    std::vector<std::uint32_t> types;
    const auto calls = nettest::streamCalls(user);
    for (std::size_t i = skip; i < calls.size(); ++i)
        types.push_back(calls[i].type);
    return types;
}

std::size_t count(const std::vector<std::uint32_t>& types, std::uint32_t type)
{
    return std::size_t(std::count(types.begin(), types.end(), type));
}

Json::Value statistics(std::uint32_t playHandle)
{
    char response[1000] = {};
    const std::string text = nettest::handleText("STREAMSTATISTICS", playHandle);
    if (TOVR_JsonCommand(text.c_str(), nullptr, response, sizeof response, nullptr) != 0)
        return Json::Value();
    Json::Value root;
    proto::parseJsonObject(response, root);
    return root["RESPONSE"];
}

}  // namespace

TEST(SourceLost, TheStreamWaitsForTheSourceWithoutGoingOffline)
{
    ShortOfflineTime offline;
    FakeRecorder recorder;
    std::uint32_t device = 0;
    ASSERT_EQ(call(nettest::loginText(recorder.port(), "admin", "admin", 900), &device), 0);
    const std::uintptr_t user = 0xC0FFEE;
    std::uint32_t play = 0;
    ASSERT_EQ(call(nettest::realPlayText(device, 0, 0, user, 0), &play), 0);
    ASSERT_NE(play, 0u);
    ASSERT_TRUE(nettest::waitForStreamCallType(user, TOVR_STREAM_DATA, 3000));

    for (std::uint64_t loss = 1; loss <= 2; ++loss) {
        SCOPED_TRACE(loss);
        const std::size_t seen = nettest::streamCalls(user).size();
        // Twice: one loss is reported once. Frames the recorder still had
        // on their way are not data of the stream that comes back.
        recorder.notify(proto::kEventSourceLost, proto::sourceLostParams(0, 0));
        recorder.notify(proto::kEventSourceLost, proto::sourceLostParams(0, 0));
        recorder.frame(media::MediaKind::VideoDelta);
        ASSERT_TRUE(nettest::waitForStreamCallType(user, TOVR_STREAM_CONNECTION_LOST, 3000, seen));
        // Well past the offline time: a device that is there is not offline.
        EXPECT_FALSE(nettest::waitForStreamCallType(user, TOVR_STREAM_DEVICE_OFFLINE, 3 * kOfflineMs, seen));
        EXPECT_EQ(typesAfter(user, seen), std::vector<std::uint32_t>{TOVR_STREAM_CONNECTION_LOST});

        // The camera is back, as another one: 4 MP H.265.
        recorder.videoProperty(2560, 1440, media::VideoCodec::H265);
        recorder.frame(media::MediaKind::VideoKey, 2560, 1440, media::VideoCodec::H265);
        recorder.frame(media::MediaKind::VideoDelta);
        ASSERT_TRUE(nettest::waitForStreamCalls(
            user, [&](const std::vector<StreamCall>& calls) { return calls.size() >= seen + 4; }, 3000));
        const auto calls = nettest::streamCalls(user);
        ASSERT_EQ(calls.size(), seen + 4);
        EXPECT_EQ(calls[seen].type, unsigned(TOVR_STREAM_CONNECTION_LOST));
        EXPECT_EQ(calls[seen + 1].type, unsigned(TOVR_STREAM_VIDEOPROPERTY));
        // The text keeps its members; the codec is in the key frame.
        EXPECT_EQ(std::string(calls[seen + 1].data.c_str()),
                  R"({"KEY":"VIDEOPROPERTY","PARAM":{"CHANNEL":0,"HEIGHT":1440,"WIDTH":2560}})");
        EXPECT_EQ(calls[seen + 2].type, unsigned(TOVR_STREAM_DATA));
        EXPECT_EQ(calls[seen + 2].data[0], char(media::MediaKind::VideoKey));
        EXPECT_EQ(calls[seen + 3].type, unsigned(TOVR_STREAM_DATA));
        EXPECT_EQ(statistics(play)["SOURCELOSSES"].asUInt64(), loss);
        EXPECT_EQ(statistics(play)["RECONNECTS"].asUInt64(), 0u);
    }
    EXPECT_EQ(count(typesAfter(user, 0), TOVR_STREAM_DEVICE_OFFLINE), 0u);
    EXPECT_EQ(call(nettest::handleText("REALPLAYSTOP", play)), 0);
    EXPECT_EQ(call(nettest::logoutText(device)), 0);
}

// A stream opened while the camera is away plays as soon as it is back.
TEST(SourceLost, AStreamOpenedWhileTheSourceIsDownStartsWhenItIsBack)
{
    ShortOfflineTime offline;
    FakeRecorder recorder;
    recorder.setSourceDown(true);
    std::uint32_t device = 0;
    ASSERT_EQ(call(nettest::loginText(recorder.port(), "admin", "admin", 900), &device), 0);
    const std::uintptr_t user = 0xC0FFEF;
    std::uint32_t play = 0;
    ASSERT_EQ(call(nettest::realPlayText(device, 0, 0, user, 0), &play), 0);
    ASSERT_NE(play, 0u);
    ASSERT_TRUE(nettest::waitForStreamCallType(user, TOVR_STREAM_CONNECTION_LOST, 3000));
    EXPECT_FALSE(nettest::waitForStreamCallType(user, TOVR_STREAM_DEVICE_OFFLINE, 3 * kOfflineMs));
    EXPECT_EQ(typesAfter(user, 0),
              (std::vector<std::uint32_t>{TOVR_STREAM_VIDEOPROPERTY, TOVR_STREAM_CONNECTION_LOST}));

    recorder.videoProperty(1280, 720, media::VideoCodec::H265);
    recorder.frame(media::MediaKind::VideoKey, 1280, 720, media::VideoCodec::H265);
    ASSERT_TRUE(nettest::waitForStreamCallType(user, TOVR_STREAM_DATA, 3000));
    EXPECT_EQ(typesAfter(user, 0), (std::vector<std::uint32_t>{TOVR_STREAM_VIDEOPROPERTY, TOVR_STREAM_CONNECTION_LOST,
                                                               TOVR_STREAM_VIDEOPROPERTY, TOVR_STREAM_DATA}));
    EXPECT_EQ(statistics(play)["SOURCELOSSES"].asUInt64(), 1u);
    EXPECT_EQ(call(nettest::handleText("REALPLAYSTOP", play)), 0);
    EXPECT_EQ(call(nettest::logoutText(device)), 0);
}
