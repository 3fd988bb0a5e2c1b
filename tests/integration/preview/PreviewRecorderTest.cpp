// SPDX-License-Identifier: GPL-3.0-or-later
// Live preview end to end: the control opens, shows and closes live streams
// of a recorder simulator through the real network and decode-render
// libraries, and every fault the recorder can show ends in the status named
// on the window, without a crash.
#include "RecorderProcess.h"

#include "control/CVELK_DVRCtrl.h"
#include "device/CDeviceManage.h"
#include "device/CommandEnvelope.h"
#include "platform/Debug.h"
#include "platform/Sync.h"
#include "preview/PreviewMessages.h"
#include "preview/VideoStatus.h"

#include "TOVR.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string_view>

using namespace preview;

namespace {

// Every command goes to the network library; REALPLAYs are counted, and a
// REALPLAYSTOP can be made slow to keep the supervisor busy.
std::atomic<int> g_realPlays{0};
std::atomic<std::uint32_t> g_stopDelayMs{0};

std::int32_t countingCommand(const char* text, std::uint32_t* handleOut, char* response, std::uint32_t responseSize,
                             std::uint32_t* detailOut)
{
    const std::string_view command(text ? text : "");
    if (command.find(R"("KEY":"REALPLAY")") != std::string_view::npos)
        ++g_realPlays;
    if (command.find(R"("KEY":"REALPLAYSTOP")") != std::string_view::npos && g_stopDelayMs.load() != 0)
        platform::sleepMs(g_stopDelayMs.load());
    return TOVR_JsonCommand(text, handleOut, response, responseSize, detailOut);
}

struct FiredEvent {
    std::string name;
    std::vector<Variant> args;
};

class LivePreview : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!RecorderProcess::available())
            GTEST_SKIP() << "no recorder simulator at " << RecorderProcess::programPath().toStdString();
        g_realPlays = 0;
        g_stopDelayMs = 0;
        setCommandFunction(&countingCommand);
        control = std::make_unique<CVELK_DVRCtrl>();
        control->setEventSink([this](const EventInfo& event, const std::vector<Variant>& args) {
            events.push_back({event.name, args});
        });
        control->createWindow(nullptr, QRect(0, 0, 642, 482), 0, true);
    }

    void TearDown() override
    {
        control.reset();
        CDeviceManage::shutdown();
        setCommandFunction(nullptr);
    }

    void startRecorder(const QStringList& arguments = {})
    {
        ASSERT_TRUE(recorder.start(QStringLiteral("viewer"), QStringLiteral("s3cret"), arguments));
    }

    std::uint32_t login()
    {
        const QString result = control->Login(QStringLiteral("127.0.0.1"), recorder.devicePort(),
                                              QStringLiteral("viewer"), passwordText("s3cret"));
        EXPECT_TRUE(result.startsWith(QStringLiteral("00000000_"))) << result.toStdString();
        return result.mid(result.indexOf(QLatin1Char('_')) + 1).toUInt();
    }

    CPreviewPanel& panel() { return control->previewPanel(); }
    CChannelEX* slot(int i) { return panel().slotWindow(i); }
    int statusOf(int i) { return slot(i) ? slot(i)->status() : -1; }

    // Channels 0..count-1 show pictures.
    bool showing(int count, int timeoutMs = 15000)
    {
        return QTest::qWaitFor(
            [&] {
                for (int i = 0; i < count; ++i) {
                    CChannelEX* window = slot(i);
                    if (!window || window->status() != kStatusShowing || window->view().picturesShown() == 0)
                        return false;
                }
                return true;
            },
            timeoutMs);
    }
    // How often the channel's stream came back by itself (0 without one).
    std::uint64_t reconnectsOf(int i)
    {
        if (!slot(i) || slot(i)->playHandle() == 0)
            return 0;
        char response[1000] = {};
        CommandEnvelope command("STREAMSTATISTICS");
        command.uint("HPLAY", slot(i)->playHandle());
        if (TOVR_JsonCommand(command.toText().c_str(), nullptr, response, sizeof response, nullptr) != 0)
            return 0;
        const QJsonObject answer = QJsonDocument::fromJson(QByteArray(response)).object();
        return static_cast<std::uint64_t>(answer.value(QStringLiteral("RESPONSE")).toObject().value(QStringLiteral("RECONNECTS")).toDouble());
    }
    bool statusIs(int i, int status, int timeoutMs = 15000)
    {
        return QTest::qWaitFor([&] { return statusOf(i) == status; }, timeoutMs);
    }
    bool allClosed(int count, int timeoutMs = 15000)
    {
        return QTest::qWaitFor(
            [&] {
                for (int i = 0; i < count; ++i)
                    if (slot(i) && (slot(i)->isPlaying() || slot(i)->playHandle() != 0))
                        return false;
                return true;
            },
            timeoutMs);
    }
    // The first fired event with this name and first argument, if any.
    const FiredEvent* event(const std::string& name, std::int64_t first)
    {
        for (const FiredEvent& e : events)
            if (e.name == name && !e.args.empty() && e.args[0].integer == first)
                return &e;
        return nullptr;
    }

    RecorderProcess recorder;
    std::unique_ptr<CVELK_DVRCtrl> control;
    std::vector<FiredEvent> events;
};

}  // namespace

TEST_F(LivePreview, OpenAllShowsPicturesAndCloseAllClosesThem)
{
    startRecorder();
    const std::uint32_t id = login();
    EXPECT_EQ(control->StartViewAll(id, 4, 0), 0u);
    ASSERT_TRUE(showing(4)) << "statuses " << statusOf(0) << statusOf(1) << statusOf(2) << statusOf(3);
    EXPECT_EQ(panel().openChannelMask(), 0xFu);
    EXPECT_EQ(control->GetActiveChannel(id), 0);

    EXPECT_EQ(control->StopPreviewAll(id), 0u);
    ASSERT_TRUE(allClosed(4));
    ASSERT_TRUE(QTest::qWaitFor([&] { return statusOf(3) == kStatusIdle; }, 5000));
    EXPECT_EQ(slot(3)->view().statusText(), QStringLiteral("4"));
    EXPECT_EQ(panel().openChannelMask(), 0u);
}

TEST_F(LivePreview, TwoQuickStartsOpenTheChannelsOnce)
{
    startRecorder();
    const std::uint32_t id = login();
    control->StartViewAll(id, 4, 0);
    control->StartViewAll(id, 4, 0);
    ASSERT_TRUE(showing(4));
    // A stop as a marker: a second opening would have come before it.
    control->StopPreviewAll(id);
    ASSERT_TRUE(allClosed(4));
    EXPECT_EQ(g_realPlays.load(), 4);
}

TEST_F(LivePreview, AStopQueuedBehindAStartIsTheOnlyOneCarriedOut)
{
    startRecorder();
    const std::uint32_t id = login();
    control->StartViewAll(id, 2, 0);
    ASSERT_TRUE(showing(2));
    // Keep the supervisor busy closing while a start and a stop queue up.
    g_stopDelayMs = 300;
    control->StopPreviewAll(id);
    QTest::qWait(100);
    control->StartViewAll(id, 4, 0);
    control->StopPreviewAll(id);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel().supervisor().pendingRequests() == 0 && !panel().isRunning(); },
                                10000));
    EXPECT_TRUE(allClosed(4, 1000));
    // A start of one channel as a marker: the dropped start of four would
    // have opened its channels before it.
    g_stopDelayMs = 0;
    control->StartViewAll(id, 1, 0);
    ASSERT_TRUE(showing(1));
    EXPECT_EQ(g_realPlays.load(), 3);
}

TEST_F(LivePreview, ALostConnectionComesBackByItself)
{
    startRecorder();
    const std::uint32_t id = login();
    control->StartViewAll(id, 2, 0);
    ASSERT_TRUE(showing(2));
    const std::uint64_t shownBefore = slot(1)->view().picturesShown();

    ASSERT_FALSE(recorder.sim(QStringLiteral("drop")).isEmpty());
    // Both streams reconnected by themselves, with the same play handles,
    // and the pictures go on.
    ASSERT_TRUE(QTest::qWaitFor([&] { return reconnectsOf(0) == 1 && reconnectsOf(1) == 1; }, 15000))
        << reconnectsOf(0) << " " << reconnectsOf(1);
    EXPECT_TRUE(showing(2));
    EXPECT_TRUE(QTest::qWaitFor([&] { return slot(1)->view().picturesShown() > shownBefore + 5; }, 10000));
    EXPECT_TRUE(slot(0)->isPlaying());
}

// A recorder that dies (kill -9) must not leave its last pictures looking
// live: every window says it reconnects at once, then, within the offline
// time (1.5 s here), that the recorder is offline.
TEST_F(LivePreview, AKilledRecorderShowsReconnectingThenOffline)
{
    startRecorder();
    const std::uint32_t id = login();
    control->StartViewAll(id, 4, 0);
    ASSERT_TRUE(showing(4));

    recorder.killHard();
    // The connections close at once: "reconnecting" comes well within the
    // offline time, and the last picture goes.
    EXPECT_TRUE(QTest::qWaitFor([&] { return statusOf(0) == kStatusReconnecting; }, 1000)) << statusOf(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !slot(0)->view().hasPicture(); }, 2000));
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(statusIs(i, kStatusDeviceOffline, 6000)) << i << ": " << statusOf(i);

    // Back: the device logs in again and tells the page, which opens the
    // channels again.
    events.clear();
    ASSERT_TRUE(recorder.restart());
    ASSERT_TRUE(QTest::qWaitFor([&] { return event("ReTurnPreviewAllChannelState", 2) != nullptr; }, 20000));
    control->StartViewAll(id, 4, 0);
    ASSERT_TRUE(showing(4, 20000));
}

TEST_F(LivePreview, ARecorderThatStaysAwayShowsOfflineAndComesBackOnRequest)
{
    startRecorder();
    const std::uint32_t id = login();
    control->StartViewAll(id, 2, 0);
    ASSERT_TRUE(showing(2));

    recorder.stop();
    ASSERT_TRUE(statusIs(0, kStatusDeviceOffline, 20000)) << statusOf(0);
    ASSERT_TRUE(statusIs(1, kStatusDeviceOffline, 5000)) << statusOf(1);
    EXPECT_EQ(slot(0)->view().statusText(), QStringLiteral("DVR offline"));
    EXPECT_FALSE(slot(0)->isPlaying());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !slot(0)->view().hasPicture(); }, 2000));

    // The device logs in again by itself and tells the page (state type 2);
    // the page asks for its channels again, and those that went offline open.
    QTest::qWait(500);
    events.clear();
    ASSERT_TRUE(recorder.restart());
    ASSERT_TRUE(QTest::qWaitFor([&] { return event("ReTurnPreviewAllChannelState", 2) != nullptr; }, 20000));
    control->StartViewAll(id, 2, 0);
    EXPECT_TRUE(showing(2, 20000)) << statusOf(0) << statusOf(1);
}

TEST_F(LivePreview, ADeniedChannelFailsAloneAndADenialWhilePlayingShowsNoAccess)
{
    startRecorder({QStringLiteral("--deny"), QStringLiteral("viewer:1")});
    const std::uint32_t id = login();
    control->StartViewAll(id, 3, 0);
    ASSERT_TRUE(statusIs(1, kStatusOpenFailed));
    EXPECT_EQ(slot(1)->view().statusText(), QStringLiteral("Open failed"));
    EXPECT_FALSE(slot(1)->isOccupied());
    EXPECT_TRUE(statusIs(0, kStatusShowing));
    EXPECT_TRUE(statusIs(2, kStatusShowing));
    EXPECT_EQ(panel().openChannelMask(), 0x5u);

    const QJsonObject denied = recorder.sim(QStringLiteral("deny"), QStringLiteral("user=viewer&channel=2"));
    ASSERT_FALSE(denied.isEmpty());
    ASSERT_TRUE(statusIs(2, kStatusNoRight));
    EXPECT_EQ(slot(2)->view().statusText(), QStringLiteral("No access"));
    EXPECT_FALSE(slot(2)->isPlaying());
    EXPECT_EQ(statusOf(0), kStatusShowing);
}

TEST_F(LivePreview, ASubStreamThatIsNotEncodedShowsItAndOpensOnceEncoded)
{
    startRecorder({QStringLiteral("--substream-off"), QStringLiteral("2")});
    const std::uint32_t id = login();
    control->StartViewAll(id, 3, 1);
    ASSERT_TRUE(statusIs(2, kStatusSubstreamNotEncoded));
    EXPECT_EQ(slot(2)->view().statusText(), QStringLiteral("Sub-stream no encode!"));
    EXPECT_TRUE(slot(2)->isSubstreamRefused());
    EXPECT_TRUE(showing(2));

    ASSERT_FALSE(recorder.sim(QStringLiteral("substream"), QStringLiteral("channel=2&encoded=1")).isEmpty());
    // To the main stream and back: the refused window opens its sub stream again.
    EXPECT_EQ(control->SwitchPreviewStreamType(id, 0), 0u);
    EXPECT_EQ(control->SwitchPreviewStreamType(id, 1), 0u);
    EXPECT_TRUE(showing(3));
    EXPECT_EQ(slot(2)->streamType(), 1);
}

TEST_F(LivePreview, StreamTypesSwitchFromThePageAndFromTheRecorder)
{
    startRecorder();
    const std::uint32_t id = login();
    control->StartViewAll(id, 2, 0);
    ASSERT_TRUE(showing(2));

    EXPECT_EQ(control->SwitchPreviewStreamType(id, 2), 0u);
    EXPECT_EQ(panel().streamType(), 2u);
    EXPECT_EQ(slot(0)->streamType(), 2);
    const std::uint64_t shown = slot(0)->view().picturesShown();
    EXPECT_TRUE(QTest::qWaitFor([&] { return slot(0)->view().picturesShown() > shown + 5; }, 10000));

    // The recorder changes channel 1 to the sub stream: the page hears type 3.
    ASSERT_FALSE(recorder.sim(QStringLiteral("streamtype"), QStringLiteral("channel=1&type=1")).isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return event("ReTurnPreviewAllChannelState", 3) != nullptr; }, 10000));
    EXPECT_EQ(event("ReTurnPreviewAllChannelState", 3)->args[1].integer, 1);
    EXPECT_EQ(slot(1)->streamType(), 1);
    EXPECT_EQ(panel().streamType(), 1u);
}

TEST_F(LivePreview, MalformedFramesNeitherCrashNorStopThePicture)
{
    startRecorder();
    const std::uint32_t id = login();
    control->StartViewAll(id, 1, 0);
    ASSERT_TRUE(showing(1));
    for (const char* kind : {"truncated", "magic", "items"})
        ASSERT_FALSE(recorder.sim(QStringLiteral("garbage"), QStringLiteral("channel=0&kind=%1").arg(kind)).isEmpty());
    const std::uint64_t shown = slot(0)->view().picturesShown();
    EXPECT_TRUE(QTest::qWaitFor([&] { return slot(0)->view().picturesShown() > shown + 5; }, 10000));
    EXPECT_EQ(statusOf(0), kStatusShowing);
}

TEST_F(LivePreview, ThePageHearsOfClicksAndOfOpenAllAndCloseAll)
{
    startRecorder();
    const std::uint32_t id = login();
    control->SetChannelCnt(id, 4);
    CChannelEX& window2 = *panel().grid().window(2);
    QTest::mouseClick(&window2.view(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return event("ReTurnPreviewActiveChl", 2) != nullptr; }, 5000));

    // "Open all" from a window's menu, then "Close all".
    platform::postMessage(panel().grid().handle(), WM_CHANNEL_VIEW_ALL, 0, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return event("ReTurnPreviewAllChannelState", 0) != nullptr; }, 20000));
    EXPECT_EQ(event("ReTurnPreviewAllChannelState", 0)->args[1].integer, 0xF);
    EXPECT_TRUE(showing(4));
    events.clear();
    platform::postMessage(panel().grid().handle(), WM_CHANNEL_VIEW_ALL, 1, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return event("ReTurnPreviewAllChannelState", 0) != nullptr; }, 20000));
    EXPECT_EQ(event("ReTurnPreviewAllChannelState", 0)->args[1].integer, 0);
    EXPECT_TRUE(allClosed(4, 1000));
}

TEST_F(LivePreview, LogoutClosesTheLiveChannels)
{
    startRecorder();
    const std::uint32_t id = login();
    control->StartViewAll(id, 3, 0);
    ASSERT_TRUE(showing(3));
    EXPECT_EQ(control->Logout(id), 0u);
    EXPECT_TRUE(allClosed(3, 1000));
    EXPECT_EQ(statusOf(0), kStatusIdle);
    EXPECT_EQ(panel().deviceHandle(), 0u);
}
