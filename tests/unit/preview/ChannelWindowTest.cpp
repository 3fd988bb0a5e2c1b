// SPDX-License-Identifier: GPL-3.0-or-later
// One video window against a fake network library: opening, its statuses,
// stream notifications from library threads, closing, stream types, volume.
#include "FakeStreamLibrary.h"
#include "PreviewTestSupport.h"

#include "device/CommandEnvelope.h"
#include "platform/Shell.h"
#include "preview/CChannelEX.h"
#include "preview/PreviewMessages.h"
#include "preview/VideoStatus.h"
#include "widgets/LanguageTable.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

using namespace preview;
using namespace preview_test;

namespace {

constexpr std::uint32_t kDevice = 0x77;

// A thread that lives longer than the windows, as the library's callback
// thread does, and runs what it is handed in order.
class LibraryThread {
public:
    LibraryThread() : m_thread([this] { run(); }) {}
    ~LibraryThread()
    {
        {
            std::lock_guard<std::mutex> guard(m_jobsLock);
            m_quit = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    // Runs a job on the thread and waits for it.
    void runAndWait(std::function<void()> job)
    {
        std::unique_lock<std::mutex> guard(m_jobsLock);
        m_jobs.push_back(std::move(job));
        m_wake.notify_all();
        m_wake.wait(guard, [this] { return m_jobs.empty() && !m_busy; });
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> guard(m_jobsLock);
        for (;;) {
            m_wake.wait(guard, [this] { return m_quit || !m_jobs.empty(); });
            if (m_jobs.empty())
                return;
            std::function<void()> job = std::move(m_jobs.front());
            m_jobs.pop_front();
            m_busy = true;
            guard.unlock();
            job();
            guard.lock();
            m_busy = false;
            m_wake.notify_all();
        }
    }

    std::mutex m_jobsLock;  // guards m_jobs, m_busy, m_quit
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_busy = false;
    bool m_quit = false;
    std::thread m_thread;
};

class ChannelWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_library = std::make_unique<LibraryThread>(); }
    static void TearDownTestSuite() { s_library.reset(); }
    static std::unique_ptr<LibraryThread> s_library;

    void SetUp() override
    {
        fake_stream::install();
        platform::takeDebugLines();
        parent.createWindow(nullptr, QRect(0, 0, 400, 300), 0, true);
        window.setLanguageTable(&language);
        ASSERT_TRUE(window.createWindow(&parent, QRect(0, 0, 322, 242), 1234, true));
    }
    void TearDown() override
    {
        window.destroyWindow();
        parent.destroyWindow();
        fake_stream::uninstall();
    }

    // Opens channel 2 and returns the play handle.
    std::uint32_t open()
    {
        EXPECT_EQ(window.StartRealPlay(kDevice, 2, 0), 0);
        return window.playHandle();
    }

    LanguageTable language;
    MessageLog parent;
    CChannelEX window{3};
};

std::unique_ptr<LibraryThread> ChannelWindow::s_library;

}  // namespace

TEST_F(ChannelWindow, RefusesBadArgumentsWithoutAskingTheLibrary)
{
    EXPECT_EQ(window.StartRealPlay(kDevice, 17, 0), CChannelEX::kBadArgument);
    EXPECT_EQ(window.StartRealPlay(kDevice, -1, 0), CChannelEX::kBadArgument);
    EXPECT_EQ(window.StartRealPlay(0, 1, 0), CChannelEX::kBadArgument);
    EXPECT_EQ(window.StartRealPlay(kDevice, 1, 3), CChannelEX::kBadArgument);
    EXPECT_EQ(fake_stream::count("REALPLAY"), 0u);
    EXPECT_EQ(window.StartRealPlay(kDevice, 16, 2), 0);  // channel 16 is accepted
    EXPECT_EQ(fake_stream::count("REALPLAY"), 1u);

    CChannelEX uncreated(5);
    EXPECT_EQ(uncreated.StartRealPlay(kDevice, 1, 0), CChannelEX::kNoView);
}

TEST_F(ChannelWindow, OpensWithItsCallbackAndShowsOpeningUntilTheFirstBlock)
{
    const std::uint32_t play = open();
    ASSERT_NE(play, 0u);
    const Json::Value param = fake_stream::commands("REALPLAY").at(0)["PARAM"];
    EXPECT_EQ(param["HDEV"].asUInt(), kDevice);
    EXPECT_TRUE(param["CHANNEL"].isInt());
    EXPECT_EQ(param["CHANNEL"].asInt(), 2);
    EXPECT_EQ(param["STREAMTYPE"].asInt(), 0);
    EXPECT_EQ(param["USERDATA"].asUInt64(), reinterpret_cast<std::uintptr_t>(&window));
    EXPECT_EQ(param["CALLBACK"].asUInt64(), reinterpret_cast<std::uintptr_t>(&CChannelEX::StreamCallback));
    EXPECT_EQ(param["HWND"].asUInt(), window.view().handle());

    EXPECT_EQ(window.status(), kStatusOpening);
    EXPECT_EQ(window.view().statusText(), QStringLiteral("Opening"));
    EXPECT_TRUE(window.isPlaying());
    EXPECT_TRUE(window.isOccupied());
    EXPECT_TRUE(window.isFirstFramePending());

    ASSERT_TRUE(fake_stream::callBack(play, 1, std::string(40, 'x')));
    EXPECT_EQ(window.status(), kStatusShowing);
    EXPECT_TRUE(window.view().statusText().isEmpty());
    EXPECT_FALSE(window.isFirstFramePending());
    EXPECT_TRUE(debugLogHas(platform::takeDebugLines(), "Preview, Channel 2, Startview Or Re-startview Succeed \n"));

    // A second open of a playing window asks nothing.
    EXPECT_EQ(window.StartRealPlay(kDevice, 4, 1), 0);
    EXPECT_EQ(fake_stream::count("REALPLAY"), 1u);
    EXPECT_EQ(window.channel(), 2);
}

TEST_F(ChannelWindow, FailedOpensShowWhy)
{
    struct Case {
        std::int32_t result;
        std::uint32_t detail;
        int status;
        std::int32_t returned;
    };
    const Case cases[] = {{1, 0, kStatusOpenFailed, 1},     {7, 0x12, kStatusOpenFailed, 0x12},
                          {5, 0, kStatusNetworkError, 5},   {6, 0, kStatusNetworkError, 6},
                          {8, 0, kStatusNetworkError, 8},   {9, 0, kStatusUnknownError, 9},
                          {7, 0, kStatusOpenFailed, 7}};
    for (const Case& c : cases) {
        fake_stream::setRealPlayAnswer({c.result, c.detail, false});
        EXPECT_EQ(window.StartRealPlay(kDevice, 1, 0), c.returned) << c.result;
        EXPECT_EQ(window.status(), c.status) << c.result;
        EXPECT_FALSE(window.isPlaying());
        EXPECT_FALSE(window.isOccupied());
        EXPECT_EQ(window.playHandle(), 0u);
    }
    // Success without a handle opened nothing and changes nothing.
    fake_stream::setRealPlayAnswer({0, 0, false});
    const int before = window.status();
    EXPECT_EQ(window.StartRealPlay(kDevice, 1, 0), 0);
    EXPECT_EQ(window.status(), before);
    EXPECT_FALSE(window.isPlaying());
}

TEST_F(ChannelWindow, StopClosesTheStream)
{
    const std::uint32_t play = open();
    EXPECT_EQ(window.StopRealPlay(), 0);
    ASSERT_EQ(fake_stream::commands("REALPLAYSTOP").size(), 1u);
    EXPECT_EQ(fake_stream::commands("REALPLAYSTOP")[0]["PARAM"]["HPLAY"].asUInt(), play);
    EXPECT_EQ(window.status(), kStatusIdle);
    EXPECT_EQ(window.view().statusText(), QStringLiteral("4"));
    EXPECT_EQ(window.playHandle(), 0u);
    EXPECT_FALSE(window.isPlaying());
    EXPECT_TRUE(window.isOccupied());  // a successful stop keeps the window assigned
    // Nothing open: nothing sent, the window is no longer assigned.
    EXPECT_EQ(window.StopRealPlay(), 0);
    EXPECT_EQ(fake_stream::count("REALPLAYSTOP"), 1u);
    EXPECT_FALSE(window.isOccupied());
}

TEST_F(ChannelWindow, AStopTheRecorderRefusesKeepsTheStream)
{
    open();
    fake_stream::setStopResult(7);
    EXPECT_EQ(window.StopRealPlay(), 7);
    EXPECT_TRUE(window.isPlaying());
    EXPECT_NE(window.playHandle(), 0u);
}

TEST_F(ChannelWindow, AHandleTheLibraryNoLongerKnowsIsClosed)
{
    const std::uint32_t play = open();
    // The library dropped the stream behind the window's back.
    CommandEnvelope stop("REALPLAYSTOP");
    stop.uint("HPLAY", play);
    sendCommand(stop);
    EXPECT_EQ(window.StopRealPlay(), 0);
    EXPECT_FALSE(window.isPlaying());
    EXPECT_EQ(window.playHandle(), 0u);
    // So the window can open again.
    EXPECT_EQ(window.StartRealPlay(kDevice, 2, 0), 0);
    EXPECT_EQ(fake_stream::count("REALPLAY"), 2u);
    EXPECT_TRUE(window.isPlaying());
}

TEST_F(ChannelWindow, EveryStreamFailureEndsInItsStatus)
{
    struct Case {
        std::uint32_t type;
        std::uint32_t kind;
        int status;
    };
    const Case cases[] = {{3, 0, kStatusDeviceOffline},
                          {4, 18, kStatusNoRight},
                          {4, 28, kStatusSubstreamNotEncoded},
                          {4, 41, kStatusUnknownError}};
    for (const Case& c : cases) {
        const std::uint32_t play = open();
        ASSERT_NE(play, 0u);
        // From a library thread, as the library calls.
        std::thread library([&] { fake_stream::callBack(play, c.type, {}, c.kind); });
        library.join();
        ASSERT_TRUE(waitUntil([&] { return window.playHandle() == 0; })) << c.kind;
        processEvents();
        EXPECT_EQ(window.status(), c.status) << c.type << "/" << c.kind;
        EXPECT_FALSE(window.isPlaying());
        EXPECT_EQ(window.isSubstreamRefused(), c.status == kStatusSubstreamNotEncoded);
    }
    EXPECT_EQ(fake_stream::openStreams(), 0u);

    // Other error kinds are not failures of the stream.
    const std::uint32_t play = open();
    fake_stream::callBack(play, 4, {}, 99);
    processEvents();
    EXPECT_EQ(window.status(), kStatusOpening);
    EXPECT_TRUE(window.isPlaying());
}

TEST_F(ChannelWindow, AFailureOfAStreamClosedMeanwhileIsNotAppliedToTheNext)
{
    const std::uint32_t play = open();
    fake_stream::callBack(play, 3);  // posted, not handled yet
    ASSERT_EQ(window.StopRealPlay(), 0);
    ASSERT_EQ(window.StartRealPlay(kDevice, 2, 0), 0);
    processEvents();
    EXPECT_TRUE(window.isPlaying());
    EXPECT_EQ(window.status(), kStatusOpening);
    EXPECT_EQ(fake_stream::openStreams(), 1u);
}

// A lost connection must not leave the last picture looking live: the
// window says it reconnects until data comes again, every time, and ends
// in "offline" when the library gives up.
TEST_F(ChannelWindow, ConnectionLossShowsReconnectingUntilTheNextBlockOrOffline)
{
    const std::uint32_t play = open();
    fake_stream::callBack(play, 1, "x");
    EXPECT_EQ(window.status(), kStatusShowing);
    for (int loss = 0; loss < 3; ++loss) {
        SCOPED_TRACE(loss);
        fake_stream::callBack(play, 6);
        EXPECT_TRUE(window.isFirstFramePending());
        EXPECT_EQ(window.status(), kStatusReconnecting);
        EXPECT_TRUE(window.isPlaying());
        fake_stream::callBack(play, 1, "x");
        EXPECT_FALSE(window.isFirstFramePending());
        EXPECT_EQ(window.status(), kStatusShowing);
    }
    fake_stream::callBack(play, 6);
    EXPECT_EQ(window.status(), kStatusReconnecting);
    fake_stream::callBack(play, 3);
    ASSERT_TRUE(waitUntil([&] { return window.playHandle() == 0; }));
    processEvents();
    EXPECT_EQ(window.status(), kStatusDeviceOffline);
    EXPECT_FALSE(window.isPlaying());
    EXPECT_EQ(fake_stream::openStreams(), 0u);
}

TEST_F(ChannelWindow, VideoPropertiesSizeThePictureAndBadTextsAreIgnored)
{
    window.setShapeMode(1);
    const std::uint32_t play = open();
    for (const std::string& bad : {std::string("{\"KEY\":\"VIDEOPROP"), std::string("not json at all"),
                                  std::string("{\"KEY\":\"VIDEOPROPERTY\",\"PARAM\":{\"WIDTH\":\"704\",\"HEIGHT\":288}}"),
                                  std::string("{\"KEY\":\"VIDEOPROPERTY\",\"PARAM\":{\"WIDTH\":-704,\"HEIGHT\":288}}"),
                                  std::string("{\"KEY\":\"OTHER\",\"PARAM\":{\"WIDTH\":704,\"HEIGHT\":288}}"),
                                  std::string("\xff\xfe\x00\x01", 4), std::string()}) {
        fake_stream::callBack(play, 2, bad);
    }
    processEvents();
    EXPECT_EQ(window.pictureWidth(), 0);
    EXPECT_EQ(window.view().geometry(), QRect(1, 1, 320, 240));

    // A text with its terminator counted in the length is read up to it;
    // it comes from a library thread older than the window.
    const std::string property("{\"KEY\":\"VIDEOPROPERTY\",\"PARAM\":{\"CHANNEL\":2,\"WIDTH\":704,\"HEIGHT\":288}}");
    s_library->runAndWait([&] { fake_stream::callBack(play, 2, property + std::string(1, '\0')); });
    processEvents();
    EXPECT_EQ(window.pictureWidth(), 704);
    EXPECT_EQ(window.pictureHeight(), 288);
    // 704 x 288 is laid out as 704 x 576: 293 x 240 centred in 320 x 240.
    EXPECT_EQ(window.view().geometry(), QRect(14, 1, 293, 240));
}

TEST_F(ChannelWindow, AStreamTypeChangeReachesTheGrid)
{
    const std::uint32_t play = open();
    std::thread library([&] { fake_stream::callBack(play, 9, {}, 1); });
    library.join();
    EXPECT_EQ(window.streamType(), 1);
    ASSERT_TRUE(waitUntil([&] { return !parent.messages(platform::WM_STREAMTYPE_CHANGED).empty(); }));
    EXPECT_EQ(parent.messages(platform::WM_STREAMTYPE_CHANGED)[0].wParam, 1u);
}

TEST_F(ChannelWindow, SwitchingTheStreamType)
{
    EXPECT_EQ(window.SwitchStreamType(0), 0);  // the type in use
    EXPECT_EQ(window.SwitchStreamType(2), CChannelEX::kNoStream);
    EXPECT_EQ(window.streamType(), 2);
    EXPECT_EQ(window.SwitchStreamType(9), CChannelEX::kNoStream);
    EXPECT_EQ(window.streamType(), 1);  // out of range counts as 1

    const std::uint32_t play = open();
    EXPECT_EQ(window.SwitchStreamType(2), 0);
    const std::vector<Json::Value> switches = fake_stream::commands("REALPLAYSWITCHSTREAM");
    ASSERT_EQ(switches.size(), 1u);
    EXPECT_EQ(switches[0]["PARAM"]["HPLAY"].asUInt(), play);
    EXPECT_TRUE(switches[0]["PARAM"]["STREAMTYPE"].isUInt());
    EXPECT_EQ(switches[0]["PARAM"]["STREAMTYPE"].asUInt(), 2u);
}

TEST_F(ChannelWindow, ARefusedSubStreamOpensAgainWhenAskedFor)
{
    const std::uint32_t play = open();
    fake_stream::callBack(play, 4, {}, 28);
    ASSERT_TRUE(waitUntil([&] { return window.isSubstreamRefused(); }));
    EXPECT_EQ(window.SwitchStreamType(1), 0);
    EXPECT_EQ(fake_stream::count("REALPLAY"), 2u);
    EXPECT_EQ(fake_stream::commands("REALPLAY")[1]["PARAM"]["STREAMTYPE"].asInt(), 1);
    EXPECT_TRUE(window.isPlaying());
    EXPECT_FALSE(window.isSubstreamRefused());
}

TEST_F(ChannelWindow, VolumeIsClampedAndReachesTheProcessOnlyWithAStream)
{
    platform::setProcessVolume(100);
    EXPECT_EQ(window.SetVolume(150), CChannelEX::kBadArgument);
    EXPECT_EQ(window.volume(), 100);
    EXPECT_EQ(window.SetVolume(-3), CChannelEX::kBadArgument);
    EXPECT_EQ(window.volume(), 0);
    EXPECT_EQ(platform::processVolume(), 100u);

    open();
    EXPECT_EQ(window.SetVolume(40), 0);
    EXPECT_EQ(platform::processVolume(), 40u);
    platform::setProcessVolume(100);
}

TEST_F(ChannelWindow, SoundNeedsTheActiveWindowAndADecoder)
{
    EXPECT_EQ(window.OpenSound(50), CChannelEX::kNoSound);  // no stream, no decoder
    open();
    EXPECT_EQ(window.OpenSound(50), CChannelEX::kNoSound);  // not active
    EXPECT_EQ(fake_stream::count("GETDECODER"), 1u);
    window.SetActive(true);
    // The fake's decoder handle is unknown to the decode-render library:
    // its result comes back unchanged and the sound stays off.
    EXPECT_NE(window.OpenSound(50), 0);
    EXPECT_FALSE(window.isSoundOn());
    EXPECT_EQ(window.decoderHandle(), 0x5000u + window.playHandle());
}
