// SPDX-License-Identifier: GPL-3.0-or-later
// The session across threads: the stream callback called on another thread
// reaches the session through the bar's window, and a stop worker closes
// the stream while the UI thread goes on.
#include "FakePlayback.h"

#include "platform/Window.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

using namespace playback;
using playback_test::FakeBar;
using playback_test::FakeLibrary;

namespace {

// Stands for the bar's window: hands the session's messages back to it.
class BarWindow : public platform::CWnd {
public:
    explicit BarWindow(PlaybackSession& session) : m_session(session) {}
    ~BarWindow() override { destroyWindow(); }
    platform::LRESULT windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) override
    {
        if (msg == WM_PLAYBACK_CALLBACK)
            m_session.onCallback(unpackEvent(wParam, lParam));
        else if (msg == WM_PLAYBACK_STOPPED)
            m_session.finishStop(static_cast<std::int32_t>(wParam), static_cast<std::uint32_t>(lParam));
        return 0;
    }

private:
    PlaybackSession& m_session;
};

bool waitFor(const std::function<bool()>& condition)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > 10000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

class SessionThreads : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(window.createWindow(nullptr, QRect(0, 0, 10, 10), 202, false));
        bar.handle = window.handle();
        session.setBarHandle(window.handle());
        session.setDevice(7);
        session.setChannelMask(0x3);
    }
    // Calls the callback given in the last REMOTEPLAY as the library does.
    static void callAsLibrary(const Json::Value& open, std::uint32_t type, const std::string& text = {},
                              std::uint32_t code = 0)
    {
        auto callback = reinterpret_cast<decltype(&PlaybackSession::streamCallback)>(
            static_cast<std::uintptr_t>(open["PARAM"]["CALLBACK"].asUInt64()));
        void* userData = reinterpret_cast<void*>(static_cast<std::uintptr_t>(open["PARAM"]["USERDATA"].asUInt64()));
        callback(type, userData, reinterpret_cast<const std::uint8_t*>(text.data()),
                 static_cast<std::uint32_t>(text.size()), code);
    }

    FakeLibrary library;
    FakeBar bar;
    PlaybackSession session{library, bar};
    BarWindow window{session};
};

}  // namespace

TEST(CallbackEvents, SurviveTheTripThroughAMessage)
{
    CallbackEvent time;
    time.kind = CallbackKind::FrameTime;
    time.generation = 0x123456;
    time.time = platform::DateTime::fromParts(9999, 12, 31, 23, 59, 59);
    CallbackEvent size;
    size.kind = CallbackKind::VideoProperty;
    size.generation = 1;
    size.slot = 15;
    size.width = 16384;
    size.height = 1080;
    CallbackEvent end;
    end.kind = CallbackKind::End;
    end.code = 52;
    for (const CallbackEvent& event : {time, size, end}) {
        const auto [wParam, lParam] = packEvent(event);
        const CallbackEvent back = unpackEvent(wParam, lParam);
        EXPECT_EQ(back.kind, event.kind);
        EXPECT_EQ(back.generation, event.generation);
        EXPECT_EQ(back.time, event.time);
        EXPECT_EQ(back.slot, event.slot);
        EXPECT_EQ(back.width, event.width);
        EXPECT_EQ(back.height, event.height);
        EXPECT_EQ(back.code, event.code);
    }
    const auto [bar, generation] = fromUserData(userDataFor(0xFFFFFFFFu, 0xABCDEF));
    EXPECT_EQ(bar, 0xFFFFFFFFu);
    EXPECT_EQ(generation, 0xABCDEFu);
}

TEST(CallbackEvents, WhatEachTypeCarries)
{
    EXPECT_EQ(decodeCallback(1, nullptr, 0, 0).kind, CallbackKind::FirstData);
    EXPECT_EQ(decodeCallback(3, nullptr, 0, 0).kind, CallbackKind::ConnectionLost);
    EXPECT_EQ(decodeCallback(6, nullptr, 0, 0x17).kind, CallbackKind::ConnectionLost);
    EXPECT_EQ(decodeCallback(4, nullptr, 0, 52).code, 52u);
    EXPECT_EQ(decodeCallback(11, nullptr, 0, 0).kind, CallbackKind::Buffering);
    EXPECT_EQ(decodeCallback(12, nullptr, 0, 0).kind, CallbackKind::BufferingOver);
    EXPECT_EQ(decodeCallback(9, nullptr, 0, 0).kind, CallbackKind::Other);
    EXPECT_EQ(decodeCallback(2, nullptr, 0, 0).kind, CallbackKind::Other);
    // The text's length counts, not a terminator the library leaves out.
    const std::string text = R"({"KEY":"FRAMEINFO","PARAM":{"TIME":"20261208101530"}})";
    EXPECT_EQ(decodeCallback(2, reinterpret_cast<const std::uint8_t*>(text.data()),
                             static_cast<std::uint32_t>(text.size()), 0)
                  .kind,
              CallbackKind::FrameTime);
    EXPECT_EQ(decodeCallback(2, reinterpret_cast<const std::uint8_t*>(text.data()), 20, 0).kind,
              CallbackKind::Other);
}

TEST_F(SessionThreads, CallbacksFromTheLibrarysThreadReachTheSession)
{
    session.play();
    const Json::Value open = library.commands("REMOTEPLAY").at(0);
    std::thread libraryThread([&] {
        callAsLibrary(open, 1);
        callAsLibrary(open, 2, R"({"KEY":"FRAMEINFO","PARAM":{"TIME":"20261208101530"}})");
    });
    libraryThread.join();
    ASSERT_TRUE(waitFor([&] { return bar.playTime.isValid(); }));
    EXPECT_TRUE(session.firstDataArrived());
    EXPECT_EQ(bar.playTime, platform::DateTime::fromParts(2026, 12, 8, 10, 15, 30));

    // After a stop, news of that stream still queued is dropped.
    callAsLibrary(open, 2, R"({"KEY":"FRAMEINFO","PARAM":{"TIME":"20261208111111"}})");
    session.stopPlay();
    session.play();
    callAsLibrary(open, 3);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(session.playState(), kPlaying);
    EXPECT_EQ(bar.playTime, platform::DateTime::fromParts(2026, 12, 8, 10, 15, 30));
}

TEST_F(SessionThreads, AStopWorkerClosesTheStreamAndTheBarFinishes)
{
    session.play();
    std::thread worker([&, handle = session.playHandle()] { session.stopFromWorker(handle); });
    // The UI thread asks too meanwhile: only one REMOTEPLAYSTOP is sent.
    session.stopPlay();
    worker.join();
    ASSERT_TRUE(waitFor([&] { return session.playState() == kStopped; }));
    EXPECT_EQ(library.count("REMOTEPLAYSTOP"), 1u);
    EXPECT_EQ(session.window(0), nullptr);
    EXPECT_FALSE(bar.windows[0]->playing);
    EXPECT_EQ(bar.status, "IE_PlaybackStop");

    // A failed stop gives the handle back for the next one.
    session.play();
    library.setResult("REMOTEPLAYSTOP", 7);
    std::thread failing([&, handle = session.playHandle()] { session.stopFromWorker(handle); });
    failing.join();
    ASSERT_TRUE(waitFor([&] { return bar.status == "Stop Failed 7"; }));
    EXPECT_EQ(session.playHandle(), 0x51u);
    library.setResult("REMOTEPLAYSTOP", 0);
    session.stopPlay();
    EXPECT_EQ(session.playState(), kStopped);
}

TEST_F(SessionThreads, AStopWorkerThatStartsLateLeavesALaterPlaybackAlone)
{
    // Stop asked for while nothing played; its worker runs after a new Play.
    const std::uint32_t whenAsked = session.playHandle();
    ASSERT_EQ(whenAsked, 0u);
    session.play();
    ASSERT_NE(session.playHandle(), 0u);
    std::thread late([&] { session.stopFromWorker(whenAsked); });
    late.join();
    EXPECT_EQ(library.count("REMOTEPLAYSTOP"), 0u);
    EXPECT_NE(session.playHandle(), 0u);
    EXPECT_NE(session.playState(), kStopped);
    session.stopPlay();
}
